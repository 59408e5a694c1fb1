// The plug-in layer's object model driven as the host drives it, over small recording fakes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/host_table.h"
#include "memory/memory_tracker.h"
#include "with_host.h"
#include "zor_command.h"
#include "zor_container.h"
#include "zor_gui.h"
#include "zor_host.h"
#include "zor_memory.h"
#include "zor_string.h"
#include "zor_thread.h"

namespace {

using Bound = std::pair<HostDialogCallback, void*>;  // the callback and the object of a handle
using Calls = std::vector<std::string>;

// What the fake host saw, in order, plus the answers it gives.
struct FakeHost {
  std::map<HostDialog*, Bound> dialogs;
  std::map<HostUserArea*, Bound> areas;
  std::vector<std::string> calls;
  std::vector<int32_t> sentResultIds;
  int interactions = 0;
  bool openSucceeds = true;
  bool checkCloseAnswer = true;
  std::function<void(HostDialog*)> whileOpen;  // the user's actions while a modal dialog is open
  bool registerAnswer = true;
  std::vector<std::string> registered;  // version, type, id, size and name of every registration
  HostCommandRecord record{};
};
FakeHost* g_fake = nullptr;
int g_nextHandle = 1;

std::string Utf8(const HostString* text) {
  String copy;
  zorhost::strings_table()->assign(copy.Get(), text);
  return copy.ToUtf8();
}

template <class... Numbers>
void Log(std::string line, Numbers... numbers) {
  ((line += " " + std::to_string(numbers)), ...);
  g_fake->calls.push_back(line);
}

// Dialogs and user areas are bound the same way: a fresh handle remembers its callback and object.
template <class Handle>
Handle* Bind(std::map<Handle*, Bound>& bound, HostDialogCallback callback, void* object) {
  Handle* handle = reinterpret_cast<Handle*>(static_cast<uintptr_t>(0x1000 * g_nextHandle++));
  bound[handle] = {callback, object};
  return handle;
}
template <class Handle>
void* ObjectOf(const std::map<Handle*, Bound>& bound, Handle* handle) {
  auto it = bound.find(handle);
  return it == bound.end() ? nullptr : it->second.second;
}

HostGuiTable MakeFakeGui() {
  HostGuiTable gui{};
  gui.size = sizeof(HostGuiTable);
  gui.dialog_alloc = [](HostDialogCallback cb, void* object) { return Bind(g_fake->dialogs, cb, object); };
  gui.dialog_free = [](HostDialog* dlg) { g_fake->dialogs.erase(dlg); };
  gui.dialog_object = [](HostDialog* dlg) { return ObjectOf(g_fake->dialogs, dlg); };
  gui.dialog_set_plugin = [](HostDialog*, int32_t id, int32_t sub) { Log("plugin", id, sub); };
  gui.dialog_open = [](HostDialog* dlg, int32_t type, int32_t x, int32_t y, int32_t w, int32_t h) {
    Log("open", type, x, y, w, h);
    if (g_fake->openSucceeds && g_fake->whileOpen) g_fake->whileOpen(dlg);
    return g_fake->openSucceeds;
  };
  gui.dialog_close = [](HostDialog*) { return Log("close"), true; };
  gui.dialog_check_close = [](HostDialog*) { return Log("check"), g_fake->checkCloseAnswer; };
  gui.dialog_send_result = [](HostDialog*, const HostContainer* result) {
    g_fake->sentResultIds.push_back(zorhost::containers_table()->get_id(result));
  };
  gui.user_area_alloc = [](HostDialogCallback cb, void* object) { return Bind(g_fake->areas, cb, object); };
  gui.user_area_free = [](HostUserArea* ua) { g_fake->areas.erase(ua); };
  gui.user_area_object = [](HostUserArea* ua) { return ObjectOf(g_fake->areas, ua); };
  gui.user_area_set_min_size = [](HostUserArea*, int32_t w, int32_t h) { Log("minsize", w, h); };
  gui.user_area_get_size = [](HostUserArea*, int32_t* w, int32_t* h) { *w = 640, *h = 480; };
  gui.user_area_set_pen = [](HostUserArea*, int32_t color) { Log("pen", color); };
  gui.user_area_fill = [](HostUserArea*, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    Log("fill", x1, y1, x2, y2);
  };
  return gui;
}

class PluginLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    g_fake = &fake_;
    host_.gui = MakeFakeGui();
    host_.general.interaction_done = [] { ++g_fake->interactions; };
    host_.plugins.register_plugin = [](int32_t version, int32_t type, int32_t id, const HostString* name,
                                       const void* record, int32_t size) {
      g_fake->registered.push_back(std::to_string(version) + " " + std::to_string(type) + " " +
                                   std::to_string(id) + " " + std::to_string(size) + " " + Utf8(name));
      std::memcpy(&g_fake->record, record, sizeof(HostCommandRecord));
      return g_fake->registerAnswer;
    };
  }
  void TearDown() override { g_fake = nullptr; }

  // Delivers a message the way the host does: through the callback the object was bound with.
  bool Send(HostDialog* dialog, int32_t id, std::map<int32_t, int32_t> values = {},
            HostUserArea* area = nullptr) {
    BaseContainer msg(id);
    for (auto [key, value] : values) msg.SetInt32(key, value);
    const Bound& bound = area ? fake_.areas.at(area) : fake_.dialogs.at(dialog);
    return bound.first(dialog, area, msg.Get());
  }
  bool Press(HostDialog* dialog, int32_t gadget) {
    return Send(dialog, ZOR_MSG_COMMAND, {{ZOR_MSG_VALUE_GADGET_ID, gadget}});
  }
  Calls Taken() { return std::exchange(fake_.calls, {}); }

  FakeHost fake_;
  test_support::PatchedHost host_;
};

