// The module frame behind zor_main: binding the host table, the module's own path, the release at the
// last end and the host messages the plug-in layer answers itself. The module supplies the rest.
#pragma once
#include <cstddef>
#include <cstdint>

#include "zor_filename.h"

// The module's own file name as the host handed it over at bind; empty when none is held.
Filename GetModulePath();

struct ModuleEntry {
  int32_t (*start)();                       // the start action's result: 1 success, 0 failure
  void (*releaseToolObjects)();             // module-wide tool objects, released first at the last end
  bool (*message)(int32_t id, void* data);  // host messages other than 0 and 1
};

// Every zor_main action; never throws.
int32_t ZorMain(const ModuleEntry& module, int32_t action, void* p1, void* p2, void* p3) noexcept;

// How the start action treats one tool's registration result.
enum class RegistrationRule {
  Required,   // false ends the start with 0; later tools are not registered
  Unchecked,  // the result is not looked at
  Decisive,   // the result is the start result
};
struct ToolRegistration {
  bool (*registerTool)();
  RegistrationRule rule;
};

// Registers the tools in the given order. With no Decisive entry the start answers 1.
int32_t RunToolRegistrations(const ToolRegistration* tools, size_t count);
