// What a user can do to an open dialog: the one vocabulary of every driver. A UI script step and a click
// in the browser page become the same action, are checked by the same rules and reach the module through
// the same model operations, so the transcript cannot tell which driver acted.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "gui/dialog_model.h"

namespace zorhost::ui {

struct UserAction {
  enum class Kind { Set, Click, Press, Close, TreeSelect, TreeDoubleClick };
  Kind kind = Kind::Click;
  int32_t id = 0;                        // Set, Click: the gadget
  GadgetValue value;                     // Set
  CloseReason button = CloseReason::Ok;  // Press: Ok or Cancel
  int32_t row = 0;                       // TreeSelect, TreeDoubleClick: counted from 0 as shown

  static UserAction set(int32_t id, GadgetValue value) { return {Kind::Set, id, std::move(value), {}, 0}; }
  static UserAction click(int32_t id) { return {Kind::Click, id, {}, {}, 0}; }
  static UserAction press(CloseReason button) { return {Kind::Press, 0, {}, button, 0}; }
  static UserAction close() { return {Kind::Close, 0, {}, {}, 0}; }
  static UserAction on_row(Kind kind, int32_t row) { return {kind, 0, {}, {}, row}; }
};

// Carries the action out; empty when done, else what made it impossible, said relative to the dialog
// ("has no gadget 7"), and the dialog is untouched. A dialog that is no longer open takes nothing and is
// no problem: the module may close it in answer to an earlier action.
std::string perform(HostDialog* dialog, const UserAction& action);

// The name the transcript and the UI script use for an action kind ("set", "treeSelect", ...).
const char* action_name(UserAction::Kind kind);

// A dialog as messages name it: dialog "TITLE", or the untitled dialog.
std::string dialog_name(const HostDialog& dialog);

}  // namespace zorhost::ui
