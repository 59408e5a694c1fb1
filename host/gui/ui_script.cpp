#include "gui/ui_script.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/host_options.h"
#include "gui/transcript.h"

namespace zorhost::ui {
namespace {

using nlohmann::json;

// Every problem of a script names the file and the step, so the author finds it at once.
class StepError {
 public:
  StepError(const std::string& file_name, int32_t number, const json& step)
      : prefix_("UI script " + file_name + ": step " + std::to_string(number) + " " +
                step.dump(-1, ' ', false, json::error_handler_t::replace) + ": ") {}
  bool fail(std::string* error, const std::string& what) const {
    if (error) *error = prefix_ + what;
    return false;
  }

 private:
  std::string prefix_;
};

bool to_gadget_value(const json& value, GadgetValue* out) {
  if (value.is_boolean()) {
    *out = value.get<bool>();
  } else if (value.is_number_integer()) {
    *out = value.get<int32_t>();
  } else if (value.is_number_float()) {
    *out = value.get<double>();
  } else if (value.is_string()) {
    *out = value.get<std::string>();
  } else {
    return false;
  }
  return true;
}

bool parse_set_and_click(const json& body, ScriptStep* step, const StepError& where, std::string* error) {
  if (body.contains("set")) {
    const json& set = body["set"];
    if (!set.is_array()) return where.fail(error, "\"set\" must be a list of [ID, VALUE] pairs");
    for (const json& pair : set) {
      GadgetSetting setting;
      if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() ||
          !to_gadget_value(pair[1], &setting.value))
        return where.fail(error,
                          "\"set\" must be a list of [ID, VALUE] pairs with a text, boolean or number");
      setting.id = pair[0].get<int32_t>();
      step->set.push_back(std::move(setting));
    }
  }
  if (body.contains("click")) {
    const json& click = body["click"];
    if (!click.is_array()) return where.fail(error, "\"click\" must be a list of gadget ids");
    for (const json& id : click) {
      if (!id.is_number_integer()) return where.fail(error, "\"click\" must be a list of gadget ids");
      step->click.push_back(id.get<int32_t>());
    }
  }
  return true;
}

bool check_keys(const json& body, std::initializer_list<const char*> known, const StepError& where,
                std::string* error) {
  for (const auto& [key, value] : body.items()) {
    bool found = false;
    for (const char* name : known) found = found || key == name;
    if (!found) return where.fail(error, "unknown field \"" + key + "\"");
  }
  return true;
}

bool parse_dialog(const json& body, ScriptStep* step, const StepError& where, std::string* error) {
  if (!body.is_object()) return where.fail(error, "\"dialog\" must be an object");
  if (!check_keys(body, {"set", "click", "press", "wait", "cancelAfterEvents"}, where, error)) return false;
  if (!parse_set_and_click(body, step, where, error)) return false;
  int endings = 0;
  if (body.contains("press")) {
    ++endings;
    const json& press = body["press"];
    if (press == "ok") {
      step->ending = ScriptStep::Ending::Ok;
    } else if (press == "cancel") {
      step->ending = ScriptStep::Ending::Cancel;
    } else {
      return where.fail(error, "\"press\" must be \"ok\" or \"cancel\"");
    }
  }
  if (body.contains("wait")) {
    ++endings;
    if (body["wait"] != true) return where.fail(error, "\"wait\" can only be true");
    step->ending = ScriptStep::Ending::Wait;
  }
  if (body.contains("cancelAfterEvents")) {
    ++endings;
    const json& count = body["cancelAfterEvents"];
    if (!count.is_number_integer() || count.get<int64_t>() < 0)
      return where.fail(error, "\"cancelAfterEvents\" must be a count of events");
    step->ending = ScriptStep::Ending::CancelAfterEvents;
    step->cancel_after_events = count.get<int64_t>();
  }
  if (endings != 1)
    return where.fail(error,
                      "a dialog step ends with exactly one of \"press\", \"wait\", \"cancelAfterEvents\"");
  return true;
}

bool parse_act(const json& body, ScriptStep* step, const StepError& where, std::string* error) {
  if (!body.is_object()) return where.fail(error, "\"act\" must be an object");
  if (!check_keys(body, {"title", "set", "click", "treeSelect", "treeDoubleClick"}, where, error))
    return false;
  if (!body.contains("title") || !body["title"].is_string())
    return where.fail(error, "\"act\" needs the \"title\" of an open dialog");
  step->title = body["title"].get<std::string>();
  if (!parse_set_and_click(body, step, where, error)) return false;
  for (const char* key : {"treeSelect", "treeDoubleClick"}) {
    if (!body.contains(key)) continue;
    const json& row = body[key];
    if (!row.is_number_integer() || row.get<int64_t>() < 0)
      return where.fail(error, std::string("\"") + key + "\" must be a row number from 0");
    (std::string(key) == "treeSelect" ? step->tree_select : step->tree_double_click) = row.get<int32_t>();
  }
  return true;
}

std::mutex g_message_box_mutex;

}  // namespace

