// The plug-ins that modules registered, and the host's use of them after start-up.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zorhost {

struct RegisteredCommand {
  int32_t id = 0;
  std::string name;
};

std::vector<RegisteredCommand> registered_commands();

// Executes each command given by name or decimal id, in order. On an unknown command it writes one
// line naming it to stderr and answers false without executing the rest.
bool execute_commands(const std::vector<std::string>& commands);

// Destroys every registered command object through its record's destructor callback.
void destroy_plugins();

}  // namespace zorhost
