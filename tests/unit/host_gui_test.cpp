// The host's dialogs, UI scripts and transcript as a module meets them through the gui family, its
// threads and their events behind a progress dialog, and the status bar.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "app/run_status.h"
#include "gui/console.h"
#include "gui/dialog_model.h"
#include "gui/status_line.h"
#include "gui/ui_driver.h"
#include "gui/ui_script.h"
#include "host_gui_fake_module.h"

namespace {

using namespace fake;
namespace ui = zorhost::ui;

// A user area that records its messages and paints what it is asked to.
struct Area {
  HostUserArea* handle = gui()->user_area_alloc(&Area::callback, this);
  std::vector<int32_t> codes;
  std::vector<int32_t> draw_rect;
  int32_t width_seen = 0, height_seen = 0;
  ~Area() { gui()->user_area_free(handle); }
  static bool callback(HostDialog*, HostUserArea* area, const HostContainer* message) {
    auto* self = static_cast<Area*>(gui()->user_area_object(area));
    int32_t code = containers()->get_id(message);
    self->codes.push_back(code);
    if (code == ZOR_MSG_CALC_SIZE) gui()->user_area_set_min_size(area, 300, 40);
    if (code == ZOR_MSG_SIZE_CHANGED) gui()->user_area_get_size(area, &self->width_seen, &self->height_seen);
    if (code == ZOR_MSG_DRAW) {
      const auto at = [&](int32_t i) { return containers()->get_int32(message, i, -1); };
      self->draw_rect = {at(1), at(2), at(3), at(4)};
      gui()->user_area_set_pen(area, 1000);
      gui()->user_area_fill(area, at(1), at(2), at(3), at(4));
    }
    return true;
  }
};

// A file name in a group, a checkbox, a combo box of two choices, a text, a user area, OK and Cancel.
struct SettingsDialog : Dialog {
  Area area;
  HostGadget* file_field = nullptr;
  SettingsDialog() {
    build = [this](Dialog& d) {
      Text title("Settings"), label("Scene Path"), box("Continue"), none("None"), physical("Physical");
      gui()->dialog_set_title(d.handle, title);
      gui()->group_begin(d.handle, 0, 0x38, 2, 0, nullptr, 0);
      gui()->add_static_text(d.handle, 0, 8, 0, 0, label);
      HostContainer* settings = containers()->alloc(0);
      containers()->set_bool(settings, 10000, true);
      file_field = gui()->add_custom_gadget(d.handle, 1000, ZOR_GADGET_FILENAME, 0x38, 800, 0, settings);
      containers()->free(settings);
      gui()->group_end(d.handle);
      gui()->add_checkbox(d.handle, 1002, 0x38, 0, 0, box);
      gui()->add_combo_box(d.handle, 1004, 0x38, 0, 0);
      gui()->add_child(d.handle, 1004, 0, none);
      gui()->add_child(d.handle, 1004, 1, physical);
      gui()->add_edit_text(d.handle, 1006, 0x38, 0, 0);
      gui()->add_user_area(d.handle, 1100, 0, 100, 20);
      gui()->attach_user_area(d.handle, 1100, area.handle);
      gui()->add_dialog_buttons(d.handle, ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL);
    };
  }
};

TEST(HostGuiDialogModel, RecordsLayoutValuesAndUserAreaInOrder) {
  Session session;
  SettingsDialog d;
  d.init_values = [&](Dialog& self) {
    HostContainer* data = containers()->alloc(0);
    HostFilename* name = zorhost::new_host_filename("/scenes/a");
    containers()->set_filename(data, ZOR_GADGET_FILENAME, name);
    zorhost::files_table()->fn_free(name);
    gui()->gadget_set_data(d.file_field, data);
    containers()->free(data);
    gui()->set_bool(self.handle, 1002, true);
    gui()->enable(self.handle, 1002, false);
  };
  d.open(ZOR_DIALOG_ASYNC, 500, 300);

  EXPECT_EQ(d.codes(), (std::vector<int32_t>{ZOR_MSG_INIT, ZOR_MSG_INIT_VALUES}));
  std::string layout;
  for (const auto& g : d.handle->gadgets) layout += ui::kind_name(*g) + " " + std::to_string(g->id) + ", ";
  EXPECT_EQ(layout,
            "group 0, staticText 0, fileName 1000, groupEnd 0, checkbox 1002, comboBox 1004, editText 1006, "
            "userArea 1100, button 1, button 2, ");

  bool ticked = false;
  int32_t choice = -1;
  Text path;
  EXPECT_TRUE(gui()->get_bool(d.handle, 1002, &ticked));
  EXPECT_TRUE(gui()->get_int32(d.handle, 1004, &choice));
  EXPECT_TRUE(gui()->get_string(d.handle, 1000, path));
  EXPECT_TRUE(ticked);
  EXPECT_EQ(choice, 0) << "the first choice is selected by default";
  EXPECT_EQ(path.Utf8(), "/scenes/a");
  EXPECT_FALSE(ui::find_gadget(d.handle, 1002)->enabled);
  EXPECT_FALSE(gui()->get_bool(d.handle, 4711, &ticked)) << "no such gadget";

  HostContainer* data = containers()->alloc(77);
  ASSERT_TRUE(gui()->gadget_get_data(d.file_field, data));
  EXPECT_EQ(containers()->get_id(data), 77);
  EXPECT_EQ(containers()->value_type(data, ZOR_GADGET_FILENAME), ZOR_VALUE_FILENAME);
  containers()->free(data);

  EXPECT_EQ(d.area.codes, (std::vector<int32_t>{ZOR_MSG_INIT, ZOR_MSG_INIT_VALUES, ZOR_MSG_CALC_SIZE,
                                                ZOR_MSG_SIZE_CHANGED, ZOR_MSG_DRAW}));
  EXPECT_EQ(d.area.width_seen, 300) << "the minimum width wins over the layout's 100";
  EXPECT_EQ(d.area.draw_rect, (std::vector<int32_t>{0, 0, 299, 39}));
  EXPECT_EQ(d.area.handle->fills.size(), 1u);
  EXPECT_EQ(d.area.handle->fills[0][0], 1000);
  gui()->user_area_redraw(d.area.handle);
  EXPECT_EQ(d.area.handle->redraw_requests, 1);
  EXPECT_EQ(d.area.handle->fills.size(), 2u);

  // The module closes it; "dsty" comes once, and a closed dialog cannot be closed again.
  EXPECT_TRUE(gui()->dialog_close(d.handle));
  EXPECT_EQ(d.count(ZOR_MSG_DESTROY), 1);
  EXPECT_FALSE(gui()->dialog_close(d.handle));

  // Opened again, the module builds its layout anew and the host does not keep the old one.
  d.open(ZOR_DIALOG_ASYNC, 500, 300);
  EXPECT_EQ(d.handle->gadgets.size(), 10u);
}

TEST(HostGuiScript, AnswersModalDialogsWithSetClickAndPress) {
  Session session(R"([
    {"dialog": {"set": [[1000, "/work/scenes"], [1002, true], [1004, 1]], "click": [1002], "press": "ok"}},
    {"dialog": {"press": "cancel"}}
  ])");
  ASSERT_TRUE(session.started);
  SettingsDialog d;
  // What the module reads when each command arrives shows that the value was set before "bACT".
  std::vector<std::string> seen;
  d.watch = [&](Dialog& self, const Message& m) {
    if (m.code == ZOR_MSG_COMMAND && m.gadget == 1000) {
      test_support::HostText text;
      gui()->get_string(self.handle, 1000, text);
      seen.push_back(text.Utf8());
    }
    int32_t v = -1;
    if (m.code == ZOR_MSG_COMMAND && m.gadget == 1004 && gui()->get_int32(self.handle, 1004, &v))
      seen.push_back(std::to_string(v));
  };

