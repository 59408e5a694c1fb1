// The status bar as text on a stream (stderr for the scripted driver), shown only on a terminal: one
// line redrawn in place. In a log or a pipe it writes nothing, because stderr is for diagnostics and
// the console (stdout) already carries the progress a module prints; a second copy of every progress
// line would only double the log. A headless run has no other place to show its last status: on a
// terminal, clearing the status then leaves the last text standing instead of erasing it.
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
  // Before a console line: the line drawn in place goes, so that the console line does not continue
  // it; the next status redraws it.
  void erase_for_console();

 private:
  std::mutex mutex_;
  std::FILE* out_;
  std::optional<bool> terminal_;
  std::string shown_;  // what the stream shows as the status now
};

// The status line on the process's stderr.
StatusLine& stderr_status_line();

}  // namespace zorhost::ui
