#include "gui/ui_script.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>

#include "app/host_options.h"
#include "app/run_status.h"
#include "containers/json_input.h"
#include "gui/transcript.h"
#include "gui/user_actions.h"
#include "threads/thread_impl.h"

namespace zorhost::ui {
namespace {

using nlohmann::json;

// Every problem of a script names the file and the step, so the author finds it at once. The step is
// shown as written, cut short: a step may be as large as the file.
class StepError {
 public:
  StepError(const std::string& file_name, int32_t number, const json& step)
      : file_name_(file_name), number_(number), step_(step) {}
  bool fail(std::string* error, const std::string& what) const {
    constexpr size_t kShown = 160;
    std::string shown = step_.dump(-1, ' ', false, json::error_handler_t::replace);
    if (shown.size() > kShown) shown = shown.substr(0, kShown) + "...";
    if (error)
      *error = "UI script " + file_name_ + ": step " + std::to_string(number_) + " " + shown + ": " + what;
    return false;
  }

 private:
  const std::string& file_name_;
  int32_t number_;
  const json& step_;
};

bool parse_set_and_click(const json& body, ScriptStep* step, const StepError& where, std::string* error) {
  if (body.contains("set")) {
    const json& set = body["set"];
    if (!set.is_array()) return where.fail(error, "\"set\" must be a list of [ID, VALUE] pairs");
    for (const json& pair : set) {
      GadgetSetting setting;
      if (!pair.is_array() || pair.size() != 2 || !to_int32(pair[0], &setting.id))
        return where.fail(error, "\"set\" must be a list of [ID, VALUE] pairs with 32-bit integer ids");
      if (pair[1].is_number_integer() && !to_gadget_value(pair[1], &setting.value))
        return where.fail(error, "the value " + pair[1].dump() + " for gadget " + std::to_string(setting.id) +
                                     " does not fit in a 32-bit integer");
      if (!to_gadget_value(pair[1], &setting.value))
        return where.fail(error, "the value for gadget " + std::to_string(setting.id) +
                                     " must be a text, true/false or a number");
      step->set.push_back(std::move(setting));
    }
  }
  if (body.contains("click")) {
    const json& click = body["click"];
    if (!click.is_array()) return where.fail(error, "\"click\" must be a list of gadget ids");
    for (const json& id : click) {
      int32_t gadget = 0;
      if (!to_int32(id, &gadget)) return where.fail(error, "\"click\" must be a list of gadget ids");
      step->click.push_back(gadget);
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
  if (!check_keys(body, {"set", "click", "press", "wait", "cancelAfterEvents", "close"}, where, error))
    return false;
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
    const bool fits = count.is_number_unsigned() ? count.get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX)
                                                 : count.is_number_integer() && count.get<int64_t>() >= 0;
    if (!fits) return where.fail(error, "\"cancelAfterEvents\" must be a count of events");
    step->ending = ScriptStep::Ending::CancelAfterEvents;
    step->cancel_after_events = count.get<int64_t>();
  }
  if (body.contains("close")) {
    ++endings;
    if (body["close"] != true) return where.fail(error, "\"close\" can only be true");
    step->ending = ScriptStep::Ending::Close;
  }
  if (endings != 1)
    return where.fail(
        error,
        "a dialog step ends with exactly one of \"press\", \"wait\", \"cancelAfterEvents\", \"close\"");
  return true;
}

bool parse_act(const json& body, ScriptStep* step, const StepError& where, std::string* error) {
  if (!body.is_object()) return where.fail(error, "\"act\" must be an object");
  if (!check_keys(body, {"title", "set", "click", "treeSelect", "treeDoubleClick", "close"}, where, error))
    return false;
  if (body.contains("close")) {
    if (body["close"] != true) return where.fail(error, "\"close\" can only be true");
    step->close = true;
  }
  if (!body.contains("title") || !body["title"].is_string())
    return where.fail(error, "\"act\" needs the \"title\" of an open dialog");
  step->title = body["title"].get<std::string>();
  if (!parse_set_and_click(body, step, where, error)) return false;
  for (const char* key : {"treeSelect", "treeDoubleClick"}) {
    if (!body.contains(key)) continue;
    int32_t row = -1;
    if (!to_int32(body[key], &row) || row < 0)
      return where.fail(error, std::string("\"") + key + "\" must be a row number from 0");
    (std::string(key) == "treeSelect" ? step->tree_select : step->tree_double_click) = row;
  }
  return true;
}

std::mutex g_message_box_mutex;

std::string value_text(const GadgetValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return "nothing";
        } else {
          return json(v).dump(-1, ' ', false, json::error_handler_t::replace);
        }
      },
      value);
}

}  // namespace