const char* step_kind_name(ScriptStep::Kind kind) {
  switch (kind) {
    case ScriptStep::Kind::Dialog:
      return "dialog";
    case ScriptStep::Kind::Folder:
      return "folder";
    case ScriptStep::Kind::Act:
      return "act";
  }
  return "dialog";
}

bool parse_ui_script(const std::string& text, const std::string& file_name, std::vector<ScriptStep>* steps,
                     std::string* error) {
  json script;
  try {
    script = json::parse(text);
  } catch (const json::parse_error& e) {
    if (error) *error = "UI script " + file_name + " is not valid JSON: " + e.what();
    return false;
  }
  if (!script.is_array()) {
    if (error) *error = "UI script " + file_name + " must be a JSON array of steps";
    return false;
  }
  steps->clear();
  int32_t number = 0;
  for (const json& entry : script) {
    ScriptStep step;
    step.number = ++number;
    StepError where(file_name, number, entry);
    if (!entry.is_object() || entry.size() != 1)
      return where.fail(error,
                        "unknown step: a step is an object with one of \"dialog\", \"folder\", \"act\"");
    // items() hands out a proxy; copying its iterator's key and keeping a reference into the entry keeps
    // both alive for the whole step.
    const std::string key = entry.begin().key();
    const json& body = entry.begin().value();
    if (key == "dialog") {
      step.kind = ScriptStep::Kind::Dialog;
      if (!parse_dialog(body, &step, where, error)) return false;
    } else if (key == "folder") {
      step.kind = ScriptStep::Kind::Folder;
      if (body.is_string()) {
        step.folder = body.get<std::string>();
      } else if (!body.is_null()) {
        return where.fail(error, "\"folder\" must be a path or null");
      }
    } else if (key == "act") {
      step.kind = ScriptStep::Kind::Act;
      if (!parse_act(body, &step, where, error)) return false;
    } else {
      return where.fail(error, "unknown step \"" + key + "\"");
    }
    steps->push_back(std::move(step));
  }
  return true;
}

bool load_ui_script(const std::filesystem::path& file, std::vector<ScriptStep>* steps, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read the UI script " + file.string();
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return parse_ui_script(text.str(), file.string(), steps, error);
}

ScriptedDriver::ScriptedDriver(std::vector<ScriptStep> steps, bool have_script, std::string file_name)
    : steps_(std::move(steps)), have_script_(have_script), file_name_(std::move(file_name)) {}

bool ScriptedDriver::can_open_modal() {
  return have_script_ || !options().headless;
}

const ScriptStep* ScriptedDriver::take(ScriptStep::Kind kind, const std::string& what) {
  if (next_ >= steps_.size()) {
    if (have_script_)
      std::fprintf(stderr, "zorhost: no UI script step is left for %s: cancelled\n", what.c_str());
    return nullptr;
  }
  const ScriptStep& step = steps_[next_];
  if (step.kind != kind) {
    std::fprintf(stderr, "zorhost: UI script step %d is a %s step, not one for %s: cancelled\n", step.number,
                 step_kind_name(step.kind), what.c_str());
    return nullptr;
  }
  ++next_;
  return &step;
}

