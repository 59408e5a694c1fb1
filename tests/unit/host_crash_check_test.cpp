// What zorhost offers a crash-checking run: the check call, core messages, the document's minimum time,
// the scene faults it obeys only with --allow-faults, and the crash handler's report of a fault.
#include <gnu/libc-version.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app/crash_handler.h"
#include "app/host_options.h"
#include "app/host_table.h"
#include "documents/scene_faults.h"
#include "host_gui_fake_module.h"
#include "memory/memory_tracker.h"
#include "scene_test_support.h"
#include "strings/string_impl.h"

namespace {

using namespace test_support;

std::string with_faults(const std::string& faults) {
  return scene_test::scene_with("\"faults\": " + faults);
}

int64_t low_memory_count() {
  HostContainer* statistics = Containers().alloc(0);
  Containers().memory_statistics(statistics);
  const int64_t count = Containers().get_int64(statistics, ZOR_MEMSTAT_LOW_MEMORY, -1);
  Containers().free(statistics);
  return count;
}

std::string check_says(uint32_t marker) {
  return StderrOf([marker] { zorhost::general_table()->check(marker); });
}

// A module thread whose body renders one document.
struct RenderWorker {
  HostDocument* doc = nullptr;
  HostBitmap bitmap;
  std::atomic<int32_t> result{-1};
  HostThread* thread = nullptr;
  static void run(void* self) {
    auto* worker = static_cast<RenderWorker*>(self);
    worker->result = scene_test::render(worker->doc, worker->bitmap, worker->thread);
  }
};

}  // namespace

TEST(HostCheck, ReportsAWrongMarkerAHeldGlobalLockAndBadFreesOnce) {
  check_says(ZOR_CHECK_MARKER);  // whatever earlier tests left is reported here, not below
  EXPECT_EQ(check_says(ZOR_CHECK_MARKER), "");
  EXPECT_EQ(check_says(0x1234), "zorhost: check called with marker 0x00001234 instead of 0xDEADBEEF\n");

  const HostThreadTable& threads = *zorhost::threads_table();
  threads.lock();
  EXPECT_NE(check_says(ZOR_CHECK_MARKER).find("holds the global lock (1 time)"), std::string::npos);
  threads.lock();
  EXPECT_NE(check_says(ZOR_CHECK_MARKER).find("holds the global lock (2 times)"), std::string::npos);
  // another thread holds nothing, and waits until the lock is let go as often as it was taken
  std::string other;
  std::thread([&] { other = check_says(ZOR_CHECK_MARKER); }).join();
  EXPECT_EQ(other, "");
  std::atomic<bool> other_got_it{false};
  std::thread waiting([&] {
    threads.lock();
    other_got_it = true;
    threads.unlock();
  });
  threads.unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(other_got_it) << "still held once";
  threads.unlock();
  waiting.join();
  EXPECT_TRUE(other_got_it);
  EXPECT_EQ(check_says(ZOR_CHECK_MARKER), "");

  // an unlock too many is refused instead of breaking the mutex, and the lock still works
  EXPECT_TRUE(Contains(StderrOf([&] { threads.unlock(); }), "does not hold the global lock"));
  std::thread([&] {
    threads.lock();
    threads.unlock();
  }).join();

  // a double free is named by the next check only
  void* block = zorhost::memory_table()->alloc(16, __LINE__, __FILE__);
  zorhost::memory_table()->free(block);
  StderrOf([&] { zorhost::memory_table()->free(block); });
  EXPECT_EQ(check_says(ZOR_CHECK_MARKER),
            "zorhost: check: 1 free of memory that was not a live block since the previous check\n");
  EXPECT_EQ(check_says(ZOR_CHECK_MARKER), "");
}