// Counts what reaches a dialog of either kind; core events answer false.
template <class Base>
class Recording : public Base {
 public:
  bool BuildLayout() override { return ++built, true; }
  bool InitializeValues() override { return ++initialized, true; }
  bool OnCoreEvent(int32_t id, const BaseContainer&) override { return events.push_back(id), false; }
  void OnWindowDestroyed() override { ++destroyed; }
  int built = 0, initialized = 0, destroyed = 0;
  std::vector<int32_t> events;
};

// A plain dialog, to see the non-modal dispatch without the modal rules.
class PlainDialog : public Recording<GeDialog> {
 public:
  bool HandleMessage(const BaseContainer& msg, BaseContainer& result) override {
    if (msg.GetId() == answerWithResultFor) result.SetId(4711);
    return GeDialog::HandleMessage(msg, result);
  }
  int32_t answerWithResultFor = 0;
};

class ModalDialog : public Recording<GeModalDialog> {
 public:
  bool OnGadgetCommand(int32_t id, const BaseContainer&) override {
    commands.push_back(id);
    if (keepOpen) SetCloseOnButton(false);
    return true;
  }
  bool keepOpen = false;
  std::vector<int32_t> commands;
};

TEST_F(PluginLayer, DialogRoutesMessagesHandsBackOnlyAChangedResultAndBuildsItsLayoutOnce) {
  PlainDialog dialog;
  HostDialog* h = dialog.GetHandle();
  ASSERT_NE(h, nullptr);

  EXPECT_FALSE(Send(h, ZOR_MSG_CORE, {{ZOR_MSG_VALUE_EVENT_ID, 1001198}})) << "the handler's own answer";
  EXPECT_FALSE(Send(h, ZOR_MSG_SYNC, {{ZOR_MSG_VALUE_EVENT_ID, 1001199}}));
  EXPECT_EQ(dialog.events, (std::vector<int32_t>{1001198, 1001199}));

  EXPECT_FALSE(Press(h, 1000)) << "default command answer";
  EXPECT_FALSE(Send(h, ZOR_MSG_CHECK_CLOSE));
  EXPECT_TRUE(Send(h, ZOR_MSG_HOST_NOTICE));
  EXPECT_FALSE(Send(h, ZOR_FOUR_BYTE('x', 'y', 'z', 'w')));

  EXPECT_EQ(fake_.interactions, 0);
  EXPECT_FALSE(Send(h, ZOR_MSG_INTERACT));
  EXPECT_EQ(fake_.interactions, 1);
  EXPECT_TRUE(fake_.sentResultIds.empty()) << "no handler touched the result container";

  // only a changed result goes back; unknown handles are refused
  dialog.answerWithResultFor = ZOR_MSG_HOST_NOTICE;
  EXPECT_TRUE(Send(h, ZOR_MSG_HOST_NOTICE));
  EXPECT_EQ(fake_.sentResultIds, (std::vector<int32_t>{4711}));

  BaseContainer msg(ZOR_MSG_INIT);
  EXPECT_FALSE(GeDialogCallback(reinterpret_cast<HostDialog*>(uintptr_t{0xdead0}), nullptr, msg.Get()));
  EXPECT_FALSE(GeDialogCallback(h, reinterpret_cast<HostUserArea*>(uintptr_t{0xbeef0}), msg.Get()))
      << "a user-area message never falls back to the dialog";
  EXPECT_EQ(dialog.built, 0);

  // the layout is built once, values only while it is
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT_VALUES));
  EXPECT_EQ(dialog.initialized, 0) << "values before any layout";
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT));
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT));
  EXPECT_EQ(dialog.built, 1) << "a second build request must not double the layout";
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT_VALUES));
  EXPECT_EQ(dialog.initialized, 1);

  EXPECT_FALSE(Send(h, ZOR_MSG_DESTROY));
  EXPECT_EQ(dialog.destroyed, 1);
  EXPECT_FALSE(dialog.IsLayoutBuilt());
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT_VALUES));
  EXPECT_EQ(dialog.initialized, 1) << "values after the window went away";
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT));
  EXPECT_EQ(dialog.built, 2) << "a new window builds its layout again";
}

