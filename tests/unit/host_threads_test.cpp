#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host_gui_fake_module.h"

namespace {

using namespace fake;

const HostThreadTable* threads() {
  return zorhost::threads_table();
}

// A worker in the shape of a render run: posts a progress event until it is asked to stop.
struct Worker {
  HostThread* handle = nullptr;
  std::atomic<int32_t> posted{0};
  std::atomic<bool> saw_break{false};
  std::atomic<bool> extra_break{false};
  std::thread::id ran_on;
  Worker() { handle = threads()->alloc(&Worker::run, &Worker::test_extra, &Worker::name, this); }
  ~Worker() { threads()->free(handle); }
  static void run(void* object) {
    auto* self = static_cast<Worker*>(object);
    self->ran_on = std::this_thread::get_id();
    // Bounded so that a host that never breaks fails the test instead of hanging it.
    for (int i = 0; i < 20000; ++i) {
      if (threads()->test_break(self->handle)) {
        self->saw_break = true;
        return;
      }
      gui()->special_event(1001198, 0, 0);
      ++self->posted;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  static bool test_extra(void* object) { return static_cast<Worker*>(object)->extra_break.load(); }
  static const char* name(void*) { return "Test Worker"; }
};

TEST(HostThreads, CancelAfterEventsEndsTheWorkerBehindAModalDialog) {
  Session session(R"([{"dialog": {"cancelAfterEvents": 3}}])");
  Worker worker;
  Dialog progress;
  progress.build = [](Dialog& d) { gui()->add_dialog_buttons(d.handle, ZOR_BUTTONS_CANCEL); };

  ASSERT_TRUE(threads()->start(worker.handle, ZOR_THREAD_ASYNC, 0));
  progress.open();
  // Cancel came right after the third event and closed the dialog.
  std::vector<int32_t> codes = progress.codes();
  std::vector<int32_t> after_build(codes.begin() + 2, codes.end());
  EXPECT_EQ(after_build, (std::vector<int32_t>{ZOR_MSG_CORE, ZOR_MSG_CORE, ZOR_MSG_CORE, ZOR_MSG_COMMAND,
                                               ZOR_MSG_DESTROY}));
  for (const auto& m : progress.received) EXPECT_EQ(m.code == ZOR_MSG_CORE ? m.event : 1001198, 1001198);

  // The caller ends the thread as a progress dialog's owner does; the worker sees the break.
  threads()->end(worker.handle, true);
  EXPECT_FALSE(threads()->is_running(worker.handle));
  EXPECT_TRUE(worker.saw_break);
  EXPECT_TRUE(threads()->test_break(worker.handle));
  EXPECT_NE(worker.ran_on, std::this_thread::get_id());
  // Events the worker posted after the dialog closed do not outlive the session.
  zorhost::end_ui_session();
  Dialog later;
  later.open(ZOR_DIALOG_ASYNC);
  zorhost::ui::deliver_pending_events();
  EXPECT_EQ(later.count(ZOR_MSG_CORE), 0);
}

TEST(HostThreads, SyncStartBreakTestsAndRestart) {
  Worker worker;
  worker.extra_break = true;  // the body stops at its first break test
  ASSERT_TRUE(threads()->start(worker.handle, ZOR_THREAD_SYNC, 0));
  EXPECT_EQ(worker.ran_on, std::this_thread::get_id()) << "a synchronous start runs on the caller";
  EXPECT_TRUE(worker.saw_break) << "the extra break callback counts";
  EXPECT_EQ(worker.posted, 0);
  EXPECT_FALSE(threads()->is_running(worker.handle));
  zorhost::ui::discard_pending_events();

  // A thread that was ended can be started again: the earlier request to stop does not stick.
  worker.extra_break = false;
  worker.saw_break = false;
  threads()->end(worker.handle, true);
  ASSERT_TRUE(threads()->start(worker.handle, ZOR_THREAD_ASYNC, 0));
  while (worker.posted < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(threads()->is_running(worker.handle));
  EXPECT_FALSE(threads()->start(worker.handle, ZOR_THREAD_ASYNC, 0)) << "already running";
  // free ends and joins a running thread.
  threads()->free(worker.handle);
  worker.handle = nullptr;
  EXPECT_TRUE(worker.saw_break);
  zorhost::ui::discard_pending_events();
}

TEST(HostThreads, GlobalLockIsRecursiveAndExcludesOtherThreads) {
  threads()->lock();
  threads()->lock();  // a nested lock on the same thread must not deadlock
  std::atomic<bool> other_got_it{false};
  std::thread other([&] {
    threads()->lock();
    other_got_it = true;
    threads()->unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  threads()->unlock();
  EXPECT_FALSE(other_got_it) << "still held once";
  threads()->unlock();
  other.join();
  EXPECT_TRUE(other_got_it);
}

TEST(HostThreads, RunModeFollowsHeadlessAndCpuCountIsPositive) {
  zorhost::options().headless = true;
  EXPECT_EQ(threads()->run_mode_flags(), ZOR_RUNMODE_NO_GUI);
  zorhost::options().headless = false;
  EXPECT_EQ(threads()->run_mode_flags(), 0);
  EXPECT_GE(threads()->cpu_count(), 1);
}

}  // namespace
