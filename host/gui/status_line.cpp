#include "gui/status_line.h"

#include <unistd.h>

namespace zorhost::ui {

void StatusLine::show(const std::string& text, bool headless) {
  std::lock_guard lock(mutex_);
  if (terminal_.value_or(isatty(fileno(out_)) != 0)) {
    if (text.empty() && headless && !shown_.empty()) {
      std::fputc('\n', out_);
    } else {
      std::fprintf(out_, "\r\033[K%s", text.c_str());
    }
  }
  std::fflush(out_);
  shown_ = text;
}

void StatusLine::erase_for_console() {
  std::lock_guard lock(mutex_);
  if (shown_.empty() || !terminal_.value_or(isatty(fileno(out_)) != 0)) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_.clear();
}

StatusLine& stderr_status_line() {
  static StatusLine line(stderr);
  return line;
}

}  // namespace zorhost::ui
