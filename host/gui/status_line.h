// The status bar as text on a stream (stderr for the scripted driver). On a terminal it is one line
// redrawn in place. Anywhere else (a log file, a pipe) every change is a line of its own, so that a run
// that stops early still says where it was. A headless run has no other place to show its last status:
// on a terminal, clearing the status then leaves the last text standing instead of erasing it.
#pragma once
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

namespace zorhost::ui {

class StatusLine {
 public:
  // Without a terminal flag the stream is asked each time: a test may redirect stderr.
  explicit StatusLine(std::FILE* out, std::optional<bool> terminal = std::nullopt)
      : out_(out), terminal_(terminal) {}
  // An empty text clears the status. Any thread.
  void show(const std::string& text, bool headless);

 private:
  std::mutex mutex_;
  std::FILE* out_;
  std::optional<bool> terminal_;
  std::string shown_;  // what the stream shows as the status now
};

// The status line on the process's stderr.
StatusLine& stderr_status_line();

}  // namespace zorhost::ui