bool to_int32(const json& value, int32_t* out) {
  if (!value.is_number_integer()) return false;
  if (value.is_number_unsigned()) {
    if (value.get<uint64_t>() > static_cast<uint64_t>(INT32_MAX)) return false;
  } else if (value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX) {
    return false;
  }
  *out = static_cast<int32_t>(value.get<int64_t>());
  return true;
}

bool to_gadget_value(const json& value, GadgetValue* out) {
  int32_t number = 0;
  if (value.is_boolean()) {
    *out = value.get<bool>();
  } else if (value.is_number_integer()) {
    if (!to_int32(value, &number)) return false;
    *out = number;
  } else if (value.is_number_float()) {
    *out = value.get<double>();
  } else if (value.is_string()) {
    *out = value.get<std::string>();
  } else {
    return false;
  }
  return true;
}

const char* step_kind_name(ScriptStep::Kind kind) {
  switch (kind) {
    case ScriptStep::Kind::Dialog:
      return "dialog";
    case ScriptStep::Kind::Folder:
      return "folder";
    case ScriptStep::Kind::Act:
      return "act";
    case ScriptStep::Kind::Message:
      return "message";
  }
  return "dialog";
}

bool parse_ui_script(const std::string& text, const std::string& file_name, std::vector<ScriptStep>* steps,
                     std::string* error) {
  json script;
  JsonInputError parse_error;
  if (!parse_json_input(text, &script, &parse_error)) {
    if (error) *error = "UI script " + file_name + ": " + parse_error.text();
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
                        "unknown step: a step is an object with one of \"dialog\", \"folder\", \"act\", "
                        "\"message\"");
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
    } else if (key == "message") {
      step.kind = ScriptStep::Kind::Message;
      if (!body.is_string()) return where.fail(error, "\"message\" must be the text of the message box");
      step.title = body.get<std::string>();
    } else {
      return where.fail(error, "unknown step \"" + key + "\"");
    }
    steps->push_back(std::move(step));
  }
  return true;
}

bool load_ui_script(const std::filesystem::path& file, std::vector<ScriptStep>* steps, std::string* error) {
  std::string text;
  std::string problem;
  if (!read_input_file(file, &text, &problem)) {
    if (error) *error = "UI script " + file.string() + ": " + problem;
    return false;
  }
  return parse_ui_script(text, file.string(), steps, error);
}

std::string value_problem(const HostGadget& gadget, const GadgetValue& value) {
  const std::string kind = kind_name(gadget);
  const bool text = std::holds_alternative<std::string>(value);
  const bool flag = std::holds_alternative<bool>(value);
  const bool number = std::holds_alternative<int32_t>(value) || std::holds_alternative<double>(value);
  const auto wants = [&](const std::string& what) {
    return "gadget " + std::to_string(gadget.id) + " (" + kind + ") takes " + what + ", not " +
           value_text(value);
  };
  switch (gadget.kind) {
    case GadgetKind::EditText:
    case GadgetKind::MultiLineText:
      return text ? std::string() : wants("a text");
    case GadgetKind::Checkbox:
      return flag ? std::string() : wants("true or false");
    case GadgetKind::EditNumber:
      return number ? std::string() : wants("a number");
    case GadgetKind::ComboBox: {
      std::string ids;
      for (const ComboChoice& choice : gadget.choices)
        ids += (ids.empty() ? "" : ", ") + std::to_string(choice.id);
      const auto* chosen = std::get_if<int32_t>(&value);
      if (!chosen) return wants("the id of one of its choices (" + ids + ")");
      for (const ComboChoice& choice : gadget.choices)
        if (choice.id == *chosen) return {};
      return "combo box " + std::to_string(gadget.id) + " has no choice " + std::to_string(*chosen) +
             " (its choices: " + (ids.empty() ? "none" : ids) + ")";
    }
    case GadgetKind::TabGroup: {
      const std::vector<int32_t> pages = tab_pages(gadget.dialog, gadget);
      std::string ids;
      for (int32_t page : pages) ids += (ids.empty() ? "" : ", ") + std::to_string(page);
      const auto* chosen = std::get_if<int32_t>(&value);
      if (!chosen) return wants("the id of one of its pages (" + ids + ")");
      if (std::find(pages.begin(), pages.end(), *chosen) != pages.end()) return {};
      return "tab group " + std::to_string(gadget.id) + " has no page " + std::to_string(*chosen) +
             " (its pages: " + (ids.empty() ? "none" : ids) + ")";
    }
    case GadgetKind::Custom:
      if (gadget.custom_type == ZOR_GADGET_FILENAME) return text ? std::string() : wants("a text");
      if (gadget.custom_type == ZOR_GADGET_TREEVIEW)
        return "gadget " + std::to_string(gadget.id) +
               " (treeView) cannot be set by a user: its rows are chosen with \"treeSelect\"";
      break;
    default:
      break;
  }
  return "gadget " + std::to_string(gadget.id) + " (" + kind + ") cannot be set by a user" +
         (gadget.kind == GadgetKind::Button ? ": a button is clicked" : "");
}

