#include "makedistri.h"

#include <algorithm>
#include <new>

#include "filename_url.h"
#include "host_array.h"
#include "nexal/textparser.h"
#include "symbol_header_file.h"
#include "symbol_store.h"
#include "symbol_table.h"
#include "tarponlib.h"
#include "zor_file.h"
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

void Collect(HeaderList& list, const Filename& folder, HostArray<FolderIdentity>& visited) {
  FolderIdentity identity;
  if (GetFolderIdentity(folder, identity)) {
    for (int64_t i = 0; i < visited.Count(); ++i)
      if (visited[i] == identity) return;
    visited.Push(identity);
  }
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
  _paths = static_cast<Filename*>(ZOR_ALLOC(int64_t(sizeof(Filename)) * MAX_FNLIST_ENTRIES));
  return _paths != nullptr;
}

void HeaderList::Release() {
  for (int32_t i = 0; i < _count; ++i) _paths[i].~Filename();
  Free(_paths);
  _count = 0;
  _found = 0;
}

void HeaderList::Append(const Filename& path) {
  ++_found;
  if (_paths == nullptr || _count >= MAX_FNLIST_ENTRIES) return;
  new (&_paths[_count]) Filename(path);
  ++_count;
}

void HeaderList::Sort() {
  struct Key {
    int32_t rank;
    String name;
  };
  if (_count < 2) return;
  Key* keys = static_cast<Key*>(ZOR_ALLOC(int64_t(sizeof(Key)) * _count));
  int32_t* order = static_cast<int32_t*>(ZOR_ALLOC(int64_t(sizeof(int32_t)) * _count));
  Filename* sorted = static_cast<Filename*>(ZOR_ALLOC(int64_t(sizeof(Filename)) * _count));
  if (keys == nullptr || order == nullptr || sorted == nullptr) {
    // Without memory the headers stay in the order they were found; the symbols are the same, only
    // their order in the file and which of two equal names wins may differ.
    Free(keys);
    Free(order);
    Free(sorted);
    return;
  }
  const String winMath("ge_win_math.h");
  const String description("lib_description.h");
  for (int32_t i = 0; i < _count; ++i) {
    String name = _paths[i].GetFile().GetString();
    const int32_t rank = name == winMath ? -2 : name == description ? -1 : 0;
    new (&keys[i]) Key{rank, std::move(name)};
    order[i] = i;
  }
  // Stable, so that of two headers with one name the one collected first (inside the start-up
  // folder) is read first and its symbols win.
  std::stable_sort(order, order + _count, [&](int32_t a, int32_t b) {
    if (keys[a].rank != keys[b].rank) return keys[a].rank < keys[b].rank;
    return keys[a].rank == 0 && keys[a].name.Compare(keys[b].name) < 0;
  });
  for (int32_t i = 0; i < _count; ++i) new (&sorted[i]) Filename(std::move(_paths[order[i]]));
  for (int32_t i = 0; i < _count; ++i) {
    _paths[i] = std::move(sorted[i]);
    sorted[i].~Filename();
    keys[i].~Key();
  }
  Free(keys);
  Free(order);
  Free(sorted);
}

// --- the scan ---

void CollectHeaderFiles(HeaderList& list, const Filename& folder) {
  HostArray<FolderIdentity> visited;
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
