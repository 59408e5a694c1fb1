#include "gui/user_actions.h"

#include "gui/ui_script.h"

namespace zorhost::ui {

std::string dialog_name(const HostDialog& dialog) {
  return dialog.title.empty() ? std::string("the untitled dialog") : "dialog \"" + dialog.title + "\"";
}

const char* action_name(UserAction::Kind kind) {
  switch (kind) {
    case UserAction::Kind::Set:
      return "set";
    case UserAction::Kind::Click:
      return "click";
    case UserAction::Kind::Press:
      return "press";
    case UserAction::Kind::Close:
      return "close";
    case UserAction::Kind::TreeSelect:
      return "treeSelect";
    case UserAction::Kind::TreeDoubleClick:
      return "treeDoubleClick";
  }
  return "click";
}

std::string perform(HostDialog* dialog, const UserAction& action) {
  if (!is_live(dialog) || !dialog->open) return {};
  switch (action.kind) {
    case UserAction::Kind::Set:
    case UserAction::Kind::Click: {
      const HostGadget* gadget = find_gadget(dialog, action.id);
      if (!gadget) return "has no gadget " + std::to_string(action.id);
      if (action.kind == UserAction::Kind::Click) {
        user_click(dialog, action.id);
        return {};
      }
      if (std::string problem = value_problem(*gadget, action.value); !problem.empty()) return problem;
      user_set(dialog, action.id, action.value);
      return {};
    }
    case UserAction::Kind::Press:
      user_press(dialog, action.button == CloseReason::Ok ? CloseReason::Ok : CloseReason::Cancel);
      return {};
    case UserAction::Kind::Close:
      user_close_window(dialog);  // the module may keep it open; that is its answer, not a fault
      return {};
    case UserAction::Kind::TreeSelect:
    case UserAction::Kind::TreeDoubleClick: {
      HostGadget* tree = find_tree_view(dialog);
      if (!tree) return "has no tree view";
      std::string problem;
      const bool done = action.kind == UserAction::Kind::TreeSelect
                            ? tree_select(tree, action.row, &problem)
                            : tree_double_click(tree, action.row, &problem);
      return done ? std::string() : problem;
    }
  }
  return {};
}

}  // namespace zorhost::ui