TEST_F(PluginLayer, ModalOpenAnswersWhetherItClosedWithOk) {
  ModalDialog dialog;
  int32_t button = 1;
  fake_.whileOpen = [&](HostDialog* h) { Press(h, button); };
  EXPECT_TRUE(dialog.Open(-1, -1, 0, 0, false));
  EXPECT_EQ(Taken(), (Calls{"plugin 0 0", "open 10 -1 -1 0 0", "close"}));
  button = 2;
  EXPECT_FALSE(dialog.Open(10, 20, 300, 200, true));
  EXPECT_EQ(Taken(), (Calls{"plugin 0 0", "open 11 10 20 300 200", "close"}));

  // A dialog the host could not open answers false even if an earlier run ended with OK.
  button = 1;
  ASSERT_TRUE(dialog.Open());
  fake_.openSucceeds = false;
  EXPECT_FALSE(dialog.Open());
}

TEST_F(PluginLayer, ModalCloseQuestionsDependOnTheResultAndButtonsCloseByTheirRules) {
  ModalDialog dialog;
  HostDialog* h = dialog.GetHandle();

  EXPECT_FALSE(Send(h, ZOR_MSG_CHECK_CLOSE));
  EXPECT_FALSE(Send(h, ZOR_MSG_ASK_CLOSE));
  EXPECT_TRUE(fake_.calls.empty()) << "no host check while the result is clear";

  dialog.Close(true);
  EXPECT_EQ(Taken(), Calls{"close"});
  EXPECT_FALSE(Send(h, ZOR_MSG_ASK_CLOSE)) << "QueryClose's default";
  fake_.checkCloseAnswer = false;
  EXPECT_FALSE(Send(h, ZOR_MSG_CHECK_CLOSE));
  EXPECT_TRUE(dialog.GetResult());
  fake_.checkCloseAnswer = true;
  EXPECT_TRUE(Send(h, ZOR_MSG_CHECK_CLOSE));
  EXPECT_FALSE(dialog.GetResult());
  EXPECT_EQ(Taken(), (Calls{"check", "check"}));

  EXPECT_FALSE(Send(h, ZOR_MSG_INTERACT));
  EXPECT_EQ(fake_.interactions, 0) << "a modal dialog answers without the host call";
  // Everything else still goes through the plain dispatch.
  EXPECT_TRUE(Send(h, ZOR_MSG_INIT));
  EXPECT_EQ(dialog.built, 1);

  // A command that clears the close flag keeps OK from closing.
  dialog.keepOpen = true;
  EXPECT_TRUE(Press(h, 1));
  EXPECT_TRUE(fake_.calls.empty());
  EXPECT_FALSE(dialog.GetResult());

  // Cancel closes whatever the command did, with the result clear.
  EXPECT_TRUE(Press(h, 2));
  EXPECT_EQ(Taken(), Calls{"close"});
  EXPECT_FALSE(dialog.GetResult());

  // The flag is set again before every command.
  dialog.keepOpen = false;
  EXPECT_TRUE(Press(h, 1003));
  EXPECT_TRUE(fake_.calls.empty()) << "other gadgets leave the window open";
  EXPECT_TRUE(Press(h, 1));
  EXPECT_EQ(Taken(), Calls{"close"});
  EXPECT_TRUE(dialog.GetResult());
  EXPECT_EQ(dialog.commands, (std::vector<int32_t>{1, 2, 1003, 1}));
}