TEST(HostCoreMessages, HostInfoNamesTheBuildTheCrashCheckIsNotedAndTheRestIsUnanswered) {
  const fake::Session session;
  const HostGuiTable& gui = *zorhost::gui_table();
  const auto live_containers = [] { return zorhost::live_objects()[zorhost::ObjectKind::Container]; };
  const int64_t containers_before = live_containers();

  HostContainer* request = Containers().alloc(ZOR_CORE_HOST_INFO);
  std::string names[2];
  for (std::string& name : names) {
    HostContainer* answer = gui.send_core_message(ZOR_CORE_MESSAGE, request);
    ASSERT_NE(answer, nullptr);
    HostText text;
    EXPECT_TRUE(Containers().get_string(answer, ZOR_HOST_INFO_BUILD, text));
    name = text.Utf8();
    Containers().free(answer);
  }
  EXPECT_EQ(names[0], names[1]) << "the same build answers the same name";
  EXPECT_EQ(names[0].rfind("zorhost-", 0), 0u) << names[0];
  EXPECT_EQ(names[0].find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_"),
            std::string::npos)
      << "a folder name takes it as it is: " << names[0];

  EXPECT_EQ(gui.send_core_message(ZOR_CORE_MESSAGE + 1, request), nullptr) << "another code";
  EXPECT_EQ(gui.send_core_message(ZOR_CORE_MESSAGE, nullptr), nullptr);
  HostContainer* unknown = Containers().alloc(4711);
  EXPECT_EQ(gui.send_core_message(ZOR_CORE_MESSAGE, unknown), nullptr);

  HostContainer* crash_check = Containers().alloc(ZOR_CORE_CRASH_CHECK);
  Containers().set_bool(crash_check, 1, true);
  EXPECT_EQ(gui.send_core_message(ZOR_CORE_MESSAGE, crash_check), nullptr);
  EXPECT_TRUE(zorhost::crash_check_in_progress());
  Containers().set_bool(crash_check, 1, false);
  EXPECT_EQ(gui.send_core_message(ZOR_CORE_MESSAGE, crash_check), nullptr);
  EXPECT_FALSE(zorhost::crash_check_in_progress());
  for (HostContainer* c : {request, unknown, crash_check}) Containers().free(c);
  EXPECT_EQ(live_containers(), containers_before) << "every answer is the caller's to free";

  const std::vector<nlohmann::json> events = session.events();
  ASSERT_EQ(events.size(), 7u);
  EXPECT_EQ(events[0], nlohmann::json({{"event", "coreMessage"},
                                       {"code", ZOR_CORE_MESSAGE},
                                       {"id", ZOR_CORE_HOST_INFO},
                                       {"answered", true}}));
  EXPECT_EQ(events[4]["answered"], false);
  EXPECT_EQ(events[5]["running"], true);
  EXPECT_EQ(events[6]["running"], false);
}

TEST(SceneFaults, WithoutAllowFaultsTheSceneLoadsAndRendersLikeAnyOther) {
  Scoped<bool> no_faults(zorhost::options().allow_faults, false);
  ScratchFolder dir;
  const auto file =
      dir.write("f.zor", with_faults(R"({ "crash": "render", "lowMemoryEvents": 3, "delayMs": 5000 })"));
  const int64_t before = low_memory_count();
  scene_test::Document doc;
  EXPECT_EQ(StderrOf([&] { doc = scene_test::load(file); }),
            "zorhost: " + file.string() +
                ": its faults are ignored (zorhost obeys them only with --allow-faults)\n");
  ASSERT_NE(doc, nullptr);
  HostBitmap bitmap;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(scene_test::render(doc.get(), bitmap), ZOR_RENDER_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000)) << "no delay";
  EXPECT_EQ(low_memory_count(), before);
  // a scene without faults loads without the warning
  EXPECT_EQ(StderrOf([&] { (void)scene_test::load(dir.write("p.zor", scene_test::scene_text())); }), "");
}