void ScriptedDriver::apply_settings(HostDialog* dialog, const ScriptStep& step) {
  for (const GadgetSetting& setting : step.set) {
    if (!is_live(dialog) || !dialog->open) return;
    if (!user_set(dialog, setting.id, setting.value))
      std::fprintf(stderr, "zorhost: UI script step %d: dialog \"%s\" has no gadget %d\n", step.number,
                   dialog->title.c_str(), setting.id);
  }
  for (int32_t id : step.click) {
    if (!is_live(dialog) || !dialog->open) return;
    if (!user_click(dialog, id))
      std::fprintf(stderr, "zorhost: UI script step %d: dialog \"%s\" has no gadget %d\n", step.number,
                   dialog->title.c_str(), id);
  }
}

void ScriptedDriver::run_modal(HostDialog* dialog) {
  const ScriptStep* step = take(ScriptStep::Kind::Dialog, "dialog \"" + dialog->title + "\"");
  if (!step) {
    user_press(dialog, CloseReason::Cancel);
    settle(dialog, true);
    return;
  }
  apply_settings(dialog, *step);
  switch (step->ending) {
    case ScriptStep::Ending::Ok:
    case ScriptStep::Ending::Cancel:
      user_press(dialog, step->ending == ScriptStep::Ending::Ok ? CloseReason::Ok : CloseReason::Cancel);
      settle(dialog, true);
      return;
    case ScriptStep::Ending::CancelAfterEvents: {
      const int64_t start = is_live(dialog) ? dialog->core_events : 0;
      while (is_live(dialog) && dialog->open) {
        if (dialog->core_events - start >= step->cancel_after_events) {
          user_press(dialog, CloseReason::Cancel);
          settle(dialog, true);
          return;
        }
        // One at a time, so that Cancel comes right after the Nth event and not after a whole batch.
        if (deliver_pending_events(1) == 0) {
          idle();
          wait_for_event(100);
        }
      }
      return;
    }
    case ScriptStep::Ending::Wait:
    case ScriptStep::Ending::None:
      settle(dialog, false);
      return;
  }
}

// Keeps delivering events until the module closes the dialog. After a press that the module did not
// answer by closing, the user closes the window instead; if the module keeps it open even then, only its
// own events can end the dialog.
void ScriptedDriver::settle(HostDialog* dialog, bool pressed) {
  bool window_tried = !pressed;
  while (is_live(dialog) && dialog->open) {
    int32_t delivered = deliver_pending_events();
    idle();
    if (!is_live(dialog) || !dialog->open) return;
    if (delivered > 0) continue;
    if (!window_tried) {
      window_tried = true;
      user_close_window(dialog);
      continue;
    }
    wait_for_event(100);
  }
}

void ScriptedDriver::dialog_shown(HostDialog*) {
  idle();
}

void ScriptedDriver::idle() {
  if (in_idle_) return;  // acting may send messages that end up here again
  in_idle_ = true;
  while (next_ < steps_.size() && steps_[next_].kind == ScriptStep::Kind::Act) {
    const ScriptStep& step = steps_[next_];
    HostDialog* dialog = find_open_dialog(step.title);
    if (!dialog) break;
    ++next_;
    apply_settings(dialog, step);
    if (step.tree_select || step.tree_double_click)
      std::fprintf(stderr, "zorhost: UI script step %d: tree views cannot be driven yet; row ignored\n",
                   step.number);
  }
  in_idle_ = false;
}

std::optional<std::string> ScriptedDriver::select_file(int32_t, const std::string& title) {
  const ScriptStep* step = take(ScriptStep::Kind::Folder, "the selection \"" + title + "\"");
  if (!step) return std::nullopt;
  return step->folder;
}

int32_t ScriptedDriver::message_box(const std::string& text, int32_t) {
  std::lock_guard lock(g_message_box_mutex);
  std::fprintf(stderr, "MessageBox: %s\n", text.c_str());
  std::fflush(stderr);
  transcript::record({{"event", "message"}, {"text", text}});
  return 1;  // acknowledged: OK, or Yes
}

}  // namespace zorhost::ui