  d.open();
  EXPECT_FALSE(d.handle->open);
  EXPECT_EQ(d.commands(), (std::vector<int32_t>{1000, 1002, 1004, 1002, 1}));
  EXPECT_EQ(seen, (std::vector<std::string>{"/work/scenes", "1"}));
  EXPECT_EQ(d.codes().back(), ZOR_MSG_DESTROY);
  // the second step, then no step left: the dialog is cancelled all the same
  for (int i = 0; i < 2; ++i) {
    d.received.clear();
    d.open();
    EXPECT_EQ(d.commands(), (std::vector<int32_t>{2}));
  }
  std::vector<std::string> results;
  for (const auto& e : session.events("dialogClose")) results.push_back(e["result"]);
  EXPECT_EQ(results, (std::vector<std::string>{"ok", "cancel", "cancel"}));
}

TEST(HostGuiScript, HeadlessWithoutScriptRefusesModalDialogs) {
  Session session({}, /*headless=*/true);
  Dialog modal, modeless;
  EXPECT_FALSE(gui()->dialog_open(modal.handle, ZOR_DIALOG_MODAL_RESIZABLE, -1, -1, 0, 0));
  EXPECT_TRUE(modal.received.empty()) << "a refused dialog is never built";
  // nobody could answer it: the run ends with the unread-message status, naming what was refused
  EXPECT_EQ(zorhost::unread_message_box(), "a modal dialog had nobody to answer it (no UI script)");
  zorhost::clear_run_notes();
  modeless.open(ZOR_DIALOG_ASYNC);
  EXPECT_FALSE(gui()->select_file(test_support::HostName(), ZOR_SELECT_FOLDER, Text("Choose")));
}

