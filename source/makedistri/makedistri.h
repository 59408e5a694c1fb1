// The distribution builder: compiles the GUI script "gui.tpn" into "gui.tpb" with the host's
// scripting-language library, then scans the SDK headers for `#define` constants and enumerators and
// writes them into the script symbol header "tarponsymbols.h". Both files live in the folder
// "resource" of the host application's start-up folder.
#pragma once
#include <cstdint>

#include "header_recognizer.h"
#include "zor_array.h"
#include "zor_filename.h"

class SymbolStore;
class ScriptLibraryGlue;

inline constexpr int32_t MAX_FNLIST_ENTRIES = 1000;

// The header files of one run: a fixed block of MAX_FNLIST_ENTRIES full paths.
class HeaderList {
 public:
  HeaderList() = default;
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { Release(); }

  bool Allocate();  // false when the host has no memory for the block
  void Release();
  // Takes the path while there is room; counts it as found either way.
  void Append(const Filename& path);
  int32_t GetCount() const { return static_cast<int32_t>(paths_.Count()); }  // fncount
  int32_t GetFound() const { return found_; }  // headers met, also those beyond the block
  const Filename& operator[](int32_t index) const { return paths_[index]; }

  // "ge_win_math.h" first, "lib_description.h" second, then every other header by the host's string
  // comparison of the bare file names, whatever their folders; equal names keep the order in which
  // they were collected.
  void Sort();

 private:
  HostArray<Filename> paths_;  // the fixed block, reserved whole
  int32_t found_ = 0;
};

// Appends the headers below folder, depth first, skipping the folders "zor_scaling", "zor_preview" and
// "description" and the headers "xzr_colors.h", "zor_gl.h" and "ge_mac*". A folder reached a second
// time (through a link) is not entered again.
void CollectHeaderFiles(HeaderList& list, const Filename& folder);

// One scan of one header in one pass; a header that cannot be read is reported on the diagnostics
// output and skipped (or its rest, after a read error).
void ScanHeaderFile(SymbolStore& store, const Filename& header, ScanPass pass);

// Writes "<startup>/resource/tarponsymbols.h" from the headers below "<startup>/frameworks/
// orvane.framework" and "<startup>/../frameworks/orvane.framework". False when the file cannot be
// opened (also after a forced deletion) or could not be written completely.
bool ParseSymbols(const Filename& startupFolder);
bool ParseSymbols();  // with the host's start-up folder

// The distribution action of "-createdistribution"; it reports only on the host console.
void RunDistributionAction(ScriptLibraryGlue& library, const Filename& startupFolder);
void RunDistributionAction();