class SizedArea : public GeUserArea {
 public:
  bool QueryMinSize(int32_t& w, int32_t& h) override { return w = 120, h = 40, answerMinSize; }
  void OnResized(int32_t w, int32_t h) override { resized.push_back({w, h}); }
  bool OnCoreEvent(int32_t, const BaseContainer&) override { return false; }
  bool OnInit() override { return false; }
  bool answerMinSize = false;
  std::vector<std::pair<int32_t, int32_t>> resized;
};

TEST_F(PluginLayer, UserAreaDispatchAndDefaultPaint) {
  PlainDialog dialog;
  SizedArea area;
  HostDialog* d = dialog.GetHandle();
  HostUserArea* a = area.GetHandle();
  ASSERT_NE(a, nullptr);

  EXPECT_TRUE(Send(d, ZOR_MSG_CALC_SIZE, {}, a));
  EXPECT_TRUE(fake_.calls.empty()) << "a refused minimum size leaves the host's alone";
  area.answerMinSize = true;
  EXPECT_TRUE(Send(d, ZOR_MSG_CALC_SIZE, {}, a));
  EXPECT_EQ(Taken(), Calls{"minsize 120 40"});

  EXPECT_TRUE(Send(d, ZOR_MSG_SIZE_CHANGED, {}, a));
  EXPECT_EQ(area.resized, (std::vector<std::pair<int32_t, int32_t>>{{640, 480}}));
  EXPECT_TRUE(Send(d, ZOR_MSG_DRAW, {{1, 5}, {2, 6}, {3, 70}, {4, 80}}, a));
  EXPECT_EQ(Taken(), (Calls{"pen 1000", "fill 5 6 70 80"}));

  EXPECT_TRUE(Send(d, ZOR_MSG_INIT, {}, a)) << "the answer of OnInit is not used";
  EXPECT_TRUE(Send(d, ZOR_MSG_INIT_VALUES, {}, a));
  EXPECT_TRUE(Send(d, ZOR_MSG_HOST_NOTICE, {}, a));
  EXPECT_FALSE(Send(d, ZOR_MSG_INPUT, {}, a));
  EXPECT_FALSE(Send(d, ZOR_MSG_CORE, {{ZOR_MSG_VALUE_EVENT_ID, 5}}, a)) << "answers the event handler";
  EXPECT_FALSE(Send(d, ZOR_MSG_CHECK_CLOSE, {}, a));
  EXPECT_EQ(dialog.built, 0) << "user-area messages never reach the dialog";
}

struct ProbeCommand : CommandData {
  static inline int alive = 0;
  static inline int executed = 0;
  ProbeCommand() { ++alive; }
  ~ProbeCommand() override { --alive; }
  bool Execute(HostDocument*) override { return ++executed, true; }
};

