// The glue to the host's scripting-language library: found once by id and plug-in kind, its function
// table kept for the life of the module.
#pragma once
#include <cstdint>

#include "zor_api.h"

class Filename;

class ScriptLibraryGlue {
 public:
  // Compiles source into destination (empty: the library writes beside the source with the suffix
  // "tpb"). Non-zero on success; 0 when compiling failed or the library or its compile entry is
  // missing.
  int32_t Compile(const Filename& source, const Filename& destination);

 private:
  // The table after the first lookup that found one; later calls do not ask the host again.
  const HostScriptLibraryTable* table_ = nullptr;
};

// The module's one glue, used by the distribution action.
ScriptLibraryGlue& ModuleScriptLibrary();
