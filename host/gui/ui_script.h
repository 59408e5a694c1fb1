// The UI script (--ui FILE): a JSON array of steps that answer, in order, the modal dialogs, the file and
// folder selections and the actions on non-modal dialogs of one zorhost run.
//
// A script that cannot be read or parsed is refused before any module starts. A step that turns out to
// be wrong only when its dialog is there (a value of the wrong type for its gadget, a combo box choice
// the box does not have, a tree row past the last one shown, a wait for a dialog that nothing but the
// user could close) stops the script:
// the dialog is cancelled without any of the step's values, every later dialog and selection is
// cancelled too, and the run ends with the usage status.
//
// A message box takes a "message" step when that is the next step: the step's text must be the box's
// text exactly, else the script stops as above. A box acknowledged so has been read; in a headless
// run any other box had no reader, and the run ends with the unread-message status (run_status.h).
#pragma once
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gui/dialog_model.h"
#include "gui/ui_driver.h"

namespace zorhost::ui {

struct GadgetSetting {
  int32_t id = 0;
  GadgetValue value;
};

struct ScriptStep {
  enum class Kind { Dialog, Folder, Act, Message };
  enum class Ending { None, Ok, Cancel, Wait, CancelAfterEvents, Close };
  Kind kind = Kind::Dialog;
  int32_t number = 0;  // counted from 1 as written
  std::vector<GadgetSetting> set;
  std::vector<int32_t> click;
  Ending ending = Ending::None;        // dialog
  int64_t cancel_after_events = 0;     // dialog
  std::optional<std::string> folder;   // folder: nothing cancels
  std::string title;                   // act; message: the text of the box
  std::optional<int32_t> tree_select;  // act
  std::optional<int32_t> tree_double_click;
  bool close = false;  // act: the window is closed after the rest of the step
};

// False with a message naming the file and the step when the text is not a valid script.
bool parse_ui_script(const std::string& text, const std::string& file_name, std::vector<ScriptStep>* steps,
                     std::string* error);
bool load_ui_script(const std::filesystem::path& file, std::vector<ScriptStep>* steps, std::string* error);

const char* step_kind_name(ScriptStep::Kind kind);

// Answers from the steps in order. have_script says whether a script was given at all: without one, a
// headless host cannot open a modal dialog.
class ScriptedDriver : public Driver {
 public:
  ScriptedDriver(std::vector<ScriptStep> steps, bool have_script, std::string file_name = {});
  bool can_open_modal() override;
  void run_modal(HostDialog* dialog) override;
  void dialog_shown(HostDialog* dialog) override;
  void idle() override;
  std::optional<std::string> select_file(int32_t kind, const std::string& title) override;
  int32_t message_box(const std::string& text, int32_t type) override;

  size_t unused_steps() const { return steps_.size() - next_; }
  const std::string& file_name() const { return file_name_; }
  // A step was wrong for what it met; the script is not used any more.
  bool failed() const { return failed_; }

 private:
  const ScriptStep* take(ScriptStep::Kind kind, const std::string& what);
  bool check_settings(HostDialog* dialog, const ScriptStep& step);
  bool apply_settings(HostDialog* dialog, const ScriptStep& step);
  bool act_on_tree(HostDialog* dialog, const ScriptStep& step);
  void cancel(HostDialog* dialog);
  void settle(HostDialog* dialog, bool pressed, const ScriptStep* waiting_step);
  void fail(const ScriptStep& step, const std::string& what);

  std::vector<ScriptStep> steps_;
  size_t next_ = 0;
  bool have_script_ = false;
  std::string file_name_;
  bool in_idle_ = false;
  std::atomic<bool> failed_ = false;
  // next_ moves on the main thread for dialogs, on any thread for message boxes
  std::mutex steps_mutex_;
};

// A JSON integer that fits in 32 bits (a gadget id, a row number), as a script or the page gives it.
bool to_int32(const nlohmann::json& value, int32_t* out);

// A value as a script or the page gives it: true/false, a 32-bit integer, a number or a text. The gadget
// it is for decides later whether it fits (value_problem). False for anything else.
bool to_gadget_value(const nlohmann::json& value, GadgetValue* out);

// Why a user could not give this value to this gadget; empty when it fits.
std::string value_problem(const HostGadget& gadget, const GadgetValue& value);

}  // namespace zorhost::ui
