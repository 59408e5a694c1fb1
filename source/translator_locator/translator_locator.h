// "#$63Translator Locator...": lists every string literal of the source and header files below a chosen
// folder that looks like text a user reads, with its source line, in "strings.txt" on drive C:.
#pragma once
#include <cstdint>

#include "zor_command.h"
#include "zor_file.h"

inline constexpr int32_t kTranslatorLocatorId = 12432341;

class TranslatorLocator : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

// Registers the command; answers the host's answer.
bool RegisterTranslatorLocator();

namespace translator_locator {

// Scans the folder and every folder below it (each reached once, links included) and writes the
// listing of every "cpp" and "h" file into the open output file.
void ScanFolder(const Filename& folder, BaseFile& output);

// Lists one source file into the open output file; a file that cannot be opened, is empty or cannot
// be held in memory is passed over.
void ProcessFile(const Filename& file, BaseFile& output);

}  // namespace translator_locator