TEST_F(PluginLayer, CommandRecordForwardsToTheObjectAndDestroysIt) {
  EXPECT_FALSE(RegisterCommandPlugin(1001198, String("Renderator"), 0, nullptr, String(), nullptr));
  EXPECT_TRUE(fake_.registered.empty());

  const int64_t blocks = zorhost::memory_statistics().live_blocks;
  ProbeCommand* command = NewObj(ProbeCommand);
  ASSERT_NE(command, nullptr);
  int icon = 0;
  ASSERT_TRUE(RegisterCommandPlugin(1001198, String("Renderator"), 7, &icon, String("help me"), command));
  EXPECT_EQ(fake_.registered, std::vector<std::string>{"16000 4 1001198 384 Renderator"});

  const HostCommandRecord& r = fake_.record;
  EXPECT_EQ(r.info, 7);
  EXPECT_EQ(r.object, command);
  EXPECT_EQ(r.icon, &icon);
  EXPECT_EQ(Utf8(r.help), "help me");
  EXPECT_EQ(r.reserved_168, nullptr);
  const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
  for (auto [from, to] : {std::pair{16, 64}, {72, 128}, {216, 384}})
    for (int i = from; i < to; ++i) ASSERT_EQ(bytes[i], 0) << "offset " << i;

  EXPECT_TRUE(r.execute(r.object, nullptr));
  EXPECT_EQ(ProbeCommand::executed, 1);
  EXPECT_EQ(r.query_state(r.object, nullptr), 0x40000000);
  EXPECT_TRUE(r.restore_dialog(r.object, nullptr));
  HostString* text = r.query_text(r.object);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(Utf8(text), "");
  zorhost::strings_table()->free(text);
  EXPECT_EQ((std::vector<bool>{r.op2(r.object, nullptr, 0), r.op3(r.object, nullptr, 0),
                               r.op5(r.object, nullptr, 0), r.op8(r.object, nullptr, 0)}),
            (std::vector<bool>{false, false, false, true}));

  EXPECT_EQ(ProbeCommand::alive, 1);
  r.destroy(r.object);
  EXPECT_EQ(ProbeCommand::alive, 0);
  EXPECT_EQ(zorhost::memory_statistics().live_blocks, blocks) << "the object's host memory goes back";

  // A refused registration leaves nothing behind.
  fake_.registerAnswer = false;
  EXPECT_FALSE(RegisterCommandPlugin(5, String("Taken"), 0, nullptr, String(), NewObj(ProbeCommand)));
  EXPECT_EQ(ProbeCommand::alive, 0);
  EXPECT_EQ(zorhost::memory_statistics().live_blocks, blocks);
}

// Runs until asked to stop, or until its own extra break test says so.
class CountingThread : public ZORThread {
 public:
  ~CountingThread() override { End(true); }
  void Run() override {
    while (!TestBreak()) {
      GeGlobalLockGuard lock;
      if (++rounds >= stopAfter) stopRequested = true;
    }
  }
  bool TestExtraBreak() override { return stopRequested; }
  const char* QueryName() override { return "Counting Thread"; }
  int rounds = 0;
  int stopAfter = 1 << 30;
  bool stopRequested = false;
};

TEST_F(PluginLayer, ThreadsRunTheObjectUntilEndedOrTheirOwnBreak) {
  {
    CountingThread worker;
    worker.stopAfter = 5;
    ASSERT_TRUE(worker.Start(ZOR_THREAD_SYNC));
    EXPECT_EQ(worker.rounds, 5) << "a synchronous start returns after the body ended through its extra break";
  }
  CountingThread worker;
  ASSERT_TRUE(worker.Start());
  while (true) {
    GeGlobalLockGuard lock;
    if (worker.rounds > 0) break;
  }
  worker.End(true);
  EXPECT_FALSE(worker.IsRunning());
  EXPECT_TRUE(worker.TestBreak());
}

}  // namespace
