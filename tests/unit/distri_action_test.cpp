// The distribution action around the symbol scan: the old compiled script goes first, a missing or
// failing script library stops the action before the symbol header, and the library's table is looked
// up once and used only as far as its declared size reaches.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "core/core_framework.h"
#include "makedistri/makedistri.h"
#include "makedistri/tarponlib.h"
#include "nexal/object.h"
#include "unit/scratch_folder.h"
#include "unit/with_host.h"
#include "zor_filename.h"

namespace {

namespace fs = std::filesystem;
using test_support::ScratchFolder;
using test_support::WithHost;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// A script library of the test's own, behind zorhost's other services.
struct FakeLibrary {
  bool present = true;
  int32_t compileAnswer = 1;
  int lookups = 0;
  std::vector<std::pair<std::string, std::string>> compiles;  // source, destination
  HostScriptLibraryTable table{0, sizeof(HostScriptLibraryTable), nullptr};
};
FakeLibrary* g_library = nullptr;

std::string PathText(const HostFilename* name) {
  Filename copy = Filename::CopyOf(name);
  return copy.GetString().ToUtf8();
}

HostScriptLibrary* FakeFind(int32_t id, int32_t kind) {
  ++g_library->lookups;
  const bool ours = id == ZOR_SCRIPT_LIBRARY_ID && kind == ZOR_SCRIPT_LIBRARY_KIND && g_library->present;
  return ours ? reinterpret_cast<HostScriptLibrary*>(g_library) : nullptr;
}

const HostScriptLibraryTable* FakeTable(const HostScriptLibrary* library) {
  return library == reinterpret_cast<HostScriptLibrary*>(g_library) ? &g_library->table : nullptr;
}

int32_t FakeCompile(const HostFilename* source, const HostFilename* destination) {
  g_library->compiles.emplace_back(PathText(source), PathText(destination));
  if (g_library->compileAnswer != 0) {
    fs::path compiled(PathText(source));
    std::ofstream(compiled.replace_extension("tpb")) << "compiled";
  }
  return g_library->compileAnswer;
}

class DistributionAction : public ::testing::Test {
 protected:
  void SetUp() override {
    _host = zorhost::make_host_table(ZOR_HOST_API_VERSION);
    _scripts = *_host.scripts;
    _scripts.library_find = FakeFind;
    _scripts.library_table = FakeTable;
    _host.scripts = &_scripts;
    _library.table.compile = FakeCompile;
    g_library = &_library;
    _previousParser = nexal::Reference(nexal::Ref::TextParser).resolved;
    ASSERT_TRUE(zorhost::resolve_core_reference(&nexal::Reference(nexal::Ref::TextParser)));
    fs::create_directories(Resource());
    std::ofstream(Resource() / "gui.tpn") << "main() { }\n";
  }
  void TearDown() override {
    nexal::Reference(nexal::Ref::TextParser).resolved = _previousParser;
    g_library = nullptr;
  }

  fs::path Startup() const { return _scratch.path() / "startup"; }
  fs::path Resource() const { return Startup() / "resource"; }

  std::vector<std::string> Run(ScriptLibraryGlue& glue) {
    WithHost host(&_host);
    CaptureStdout();
    RunDistributionAction(glue, Filename(Startup().string().c_str()));
    std::vector<std::string> lines;
    std::stringstream printed(GetCapturedStdout());
    for (std::string line; std::getline(printed, line);) lines.push_back(line);
    return lines;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  HostFunctionTable _host{};
  HostScriptTable _scripts{};
  FakeLibrary _library;
  ScratchFolder _scratch;
  const void* _previousParser = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(DistributionAction, CompilesBesideTheSourceThenWritesTheSymbolHeader) {
  std::ofstream(Resource() / "gui.tpb") << "old";
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Created gui.tpb", "0 defines in files", "Created tarponsymbols.h"}));
  ASSERT_EQ(_library.compiles.size(), 1u);
  EXPECT_EQ(_library.compiles[0].first, (Resource() / "gui.tpn").string());
  EXPECT_EQ(_library.compiles[0].second, "") << "an empty destination lets the library choose";
  EXPECT_EQ(Read(Resource() / "gui.tpb"), "compiled");
  EXPECT_EQ(Read(Resource() / "tarponsymbols.h"), "enum {\nTARPON_HEADERFILE_END_\n}\n");
}

TEST_F(DistributionAction, WithoutTheLibraryTheOldScriptIsGoneAndTheHeaderUntouched) {
  _library.present = false;
  std::ofstream(Resource() / "gui.tpb") << "old";
  std::ofstream(Resource() / "tarponsymbols.h") << "kept";
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Error: Compiling gui.tpb"}));
  EXPECT_FALSE(fs::exists(Resource() / "gui.tpb"));
  EXPECT_EQ(Read(Resource() / "tarponsymbols.h"), "kept");
  // not found is not cached: a later run asks again
  EXPECT_EQ(Run(glue), (Lines{"Error: Compiling gui.tpb"}));
  EXPECT_EQ(_library.lookups, 2);
}

TEST_F(DistributionAction, AFailedCompilationStopsTheAction) {
  _library.compileAnswer = 0;
  std::ofstream(Resource() / "tarponsymbols.h") << "kept";
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Error: Compiling gui.tpb"}));
  EXPECT_EQ(Read(Resource() / "tarponsymbols.h"), "kept");
}

TEST_F(DistributionAction, TheLibraryTableIsFoundOnceAndUsedOnlyAsFarAsItsSize) {
  ScriptLibraryGlue glue;
  Run(glue);
  Run(glue);
  EXPECT_EQ(_library.lookups, 1);
  EXPECT_EQ(_library.compiles.size(), 2u);

  // a table that declares less than its header, or only its header, has no compile entry
  for (const int32_t size : {0, 4, 8, 15}) {
    _library.table.size = size;
    _library.compiles.clear();
    ScriptLibraryGlue fresh;
    EXPECT_EQ(Run(fresh), (Lines{"Error: Compiling gui.tpb"})) << size;
    EXPECT_TRUE(_library.compiles.empty()) << size;
  }
  _library.table.size = 16;
  _library.table.compile = nullptr;
  ScriptLibraryGlue empty;
  EXPECT_EQ(Run(empty), (Lines{"Error: Compiling gui.tpb"}));
}

TEST_F(DistributionAction, ASymbolHeaderThatCannotBeWrittenIsReported) {
  // a folder under the header's name: it is not deleted, and the header cannot be opened
  fs::create_directories(Resource() / "tarponsymbols.h" / "inside");
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Created gui.tpb", "Error: Creating tarponsymbols.h"}));
  EXPECT_TRUE(fs::exists(Resource() / "tarponsymbols.h" / "inside"));
}

}  // namespace
