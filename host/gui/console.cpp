#include "gui/console.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "gui/status_line.h"
#include "gui/transcript.h"
#include "gui/ui_driver.h"

namespace zorhost {
void console_line(std::string_view utf8) {
  // Workers print too: one lock keeps each line whole and the transcript in the printed order.
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  ui::stderr_status_line().erase_for_console();
  std::string line(utf8);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  transcript::record({{"event", "console"}, {"text", std::string(utf8)}});
  ui::driver().console(std::string(utf8));
}
}  // namespace zorhost
