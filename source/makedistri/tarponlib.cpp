#include "tarponlib.h"

#include "zor_filename.h"
#include "zor_script.h"

int32_t ScriptLibraryGlue::Compile(const Filename& source, const Filename& destination) {
  if (table_ == nullptr) table_ = FindScriptLibraryTable(ZOR_SCRIPT_LIBRARY_ID, ZOR_SCRIPT_LIBRARY_KIND);
  return CallScriptCompile(table_, source, destination);
}

ScriptLibraryGlue& ModuleScriptLibrary() {
  static ScriptLibraryGlue glue;
  return glue;
}
