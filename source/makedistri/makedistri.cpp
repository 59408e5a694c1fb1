#include "makedistri.h"

#include <algorithm>
#include <new>

#include "filename_url.h"
#include "ge_mtools.h"
#include "nexal/textparser.h"
#include "symbol_header_file.h"
#include "symbol_store.h"
#include "symbol_table.h"
#include "tarponlib.h"
#include "zor_array.h"
#include "zor_file.h"
#include "zor_folder_set.h"
#include "zor_general.h"
#include "zor_memory.h"
#include "zor_misc/memory/debugglobals.h"
#include "zor_script.h"

namespace {

constexpr uint32_t kWarningWithLocation = nexal::OUTPUT_WARNING | nexal::OUTPUT_WITHLOCATION;

bool SkippedFolder(const String& name) {
  return name == String("zor_scaling") || name == String("zor_preview") || name == String("description");
}

bool SkippedHeader(const String& name) {
  return name == String("xzr_colors.h") || name == String("zor_gl.h") ||
         name.SubStr(0, 6) == String("ge_mac");
}

void Collect(HeaderList& list, const Filename& folder, FolderSet& visited) {
  FolderIdentity identity;
  if (GetFolderIdentity(folder, identity) && visited.Insert(identity) != FolderVisit::kNew) return;
  BrowseFiles browse;
  if (!browse.Init(folder, 0)) return;
  while (browse.GetNext()) {
    const Filename name = browse.GetFilename();
    const Filename path = folder + name;
    const String bare = name.GetFile().GetString();
    if (browse.IsFolder()) {
      if (!SkippedFolder(bare)) Collect(list, path, visited);
    } else if (path.CheckSuffix("H") && !SkippedHeader(bare)) {
      list.Append(path);
    }
  }
}

void ReportFullHeaderList(const HeaderList& list) {
  if (list.GetFound() <= MAX_FNLIST_ENTRIES) return;
  DebugOutputLine(kWarningWithLocation, "ParseSymbols: fncount > MAX_FNLIST_ENTRIES", __LINE__, __FILE__);
  ZOR_STOP();
}

void ReportFullSymbolTable(SymbolStore& store) {
  if (!store.TakeOverflow()) return;
  DebugOutputLine(kWarningWithLocation, "ParseSymbols: identcnt > MAX_IDENTIFIER_ENTRIES", __LINE__,
                  __FILE__);
  ZOR_STOP();
}

// On the plug-in layer's diagnostics path, with the run's other diagnostics.
void ReportError(const nexal::Error& error) {
  DebugOutputLine(kWarningWithLocation, error.Message(), __LINE__, __FILE__);
}

}  // namespace

// --- HeaderList ---

bool HeaderList::Allocate() {
  Release();
  return paths_.Reserve(MAX_FNLIST_ENTRIES);
}

void HeaderList::Release() {
  paths_.Release();
  found_ = 0;
}

void HeaderList::Append(const Filename& path) {
  ++found_;
  if (paths_.Count() < paths_.Capacity()) paths_.Push(path);
}

namespace {

struct HeaderKey {
  int32_t rank;
  String name;
};

// Orders positions of the list by their headers' keys. Equal keys keep the order of collection, so that
// of two headers with one name the one collected first (inside the start-up folder) is read first and
// its symbols win.
class HeaderOrder : public GeSortAndSearchEx {
 public:
  explicit HeaderOrder(const HeaderKey* keys) : keys_(keys) {}
  int32_t Compare(const void* a, const void* b) override {
    const int32_t i = *static_cast<const int32_t*>(a);
    const int32_t j = *static_cast<const int32_t*>(b);
    if (keys_[i].rank != keys_[j].rank) return keys_[i].rank < keys_[j].rank ? -1 : 1;
    if (keys_[i].rank == 0) {
      const int32_t byName = keys_[i].name.Compare(keys_[j].name);
      if (byName != 0) return byName;
    }
    return i < j ? -1 : (i > j ? 1 : 0);
  }

 private:
  const HeaderKey* keys_;
};

}  // namespace

