// A driver shows the dialog model to a user, or stands in for one. The scripted driver (ui_script.h)
// answers from a UI script; others may show the model elsewhere. The model calls the driver only on the
// main thread, except message_box and the status, which any thread may show.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "zor_api.h"

namespace zorhost::ui {

class Driver {
 public:
  virtual ~Driver() = default;
  // False when no one could answer a modal dialog (said and noted for the exit status); dialog_open
  // then fails.
  virtual bool can_open_modal() = 0;
  // The modal dialog was built and shown; returns only when it has closed.
  virtual void run_modal(HostDialog* dialog) = 0;
  // A non-modal dialog was built and shown.
  virtual void dialog_shown(HostDialog* dialog) = 0;
  // Pending events were delivered and nothing else is running: a chance to act on open dialogs.
  virtual void idle() = 0;
  // The chosen path, or nothing when the selection was cancelled.
  virtual std::optional<std::string> select_file(int32_t kind, const std::string& title) = 0;
  virtual int32_t message_box(const std::string& text, int32_t type) = 0;
  // The status bar: the progress of the work in percent, or a text (empty when it is cleared). The
  // defaults show both on stderr when it is a terminal (status_line.h), as the scripted driver does.
  virtual void show_progress(int32_t percent);
  virtual void show_status(const std::string& text);
  // A console line, after it was printed on stdout (any thread).
  virtual void console(const std::string& line) { (void)line; }
};

Driver& driver();
void set_driver(std::unique_ptr<Driver> driver);  // null: back to the default, which answers nothing

// The registered command executing now (main thread), so that a message can name the command whose
// untitled dialog it means; empty between commands.
void set_running_command(const std::string& name);
const std::string& running_command();

}  // namespace zorhost::ui
