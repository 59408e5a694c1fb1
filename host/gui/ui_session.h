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

}  // namespace zorhost
