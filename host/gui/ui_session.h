// The user-interface session of one zorhost run: the UI script that answers dialogs and the
// transcript that records what a user would have seen.
#pragma once
#include <string>

namespace zorhost {

struct HostOptions;

// Reads the UI script and opens the transcript named in the options. False with a message naming
// the file and the problem when either cannot be used.
bool start_ui_session(const HostOptions& options, std::string* error);
void end_ui_session();
// A step of the UI script was wrong for the dialog it met: the run should stop and end with status 2.
bool ui_script_failed();

}  // namespace zorhost