TEST(HostGuiScript, FolderStepsAnswerSelectionsInOrder) {
  Session session(R"([{"dialog": {"press": "ok"}}, {"folder": "/after"}])");
  Text title("Scene folder");
  test_support::HostName name;
  // The next step belongs to a dialog: this selection finds none and is cancelled, the step stays.
  EXPECT_FALSE(gui()->select_file(name, ZOR_SELECT_FOLDER, title));
  Dialog d;
  d.open();
  EXPECT_EQ(d.commands(), (std::vector<int32_t>{1}));
  EXPECT_TRUE(gui()->select_file(name, ZOR_SELECT_FOLDER, title));
  EXPECT_EQ(name.Path(), "/after");
}

TEST(HostGuiScript, BadScriptsAreRefusedNamingTheFileAndTheStep) {
  struct Case {
    std::string file, script;
    std::vector<std::string> said;
  };
  std::vector<Case> all = {
      {"broken.json", R"([{"dialog": {"press": "ok"})", {"line 1, column 28: invalid JSON"}},
      {"unknown.json", R"([{"folder": "/x"}, {"window": {}}])", {"step 2", "window"}},
      {"two_endings.json", R"([{"dialog": {"press": "ok", "wait": true}}])", {"step 1"}},
      // what no gadget could take is refused with the script, before any module runs
      {"wide.json",
       R"([{"dialog": {"set": [[1004, 4294967297]], "press": "ok"}}])",
       {"step 1", "4294967297 for gadget 1004 does not fit in a 32-bit integer"}},
      {"list.json", R"([{"act": {"title": "Browser", "set": [[10, ["handler"]]]}}])", {"step 1"}},
      {"message.json", R"([{"message": 3}])", {"step 1 {\"message\":3}: \"message\" must be the text"}},
  };
  // rows of a tree view are counts from zero
  for (const char* row : {"4294967296", "-1", "1.5", "\"3\""})
    all.push_back({"rows.json",
                   std::string(R"([{"act": {"title": "IoHandler Test", "treeDoubleClick": )") + row + "}}]",
                   {"step 1", "\"treeDoubleClick\" must be a row number from 0"}});
  for (const auto& c : all) {
    const std::string error = fake::refused_script(c.file, c.script);
    EXPECT_TRUE(Contains(error, c.file));
    for (const std::string& part : c.said) EXPECT_TRUE(Contains(error, part));
  }
}

