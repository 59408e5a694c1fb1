// The plug-ins that modules registered, and the host's use of them after start-up.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "zor_api.h"

namespace zorhost {

struct RegisteredCommand {
  int32_t id = 0;
  std::string name;
};

// In registration order.
std::vector<RegisteredCommand> registered_commands();

// Keeps a copy of a command registration record. Refuses, with a warning on the console, a record of
// the wrong size or type, one without an object and an id that is already taken.
bool register_command(int32_t api_version, int32_t type, int32_t id, const std::string& name,
                      const void* record, int32_t record_size);

// Executes each command given by name or decimal id, in order. On an unknown command it writes one
// line naming it to stderr and answers false without executing the rest.
bool execute_commands(const std::vector<std::string>& commands);

// Brings back the non-modal dialogs that were open when an earlier run ended: each command with a stored
// open layout gets it through its restore operation.
void restore_dialogs();

// Destroys every registered command object through its record's destructor callback, newest first,
// after the dialogs still open were closed.
void destroy_plugins();

}  // namespace zorhost