ScriptedDriver::ScriptedDriver(std::vector<ScriptStep> steps, bool have_script, std::string file_name)
    : steps_(std::move(steps)), have_script_(have_script), file_name_(std::move(file_name)) {}

bool ScriptedDriver::can_open_modal() {
  if (have_script_ || !options().headless) return true;
  // Refused before it is built, so it has no title yet: the command that opened it names it.
  const std::string name = running_command().empty() ? std::string("a modal dialog")
                                                     : "the dialog of command \"" + running_command() + "\"";
  std::fprintf(stderr, "zorhost: %s was opened in a headless run without a UI script (--ui FILE): refused\n",
               name.c_str());
  note_unanswered_dialog(name);
  return false;
}

void ScriptedDriver::fail(const ScriptStep& step, const std::string& what) {
  std::fprintf(stderr, "zorhost: UI script %s: step %d: %s; the script stops here\n", file_name_.c_str(),
               step.number, what.c_str());
  failed_ = true;
}

const ScriptStep* ScriptedDriver::take(ScriptStep::Kind kind, const std::string& what) {
  if (failed_) {
    std::fprintf(stderr, "zorhost: the UI script has stopped: %s cancelled\n", what.c_str());
    return nullptr;
  }
  std::lock_guard lock(steps_mutex_);
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

// All values of a step are checked before the first is set, so that a wrong one leaves the module with
// nothing of the step.
bool ScriptedDriver::check_settings(HostDialog* dialog, const ScriptStep& step) {
  for (const GadgetSetting& setting : step.set) {
    const HostGadget* gadget = find_gadget(dialog, setting.id);
    if (!gadget) continue;  // said when it is set; the dialog may still grow it
    const std::string problem = value_problem(*gadget, setting.value);
    if (!problem.empty()) {
      fail(step, dialog_name(*dialog) + ": " + problem);
      return false;
    }
  }
  return true;
}

// False when a value did not fit after all (the module changed its layout while the step was set).
bool ScriptedDriver::apply_settings(HostDialog* dialog, const ScriptStep& step) {
  std::vector<UserAction> actions;
  // Absent when its turn comes (earlier values may have grown the layout): a mistyped id, which must not
  // pass for a value the user gave.
  for (const GadgetSetting& setting : step.set) actions.push_back(UserAction::set(setting.id, setting.value));
  for (int32_t id : step.click) actions.push_back(UserAction::click(id));
  for (const UserAction& action : actions) {
    if (const std::string problem = perform(dialog, action); !problem.empty()) {
      fail(step, dialog_name(*dialog) + ": " + problem);
      return false;
    }
  }
  return true;
}

void ScriptedDriver::cancel(HostDialog* dialog) {
  if (!is_live(dialog) || !dialog->open) return;
  user_press(dialog, CloseReason::Cancel);
  settle(dialog, true, nullptr);
}

void ScriptedDriver::run_modal(HostDialog* dialog) {
  const ScriptStep* step = take(ScriptStep::Kind::Dialog, dialog_name(*dialog));
  if (!step || !check_settings(dialog, *step) || !apply_settings(dialog, *step)) {
    cancel(dialog);
    return;
  }
  switch (step->ending) {
    case ScriptStep::Ending::Ok:
    case ScriptStep::Ending::Cancel:
      if (!is_live(dialog) || !dialog->open) return;
      user_press(dialog, step->ending == ScriptStep::Ending::Ok ? CloseReason::Ok : CloseReason::Cancel);
      settle(dialog, true, nullptr);
      return;
    case ScriptStep::Ending::CancelAfterEvents: {
      const int64_t start = is_live(dialog) ? dialog->core_events : 0;
      while (is_live(dialog) && dialog->open) {
        const int64_t seen = dialog->core_events - start;
        if (seen >= step->cancel_after_events) {
          cancel(dialog);
          return;
        }
        // One at a time, so that Cancel comes right after the Nth event and not after a whole batch.
        if (deliver_pending_events(1) > 0) continue;
        idle();
        if (!is_live(dialog) || !dialog->open) return;
        if (running_module_threads() > 0) {
          wait_for_event(100);
        } else if (!wait_for_event(0)) {
          fail(*step, dialog_name(*dialog) + " had " + std::to_string(seen) + " of " +
                          std::to_string(step->cancel_after_events) +
                          " events and nothing is left that could send more: cancelled now");
          cancel(dialog);
          return;
        }
      }
      return;
    }
    case ScriptStep::Ending::Close:
      perform(dialog, UserAction::close());
      settle(dialog, false, nullptr);
      return;
    case ScriptStep::Ending::Wait:
    case ScriptStep::Ending::None:
      settle(dialog, false, step);
      return;
  }
}

// Keeps delivering events until the module closes the dialog. After a press that the module did not
// answer by closing, the user closes the window instead. Events can close it only while some are
// waiting or a module thread still runs that may post more; once neither is so, only the user could,
// and waiting longer would wait for ever. Then a waiting step is a mistake of the script (said, and the
// dialog cancelled), and a dialog that keeps itself open even against its window's close is closed.
void ScriptedDriver::settle(HostDialog* dialog, bool pressed, const ScriptStep* waiting_step) {
  bool window_tried = !pressed;
  while (is_live(dialog) && dialog->open) {
    const int32_t delivered = deliver_pending_events();
    idle();
    if (!is_live(dialog) || !dialog->open) return;
    if (delivered > 0) continue;
    if (!window_tried) {
      window_tried = true;
      user_close_window(dialog);
      continue;
    }
    // The threads first: a thread posts before it ends, so with none running the queue is complete.
    if (running_module_threads() > 0) {
      wait_for_event(100);
      continue;
    }
    if (wait_for_event(0)) continue;
    if (waiting_step) {
      fail(*waiting_step, "waits for " + dialog_name(*dialog) +
                              " to close, but only the user could close it: cancelled now");
      cancel(dialog);
    } else {
      std::fprintf(stderr, "zorhost: %s keeps itself open: closed\n", dialog_name(*dialog).c_str());
      force_close(dialog, CloseReason::Window);
    }
    return;
  }
}

// The rows a step names are those shown when its turn comes, after its values and clicks: a click may
// have listed another folder.
bool ScriptedDriver::act_on_tree(HostDialog* dialog, const ScriptStep& step) {
  for (const auto& [row, kind] : {std::pair{step.tree_select, UserAction::Kind::TreeSelect},
                                  std::pair{step.tree_double_click, UserAction::Kind::TreeDoubleClick}}) {
    if (!row) continue;
    if (const std::string problem = perform(dialog, UserAction::on_row(kind, *row)); !problem.empty()) {
      fail(step, std::string("\"") + action_name(kind) + "\": " + dialog_name(*dialog) + ": " + problem);
      return false;
    }
  }
  if (step.close) perform(dialog, UserAction::close());
  return true;
}

void ScriptedDriver::dialog_shown(HostDialog*) {
  idle();
}

void ScriptedDriver::idle() {
  if (in_idle_) return;  // acting may send messages that end up here again
  in_idle_ = true;
  for (;;) {
    std::unique_lock lock(steps_mutex_);
    if (failed_ || next_ >= steps_.size() || steps_[next_].kind != ScriptStep::Kind::Act) break;
    const ScriptStep& step = steps_[next_];
    HostDialog* dialog = find_open_dialog(step.title);
    if (!dialog) break;
    ++next_;
    lock.unlock();
    if (!check_settings(dialog, step) || !apply_settings(dialog, step) || !act_on_tree(dialog, step)) break;
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
  bool read = false;
  {
    std::lock_guard steps_lock(steps_mutex_);
    if (!failed_ && next_ < steps_.size() && steps_[next_].kind == ScriptStep::Kind::Message) {
      const ScriptStep& step = steps_[next_++];
      if (step.title == text) {
        read = true;
      } else {
        fail(step, "expects the message box " +
                       json(step.title).dump(-1, ' ', false, json::error_handler_t::replace) +
                       ", but the box says " +
                       json(text).dump(-1, ' ', false, json::error_handler_t::replace));
      }
    }
  }
  nlohmann::json event{{"event", "message"}, {"text", text}};
  if (read) event["acknowledged"] = true;
  transcript::record(event);
  if (!read && options().headless) note_unread_message_box(text);
  return 1;  // acknowledged: OK, or Yes
}

}  // namespace zorhost::ui