TEST(HostGuiScript, WrongValuesStopTheScriptBeforeAnythingIsSet) {
  const std::pair<std::string, std::string> cases[] = {
      {"[1002, true], [1000, 5]", "gadget 1000 (fileName) takes a text, not 5"},
      {"[1002, \"yes\"]", "gadget 1002 (checkbox) takes true or false, not \"yes\""},
      {"[1004, 77]", "combo box 1004 has no choice 77 (its choices: 0, 1)"},
      {"[1004, -5]", "combo box 1004 has no choice -5"},
      {"[1004, 1.0]", "gadget 1004 (comboBox) takes the id of one of its choices (0, 1), not 1.0"},
      {"[1006, false]", "gadget 1006 (editText) takes a text, not false"},
      {"[1100, 3]", "gadget 1100 (userArea) cannot be set by a user"},
      {"[1, true]", "gadget 1 (button) cannot be set by a user: a button is clicked"},
  };
  for (const auto& [set, said] : cases) {
    Session session(R"([{"dialog": {"set": [)" + set + R"(], "press": "ok"}}, {"folder": "/later"}])");
    ASSERT_TRUE(session.started) << set;
    SettingsDialog d;
    const std::string err = d.open();
    EXPECT_FALSE(gui()->select_file(test_support::HostName(), ZOR_SELECT_FOLDER, Text("Scenes")))
        << "the script has stopped";

    EXPECT_TRUE(Contains(err, "step 1: dialog \"Settings\": " + said));
    EXPECT_TRUE(Contains(err, "the script stops here"));
    EXPECT_TRUE(zorhost::ui_script_failed());
    // Cancel is the only command the module got: no value of the step, no OK.
    EXPECT_EQ(d.commands(), (std::vector<int32_t>{2})) << set;
    EXPECT_EQ(ui::gadget_value(*ui::find_gadget(d.handle, 1002)), ui::GadgetValue{false}) << set;
    EXPECT_EQ(session.events().back()["result"], "cancel");
  }
}

const HostThreadTable* threads() {
  return zorhost::threads_table();
}

