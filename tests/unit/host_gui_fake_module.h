// A small stand-in for a module's dialog layer: it records every message the host sends and lets each
// test decide how the "module" answers, calling the gui table the way a module would.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/host_options.h"
#include "app/host_table.h"
#include "files/filename_impl.h"
#include "gui/dialog_model.h"
#include "gui/ui_session.h"
#include "unit/host_test_support.h"
#include "unit/scratch_folder.h"

namespace fake {

using test_support::Contains;

inline const HostGuiTable* gui() {
  return zorhost::gui_table();
}
inline const HostContainerTable* containers() {
  return zorhost::containers_table();
}

struct Message {
  int32_t code = 0;
  int32_t gadget = 0;   // "bACT"
  int32_t event = 0;    // core events
  bool editing = true;  // "bACT" of a text field: false once the edit is committed
  std::string text;     // and the text then
};

using Text = test_support::HostText;

struct Dialog {
  HostDialog* handle = nullptr;
  std::vector<Message> received;
  std::function<void(Dialog&)> build = [](Dialog&) {};
  std::function<void(Dialog&)> init_values = [](Dialog&) {};
  std::function<void(Dialog&, const Message&)> watch = [](Dialog&, const Message&) {};  // before on_message
  // Answers the module's answer; by default OK and Cancel close the dialog as a modal dialog does.
  std::function<bool(Dialog&, const Message&)> on_message = [](Dialog& d, const Message& m) {
    if (m.code == ZOR_MSG_COMMAND && (m.gadget == 1 || m.gadget == 2)) gui()->dialog_close(d.handle);
    return m.code != ZOR_MSG_COMMAND;
  };

  Dialog() { handle = gui()->dialog_alloc(&Dialog::callback, this); }
  // A layout of only a title and the given standard buttons.
  explicit Dialog(const std::string& title, int32_t buttons = ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL)
      : Dialog() {
    build = [title, buttons](Dialog& self) {
      gui()->dialog_set_title(self.handle, Text(title));
      gui()->add_dialog_buttons(self.handle, buttons);
    };
  }
  ~Dialog() { gui()->dialog_free(handle); }
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Opens the dialog, which the host must take; answers what the host said on stderr meanwhile.
  std::string open(int32_t mode = ZOR_DIALOG_MODAL, int32_t width = 0, int32_t height = 0) {
    return test_support::StderrOf(
        [&] { EXPECT_TRUE(gui()->dialog_open(handle, mode, -1, -1, width, height)); });
  }

  std::vector<int32_t> codes() const {
    std::vector<int32_t> out;
    for (const Message& m : received) out.push_back(m.code);
    return out;
  }
  std::vector<int32_t> commands() const {
    std::vector<int32_t> out;
    for (const Message& m : received)
      if (m.code == ZOR_MSG_COMMAND) out.push_back(m.gadget);
    return out;
  }
  int32_t count(int32_t code) const {
    int32_t n = 0;
    for (const Message& m : received) n += m.code == code;
    return n;
  }

  static bool callback(HostDialog* dialog, HostUserArea*, const HostContainer* message) {
    auto* self = static_cast<Dialog*>(gui()->dialog_object(dialog));
    Message m;
    m.code = containers()->get_id(message);
    m.gadget = containers()->get_int32(message, ZOR_MSG_VALUE_GADGET_ID, 0);
    m.event = containers()->get_int32(message, ZOR_MSG_VALUE_EVENT_ID, 0);
    m.editing = containers()->get_bool(message, 0x6D657374, true);
    if (Text text; containers()->get_string(message, 0x6D657661, text)) m.text = text.Utf8();
    self->received.push_back(m);
    if (m.code == ZOR_MSG_INIT) self->build(*self);
    if (m.code == ZOR_MSG_INIT_VALUES) self->init_values(*self);
    self->watch(*self, m);
    return self->on_message(*self, m);
  }
};

inline std::filesystem::path temp_file(const std::string& name, const std::string& content = {}) {
  static const test_support::ScratchFolder dir("zorhost_gui_test_");
  auto path = dir.path() / name;
  if (!content.empty()) std::ofstream(path) << content;
  return path;
}

// Starts a session with a script the host must refuse; answers why.
inline std::string refused_script(const std::string& name, const std::string& script) {
  zorhost::HostOptions options;
  options.ui_script = temp_file(name, script);
  std::string error;
  if (zorhost::start_ui_session(options, &error)) {
    ADD_FAILURE() << script << " was taken";
    zorhost::end_ui_session();
  }
  return error;
}

// One UI session for the length of a test: a UI script and a transcript, ended however the test ends.
struct Session {
  std::filesystem::path transcript;
  explicit Session(const std::string& script = {}, bool headless = false) {
    zorhost::HostOptions options;
    options.headless = headless;
    zorhost::options().headless = headless;
    if (!script.empty()) options.ui_script = temp_file("script.json", script);
    transcript = temp_file("transcript.jsonl");
    options.transcript = transcript;
    std::string error;
    started = zorhost::start_ui_session(options, &error);
    if (!started) std::fprintf(stderr, "session: %s\n", error.c_str());
  }
  ~Session() {
    zorhost::end_ui_session();
    zorhost::options().headless = false;
  }
  // The transcript's events so far, or those of one kind.
  std::vector<nlohmann::json> events(const std::string& kind = "") const {
    std::vector<nlohmann::json> out;
    std::ifstream in(transcript);
    for (std::string line; std::getline(in, line);)
      if (auto event = nlohmann::json::parse(line); kind.empty() || event["event"] == kind)
        out.push_back(event);
    return out;
  }
  bool started = false;
};

}  // namespace fake
