// The host side of the core framework: the interfaces zorhost implements, the resolution of the
// references in a module's record chain, and the configuration variables modules hand over.
#pragma once
#include <string>
#include <vector>

#include "nexal_records.h"

namespace zorhost {

// Resolves every reference of every record in the chain that the host implements, and writes each
// record's initializer. Answers the ids left unresolved (the module reports them when it calls one).
std::vector<std::string> resolve_core_references(NexalModuleRecord* head);

// Resolves one reference; false when the host does not implement it.
bool resolve_core_reference(NexalReference* reference);

const NexalSystemInterface* system_interface();

// Names of --set variables that no module has registered so far.
std::vector<std::string> unregistered_settings();
// Forgets which variables were registered (a new host run in the same process).
void reset_configuration();

// Writes a line the system interface holds back because it had no line end yet.
void flush_core_output();

}  // namespace zorhost
