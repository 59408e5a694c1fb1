// What a run's exit status has to tell beyond its steps: a host service that batch work depended on
// failed, or a message box was shown where nobody could read it. Services note these as they happen
// (on any thread); the end of the run turns the first of each into the exit status and one last
// stderr line that names the cause.
#pragma once
#include <optional>
#include <string>

namespace zorhost {

enum ExitStatus {
  kExitOk = 0,
  kExitUsage = 2,
  kExitModule = 3,
  kExitLeaks = 4,
  kExitUnreadMessage = 5,  // a headless run showed a message box or a dialog that no UI script step answered
  kExitServiceFailed = 6,  // a write, a file commit, an image save, a script compile or the transcript failed
};

// The first cause of each kind is kept; later ones are already on stderr where they happened.
void note_service_failure(const std::string& cause);
void note_unread_message_box(const std::string& text);
// A headless run without a UI script opened a modal dialog: nobody could answer it, so it was
// cancelled, which tells as much as an unread message box (the same status).
void note_unanswered_dialog(const std::string& name);
// A folder listing left out this entry (its name holds a control byte). Counted once per path; a
// run that left names out ends with the failed-service status, unless another cause came first.
bool note_left_out_name(const std::string& path);  // true the first time for this path
std::optional<std::string> service_failure();
std::optional<std::string> unread_message_box();  // the cause of either kind, for the last line
void clear_run_notes();                           // for tests that run several hosts in one process

// The run's exit status from what its steps answered and what was noted: a step's own failure (usage,
// module) first, then a failed service, then an unread message box, then leaks. For 5 and 6 it writes
// the last stderr line, "zorhost: exit N: CAUSE".
int final_exit_status(int step_status, bool leaks);

}  // namespace zorhost