// A worker in the shape of a render run: posts a progress event until it is asked to stop, or `limit`.
struct Worker {
  HostThread* handle = threads()->alloc(&Worker::run, &Worker::test_extra, &Worker::name, this);
  int limit = 20000;  // so that a host that never breaks fails the test instead of hanging it
  std::atomic<int32_t> posted{0};
  std::atomic<bool> saw_break{false};
  std::atomic<bool> extra_break{false};
  std::thread::id ran_on;
  ~Worker() { threads()->free(handle); }
  static void run(void* object) {
    auto* self = static_cast<Worker*>(object);
    self->ran_on = std::this_thread::get_id();
    for (int i = 0; i < self->limit; ++i) {
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

TEST(HostGuiScript, WaitingEndsWhenNothingButTheUserCouldCloseTheDialog) {
  {
    // A settings dialog closes only when the user presses a button: waiting for it is a wrong script.
    Session session(R"([{"dialog": {"wait": true}}, {"dialog": {"press": "ok"}}])");
    Dialog d("Settings");
    EXPECT_TRUE(Contains(d.open(),
                         "step 1: waits for dialog \"Settings\" to close, but only the user could close it"));
    EXPECT_EQ(d.commands(), (std::vector<int32_t>{2}));
    EXPECT_TRUE(zorhost::ui_script_failed());
  }
  {
    // The worker ends after one event; the third never comes.
    Session session(R"([{"dialog": {"cancelAfterEvents": 3}}])");
    Dialog d("Progress");
    Worker worker;
    worker.limit = 1;
    ASSERT_TRUE(threads()->start(worker.handle, ZOR_THREAD_ASYNC, 0));
    EXPECT_TRUE(Contains(d.open(), "dialog \"Progress\" had 1 of 3 events"));
    EXPECT_EQ(d.count(ZOR_MSG_CORE), 1);
    EXPECT_EQ(d.commands(), (std::vector<int32_t>{2}));
  }
  {
    // Closing the window, as a person closes a progress dialog: no button is pressed.
    Session session(R"([{"dialog": {"close": true}}])");
    Dialog d("Progress");
    d.on_message = [](Dialog&, const Message&) { return false; };
    EXPECT_FALSE(Contains(d.open(), "keeps itself open"));
    EXPECT_FALSE(d.handle->open);
    EXPECT_TRUE(d.commands().empty());
    const std::vector<int32_t> codes = d.codes();
    EXPECT_EQ(std::vector<int32_t>(codes.end() - 3, codes.end()),
              (std::vector<int32_t>{ZOR_MSG_CHECK_CLOSE, ZOR_MSG_ASK_CLOSE, ZOR_MSG_DESTROY}));
  }
  // A module that answers OK, Cancel and the window's close by staying open is closed all the same,
  // whether it says it took each message (and is told so) or not; the script did nothing wrong.
  for (const bool taken : {true, false}) {
    Session session(R"([{"dialog": {"press": "ok"}}])");
    Dialog d("Stubborn");
    d.on_message = [taken](Dialog&, const Message&) { return taken; };
    const std::string err = d.open();
    EXPECT_FALSE(d.handle->open);
    const std::vector<int32_t> codes = d.codes();
    if (taken) {
      EXPECT_TRUE(Contains(err, "dialog \"Stubborn\" keeps itself open: closed"));
      EXPECT_EQ(codes.back(), ZOR_MSG_DESTROY);
    } else {
      EXPECT_EQ(
          std::vector<int32_t>(codes.end() - 4, codes.end()),
          (std::vector<int32_t>{ZOR_MSG_COMMAND, ZOR_MSG_CHECK_CLOSE, ZOR_MSG_ASK_CLOSE, ZOR_MSG_DESTROY}));
    }
    EXPECT_FALSE(zorhost::ui_script_failed());
  }
}

TEST(HostGuiTranscript, LinesAreJsonInTheOrderEventsHappened) {
  Session session(R"([{"dialog": {"set": [[5, true]], "press": "ok"}}])");
  zorhost::console_line("start renderator to: /tmp/x");
  Dialog d;
  d.build = [](Dialog& self) {
    Text title("Progress"), status("waiting"), box("Check");
    gui()->dialog_set_title(self.handle, title);
    gui()->add_static_text(self.handle, 5000, 0x18, 800, 0, status);
    gui()->add_checkbox(self.handle, 5, 0, 0, 0, box);
    gui()->add_dialog_buttons(self.handle, ZOR_BUTTONS_OK);
  };
  d.watch = [&](Dialog& self, const Message& m) {
    if (m.code == ZOR_MSG_COMMAND && m.gadget == 5) {
      Text done("scene 1 of 2");
      gui()->set_string(self.handle, 5000, done);
      gui()->set_string(self.handle, 5000, done);  // unchanged: no second event
      gui()->message_box(Text("Reference folder not found"), ZOR_MESSAGE_OK);
    }
  };
  EXPECT_TRUE(Contains(d.open(), "MessageBox: Reference folder not found\n"));
  gui()->status_set_percent(50);
  gui()->status_set_text(Text("Rendering"));

  // the checkbox's value is the one it had when the dialog was shown, not the one the script set
  EXPECT_EQ(nlohmann::json(session.events()), nlohmann::json::parse(R"([
    {"event": "console", "text": "start renderator to: /tmp/x"},
    {"event": "dialogOpen", "title": "Progress", "modal": true, "gadgets": [
      {"id": 5000, "kind": "staticText", "text": "waiting", "value": "waiting", "enabled": true},
      {"id": 5, "kind": "checkbox", "text": "Check", "value": false, "enabled": true},
      {"id": 1, "kind": "button", "text": "OK", "value": null, "enabled": true}]},
    {"event": "gadget", "title": "Progress", "id": 5000, "value": "scene 1 of 2"},
    {"event": "message", "text": "Reference folder not found"},
    {"event": "dialogClose", "title": "Progress", "result": "ok"},
    {"event": "status", "percent": 50},
    {"event": "status", "text": "Rendering"}])"));
}

TEST(HostThreads, CancelAfterEventsEndsTheWorkerBehindAModalDialog) {
  Session session(R"([{"dialog": {"cancelAfterEvents": 3}}])");
  Worker worker;
  Dialog progress;
  progress.build = [](Dialog& d) { gui()->add_dialog_buttons(d.handle, ZOR_BUTTONS_CANCEL); };

  ASSERT_TRUE(threads()->start(worker.handle, ZOR_THREAD_ASYNC, 0));
  progress.open();
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
  ui::deliver_pending_events();
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
  EXPECT_GE(threads()->cpu_count(), 1);
  ui::discard_pending_events();

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
  ui::discard_pending_events();
}

}  // namespace

// The status bar as the scripted driver shows it on stderr: redrawn in place on a terminal, nothing
// anywhere else (the console carries the progress), and in a headless run the last text stays.
namespace {

// What a StatusLine writes for a sequence of texts; "<console>" stands for a console line printed.
std::string shown(bool terminal, bool headless, std::initializer_list<std::string> texts) {
  return test_support::WrittenBy([&](std::FILE* out) {
    ui::StatusLine line(out, terminal);
    for (const std::string& text : texts)
      text == "<console>" ? line.erase_for_console() : line.show(text, headless);
  });
}

// A driver that shows the status somewhere of its own.
struct StatusRecorder : ui::ScriptedDriver {
  explicit StatusRecorder(std::string& log) : ScriptedDriver({}, false), log(log) {}
  void show_progress(int32_t percent) override { log += std::to_string(percent) + "% "; }
  void show_status(const std::string& text) override { log += "'" + text + "' "; }
  std::string& log;
};

}  // namespace

TEST(HostStatus, OnlyATerminalShowsTheStatusAndAConsoleLineStartsOnAFreshLine) {
  const std::initializer_list<std::string> run = {"[5%]", "Scene 1", "<console>", "", "Scene 2", "", ""};
  // a log or a pipe: nothing, whatever the console prints
  EXPECT_EQ(shown(false, true, run), "");
  EXPECT_EQ(shown(false, false, run), "");
  // a terminal: one line in place; a headless run leaves its last text standing when it is cleared
  EXPECT_EQ(shown(true, true, {"[5%]", "Scene 1", "", ""}), "\r\033[K[5%]\r\033[KScene 1\n\r\033[K");
  EXPECT_EQ(shown(true, false, {"Scene 1", ""}), "\r\033[KScene 1\r\033[K");
  // a console line first erases the status drawn in place; with none drawn it writes nothing
  EXPECT_EQ(shown(true, true, {"<console>", "Scene 1", "<console>", "", "Scene 2"}),
            "\r\033[KScene 1\r\033[K\r\033[K\r\033[KScene 2");
}

TEST(HostStatus, ARedirectedStderrShowsNoStatusAndAnotherDriverShowsIt) {
  const test_support::HostText text("Comparing");
  const auto show = [&] {
    gui()->status_set_percent(66);
    gui()->status_set_text(text);
    gui()->status_clear();
  };
  zorhost::options().headless = true;
  gui()->status_clear();  // whatever an earlier test left
  EXPECT_EQ(test_support::StderrOf(show), "");
  zorhost::options().headless = false;

  std::string log;
  ui::set_driver(std::make_unique<StatusRecorder>(log));
  EXPECT_EQ(test_support::StderrOf(show), "");
  ui::set_driver(nullptr);
  EXPECT_EQ(log, "66% 'Comparing' '' ");
}