TEST(SceneFaults, LowMemoryEventsAreCountedOncePerLoad) {
  Scoped<bool> faults(zorhost::options().allow_faults, true);
  ScratchFolder dir;
  const auto file = dir.write("f.zor", with_faults(R"({ "lowMemoryEvents": 3 })"));
  const int64_t before = low_memory_count();
  ASSERT_GE(before, 0);
  auto doc = scene_test::load(file);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(low_memory_count(), before + 3);
  HostBitmap bitmap;
  EXPECT_EQ(scene_test::render(doc.get(), bitmap), ZOR_RENDER_OK);
  EXPECT_EQ(low_memory_count(), before + 3) << "a render adds nothing";
  auto again = scene_test::load(file);
  EXPECT_EQ(low_memory_count(), before + 6);

  // the count saturates rather than wrapping around
  zorhost::count_low_memory_events(std::numeric_limits<int64_t>::max());
  zorhost::count_low_memory_events(5);
  EXPECT_EQ(low_memory_count(), std::numeric_limits<int64_t>::max());
}

TEST(SceneFaults, DelayIsSpentOnEveryRenderAndEndsAtTheBreakTest) {
  Scoped<bool> faults(zorhost::options().allow_faults, true);
  ScratchFolder dir;
  auto doc = scene_test::load(dir.write("slow.zor", with_faults(R"({ "delayMs": 300 })")));
  ASSERT_NE(doc, nullptr);
  for (int i = 0; i < 2; ++i) {
    HostBitmap bitmap;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(scene_test::render(doc.get(), bitmap), ZOR_RENDER_OK);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300)) << "render " << i;
  }

  // a long delay on a module thread ends soon after the thread is told to end
  auto stalled = scene_test::load(dir.write("stalled.zor", with_faults(R"({ "delayMs": 60000 })")));
  ASSERT_NE(stalled, nullptr);
  const HostThreadTable& threads = *zorhost::threads_table();
  RenderWorker worker;
  worker.doc = stalled.get();
  worker.thread = threads.alloc(&RenderWorker::run, nullptr, nullptr, &worker);
  ASSERT_NE(worker.thread, nullptr);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(threads.start(worker.thread, ZOR_THREAD_ASYNC, 0));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(worker.result, -1) << "still waiting";
  threads.end(worker.thread, true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(worker.result, ZOR_RENDER_USER_BREAK);
  threads.free(worker.thread);
}

TEST(CrashHandler, TheModuleTableNamesTheObjectThatHoldsAnAddress) {
  zorhost::refresh_crash_module_table();
  // a function of the C library that no sanitizer replaces by its own
  EXPECT_TRUE(
      Contains(zorhost::crash_module_of(reinterpret_cast<const void*>(&::gnu_get_libc_version)), "libc"));
  EXPECT_EQ(zorhost::crash_module_of(nullptr), "unknown");
}

// The real handler in a child process: a scene's "render" fault on a render worker thread during a
// crash-checking run. What every report says, the crash tests of zorhost check; here the run.
TEST(CrashHandlerDeathTest, AFaultTheSceneAskedForIsReportedWithThreadSceneAndRun) {
  ScratchFolder dir;
  const auto prefs = dir.path() / "prefs";
  const auto child = [&] {
    zorhost::install_crash_handler(prefs);
    zorhost::crash_note_crash_check(true);
    zorhost::CrashActivity activity("rendering", "/scenes/a/crashing scene.zor");
    std::thread([] {
      zorhost::crash_note_thread_role("render worker");
      zorhost::fault_now(zorhost::kCrashOnRender);
    }).join();
  };
  EXPECT_EXIT(
      child(), testing::KilledBySignal(SIGSEGV),
      "\\(render worker, rendering /scenes/a/crashing scene.zor, a fault the scene asked for, during a "
      "crash-checking run\\); crash report: .*/prefs/crashes/");
  const auto reports = test_support::NamesIn(prefs / "crashes");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(Contains(test_support::ReadFile(prefs / "crashes" / reports[0]),
                       "\ncrash check: a crash-checking run was in progress\n"));
}
