// Placeholder until the registry is implemented.
#include "plugins/plugin_registry.h"

namespace zorhost {
std::vector<RegisteredCommand> registered_commands() { return {}; }
bool execute_commands(const std::vector<std::string>& commands) { return commands.empty(); }
void destroy_plugins() {}
}  // namespace zorhost
