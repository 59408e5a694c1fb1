#include "gui/ui_driver.h"

#include <atomic>

#include "app/host_options.h"
#include "gui/status_line.h"
#include "gui/ui_script.h"

namespace zorhost::ui {
namespace {
// Without a session nothing answers: modal dialogs and selections are cancelled.
ScriptedDriver& default_driver() {
  static ScriptedDriver driver({}, false);
  return driver;
}
std::unique_ptr<Driver> g_installed;
std::atomic<Driver*> g_current{nullptr};
std::string g_running_command;
}  // namespace

void set_running_command(const std::string& name) {
  g_running_command = name;
}

const std::string& running_command() {
  return g_running_command;
}

void Driver::show_progress(int32_t percent) {
  stderr_status_line().show("[" + std::to_string(percent) + "%]", options().headless);
}

void Driver::show_status(const std::string& text) {
  stderr_status_line().show(text, options().headless);
}

Driver& driver() {
  Driver* current = g_current.load();
  return current ? *current : default_driver();
}

void set_driver(std::unique_ptr<Driver> next) {
  g_current.store(next.get());
  g_installed = std::move(next);
}

}  // namespace zorhost::ui
