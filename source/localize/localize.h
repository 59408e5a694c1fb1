// "Export Script Strings" and "Import Script Strings": the scripts' names and help texts out to one
// script string file per language for translators, and back into the scripts.
#pragma once
#include <cstdint>
#include <vector>

#include "zor_command.h"
#include "zor_filename.h"

inline constexpr int32_t kImportScriptStringsId = 1001192;
inline constexpr int32_t kExportScriptStringsId = 1001193;

class ExportCmd : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

class ImportCmd : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

// Registers the import, then the export command; answers true (the host's answers are not looked at).
bool RegisterScriptStringCommands();

namespace localize {

constexpr size_t kMaxLanguages = 100;

// The language codes any script of either collection carries texts for, in order of first
// appearance, at most kMaxLanguages of them.
std::vector<int32_t> CollectLanguages();

// The export into a chosen folder: one file per language; answers true also after a write error,
// which has been shown.
bool ExportScriptStrings(const Filename& folder);

// The import from a chosen folder: true when the run reached its summary, false when it stopped on an
// error (shown); nothing is saved then.
bool ImportScriptStrings(const Filename& folder);

}  // namespace localize
