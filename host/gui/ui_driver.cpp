#include "gui/ui_driver.h"

#include <atomic>

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
}  // namespace

Driver& driver() {
  Driver* current = g_current.load();
  return current ? *current : default_driver();
}

void set_driver(std::unique_ptr<Driver> next) {
  g_current.store(next.get());
  g_installed = std::move(next);
}

}  // namespace zorhost::ui