void HeaderList::Sort() {
  const int32_t count = GetCount();
  if (count < 2) return;
  HostArray<HeaderKey> keys;
  HostArray<int32_t> order;
  HostArray<Filename> sorted;
  // Without memory the headers stay in the order they were found; the symbols are the same, only
  // their order in the file and which of two equal names wins may differ.
  if (!keys.Reserve(count) || !order.Reserve(count) || !sorted.Reserve(count)) return;
  const String winMath("ge_win_math.h");
  const String description("lib_description.h");
  for (int32_t i = 0; i < count; ++i) {
    String name = paths_[i].GetFile().GetString();
    const int32_t rank = name == winMath ? -2 : name == description ? -1 : 0;
    keys.Push(HeaderKey{rank, std::move(name)});
    order.Push(i);
  }
  HeaderOrder(&keys[0]).Sort(&order[0], count, int32_t(sizeof(int32_t)));
  for (int32_t i = 0; i < count; ++i) sorted.Push(std::move(paths_[order[i]]));
  for (int32_t i = 0; i < count; ++i) paths_[i] = std::move(sorted[i]);
}

// --- the scan ---

void CollectHeaderFiles(HeaderList& list, const Filename& folder) {
  FolderSet visited;
  Collect(list, folder, visited);
}

void ScanHeaderFile(SymbolStore& store, const Filename& header, ScanPass pass) {
  nexal::TextParser parser;
  if (nexal::Error error = parser.Open(UrlFromFilename(header))) {
    ReportError(error);
    return;
  }
  ExpressionEvaluator evaluator;
  store.SetEvaluator(&evaluator);
  HeaderRecognizer recognizer(store, pass);
  nexal::TextToken token;
  nexal::Error error = parser.Next(token);
  while (!error && token.kind != NEXAL_TOKEN_END) {
    if (recognizer.Process(token)) error = parser.SkipLine();
    if (!error) error = parser.Next(token);
  }
  if (error) ReportError(error);
  store.SetEvaluator(nullptr);
}

bool ParseSymbols(const Filename& startupFolder) {
  const Filename resource = startupFolder + Filename("resource");
  SymbolHeaderFile output;
  if (!output.Open(resource + Filename("tarponsymbols.h"))) return false;
  output.WriteOpening();

  HeaderList headers;
  SymbolTable table;
  if (!headers.Allocate() || !table.Create()) {
    DebugOutputLine(kWarningWithLocation, "ParseSymbols: no memory for the header list or the symbol table",
                    __LINE__, __FILE__);
    output.Close();
    return false;
  }
  const Filename sdk = Filename("frameworks") + Filename("orvane.framework");
  CollectHeaderFiles(headers, startupFolder + sdk);
  ReportFullHeaderList(headers);
  CollectHeaderFiles(headers, startupFolder + Filename("..") + sdk);
  ReportFullHeaderList(headers);
  headers.Sort();

  SymbolStore store(table, output);
  auto scan = [&](int32_t index, ScanPass pass) {
    ScanHeaderFile(store, headers[index], pass);
    ReportFullSymbolTable(store);
  };
  // The two leading headers give their enumerators before their defines; every other header gives
  // all its defines before any enumerator of any of them.
  const int32_t count = headers.GetCount();
  for (const ScanPass pass : {ScanPass::Enums, ScanPass::Defines})
    for (int32_t i = 0; i < std::min(count, 2); ++i) scan(i, pass);
  for (const ScanPass pass : {ScanPass::Defines, ScanPass::Enums})
    for (int32_t i = 2; i < count; ++i) scan(i, pass);

  GePrint(String::FromInt(store.DefineCount()) + String(" defines in files"));
  output.WriteClosing();
  return output.Close();
}

bool ParseSymbols() {
  return ParseSymbols(StartupFolder());
}

void RunDistributionAction(ScriptLibraryGlue& library, const Filename& startupFolder) {
  const Filename resource = startupFolder + Filename("resource");
  // An old compiled script must not outlive a failed compilation.
  DeleteFile(resource + Filename("gui.tpb"), 0);
  if (library.Compile(resource + Filename("gui.tpn"), Filename()) == 0) {
    GePrint(String("Error: Compiling gui.tpb"));
    return;
  }
  GePrint(String("Created gui.tpb"));
  GePrint(
      String(ParseSymbols(startupFolder) ? "Created tarponsymbols.h" : "Error: Creating tarponsymbols.h"));
}

void RunDistributionAction() {
  RunDistributionAction(ModuleScriptLibrary(), StartupFolder());
}
