// The distribution builder in-process on zorhost's services: symbol table, symbol header, the action.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "core/core_framework.h"
#include "host_test_support.h"
#include "makedistri/makedistri.h"
#include "makedistri/symbol_table.h"
#include "makedistri/tarponlib.h"
#include "nexal/object.h"
#include "unit/io_test_support.h"
#include "unit/scratch_folder.h"
#include "unit/with_host.h"
#include "zor_filename.h"

namespace {

namespace fs = std::filesystem;
using test_support::RealHostTable;
using test_support::ScratchFolder;
using test_support::WithHost;
using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SymbolTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(table_.Create()); }
  // The text after substitution; replaced says whether anything was.
  std::string Substituted(std::string text, bool* replaced = nullptr) {
    const bool any = table_.Substitute(text);
    if (replaced) *replaced = any;
    return text;
  }
  void Add(std::initializer_list<std::pair<const char*, int32_t>> entries) {
    for (const auto& [name, value] : entries) ASSERT_TRUE(table_.Add(name, value)) << name;
  }

  WithHost host_{RealHostTable()};
  SymbolTable table_;
};

TEST_F(SymbolTableTest, StartsWithTwoSeedsAndSubstitutesTheLongestNameFirstAtItsFirstOccurrence) {
  EXPECT_EQ(table_.Find("sizeof(Int1"), -1);
  EXPECT_EQ(table_.Find("sizeof(Int16)x"), -1);
  EXPECT_EQ(Substituted("sizeof(Int16)*sizeof(PIX_F)"), "2*4");
  // a second Create starts over
  Add({{"A", 1}});
  ASSERT_TRUE(table_.Create());
  EXPECT_EQ(table_.Count(), 2);
  EXPECT_EQ(table_.Find("A"), -1);

  // the longest name first, at its first occurrence
  Add({{"AB", 1}, {"ABC", 2}, {"NEG", -7}, {"XY", 30}, {"YZ", 40}});
  EXPECT_EQ(table_.Find("AB"), 2);
  EXPECT_EQ(table_.Find("ABC"), 3);
  const std::pair<const char*, const char*> kTexts[] = {
      {"ABC+AB", "2+1"},
      {"AB+ABC", "1+2"},
      // only the first occurrence per round, every occurrence in the end
      {"AB|AB|AB", "1|1|1"},
      // a plain substring: AB inside a longer word is replaced too
      {"xABy", "x1y"},
      {"0-NEG", "0--7"},
      // XY and YZ overlap in XYZ and are equally long: the earlier entry wins, and Z is left
      {"XYZ", "30Z"}};
  for (const auto& [text, expected] : kTexts) EXPECT_EQ(Substituted(text), expected) << text;
  for (const char* untouched : {"1+Q", ""}) {
    bool replaced = true;
    EXPECT_EQ(Substituted(untouched, &replaced), untouched);
    EXPECT_FALSE(replaced) << untouched;
  }
  // K followed by ONE: ONE gives K1, which is a name in the next round
  Add({{"K1", 11}, {"ONE", 1}});
  EXPECT_EQ(Substituted("KONE"), "11");
}

// A start-up folder with its resource folder, and the tokenizer resolved for the module's reference as
// the host resolves it at load.
class DistributionFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    previousParser_ = nexal::Reference(nexal::Ref::TextParser).resolved;
    ASSERT_TRUE(zorhost::resolve_core_reference(&nexal::Reference(nexal::Ref::TextParser)));
    fs::create_directories(Resource());
  }
  void TearDown() override { nexal::Reference(nexal::Ref::TextParser).resolved = previousParser_; }

  fs::path Startup() const { return scratch_.path() / "startup"; }
  fs::path Resource() const { return Startup() / "resource"; }
  fs::path Output() const { return Resource() / "tarponsymbols.h"; }
  void Write(const fs::path& file, const std::string& text) const {
    scratch_.write(fs::relative(file, scratch_.path()), text);
  }

  ScratchFolder scratch_;
  const void* previousParser_ = nullptr;
};

struct ParseRun {
  bool ok = false;
  Lines console;
  std::string diagnostics;
};

// An SDK tree inside the start-up folder and one beside it.
class DistributionSymbols : public DistributionFolder {
 protected:
  fs::path Inside() const { return Startup() / "frameworks" / "orvane.framework"; }
  fs::path Beside() const { return scratch_.path() / "frameworks" / "orvane.framework"; }
  // a header of the tree inside, or of the one beside when its name starts with "beside/"
  fs::path Sdk(const std::string& name) const {
    return name.starts_with("beside/") ? Beside() / name.substr(7) : Inside() / name;
  }

  ParseRun Parse() {
    ParseRun run;
    run.diagnostics = test_support::StderrOf([&] {
      run.console =
          SplitLines(test_support::StdoutOf([&] { run.ok = ParseSymbols(Filename(Startup().c_str())); }));
    });
    return run;
  }

  // The symbol lines of the output, without the frame, which is checked on the way.
  std::vector<std::string> Symbols() const {
    const std::string text = test_support::FileBytes(Output());
    const std::string head = "enum {\n", tail = "TARPON_HEADERFILE_END_\n}\n";
    if (!text.starts_with(head) || !text.ends_with(tail) || text.size() < head.size() + tail.size())
      return ADD_FAILURE() << text, Lines{};
    return SplitLines(text.substr(head.size(), text.size() - head.size() - tail.size()));
  }

  WithHost host_{RealHostTable()};
};

TEST_F(DistributionSymbols, ScanOrderAndWhichFilesAreRead) {
  // Each header gives one enumerator and one define named after its tag. Taken besides the plain ones: a
  // folder that only begins with a skipped name, a name with ge_mac later, an upper-case suffix; the
  // rest are skipped folders and files.
  for (const std::string entry :
       {"b.h:b", "sub/ge_win_math.h:win", "beside/a.h:a", "deep/er/lib_description.h:lib",
        "zor_preview_x/p.h:p", "my_ge_mac.h:my", "beside/U.H:U", "x/description/c.h:c", "zor_scaling/c.h:c",
        "zor_preview/c.h:c", "ge_mac_types.h:mac", "xzr_colors.h:colors", "zor_gl.h:gl", "notes.txt:txt"}) {
    const std::string tag = entry.substr(entry.find(':') + 1);
    Write(Sdk(entry.substr(0, entry.find(':'))), "#define D_" + tag + " 1\nenum { E_" + tag + " };\n");
  }

  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  // the leading two: enumerators, then defines; the rest by file name (code point order: "U.H" first)
  EXPECT_EQ(Symbols(), (Lines{"E_win=0,", "E_lib=0,", "D_win=1,", "D_lib=1,", "D_U=1,", "D_a=1,", "D_b=1,",
                              "D_my=1,", "D_p=1,", "E_U=0,", "E_a=0,", "E_b=0,", "E_my=0,", "E_p=0,"}));
  EXPECT_EQ(run.console, (Lines{"14 defines in files"}));
  EXPECT_EQ(run.diagnostics, "");
}

TEST_F(DistributionSymbols, WhatEachDefineAndEnumeratorBecomes) {
  const std::string noName =
      "ERROR ERROR ERROR ERROR ERROR ERROR ERROR ERROR";  // a define without a name, per pass
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> headers;  // named as Sdk() takes them
    Lines symbols;
    Lines console;
  } kCases[] = {
      {"define values",
       {{"defines.h",
         "#define HEX 0x10\n#define A 5 // five\n#define B A+1\n#define AB 1\n#define ABC 2\n"
         "#define SUM ABC+AB\n#define SHIFT (1 << 4) /* a comment ending in stars ***/\n"
         "#define HALF 1.5\n#define ZERO 0.0\n#define DOT '.'\n#define SIZE sizeof ( Int16 ) * 3\n"
         "#define ALL 0xFFFFFFFF\n#define FOUR ZOR_FOUR_BYTE('a', 'b', 'c', 'd')\n"
         "#define CALL(x) ((x) + 1)\n#define NOVALUE\n#define A 6\n#define DC 3\n"
         "#define GE_LITTLE_ENDIAN 1\n#define NOTINDEX -1\n#define USES NOTINDEX*2\n"
         "#define BAD UNKNOWN+1\n#  define SPACED 1\n#define LAST 7"}},
       {"HEX=16,", "A=5,", "B=6,", "AB=1,", "ABC=2,", "SUM=3,", "SHIFT=16,", "ZERO=0,", "DOT=46,", "SIZE=6,",
        "ALL=-1,", "FOUR=1633837924,", "USES=-2,"},
       // NOTINDEX is counted but not written
       {"REAL Constant: HALF = 1.5 : 1.500", "DOUBLE USAGE A", "SYMBOL FAILED BAD = UNKNOWN+1",
        "14 defines in files"}},
      // two empty headers lead, so that every define comes before any enumerator; G: enumerators are
      // evaluated as integers only
      {"enumerator values",
       {{"0.h", ""},
        {"1.h", ""},
        {"base.h", "#define BASE 100\n"},
        {"enums.h",
         "enum Tag : int\n{\n  A,\n  B = -1,\n  C,\n  D = BASE + 2, E,\n  F = "
         "ZOR_FOUR_BYTE('Z','O','R','1'),\n"
         "  G = 1.5,\n  H = A, A = 7\n};\ntypedef enum { X = 0x7FFFFFFF, Y = 3 } Named;\n"}},
       {"BASE=100,", "A=0,", "B=-1,", "C=0,", "D=102,", "E=103,", "F=1515147825,", "H=0,", "X=2147483647,",
        "Y=3,"},
       {"SYMBOL FAILED G = 1.5", "DOUBLE USAGE A", "10 defines in files"}},
      // a header alone is the first entry of the list: its enumerators are stored before its defines, so
      // an enumerator cannot use a define of its own file
      {"the leading headers give their enumerators first",
       {{"only.h", "#define BASE 100\nenum { D = BASE + 2, E };\n"}},
       {"E=0,", "BASE=100,"},
       {"SYMBOL FAILED D = BASE+2", "2 defines in files"}},
      // the header inside the start-up folder is met first and wins
      {"a header in both framework folders",
       {{"same.h", "#define ONE 1\nenum { TWO = 2 };\n"},
        {"beside/same.h", "#define ONE 10\nenum { TWO = 20 };\n"}},
       {"TWO=2,", "ONE=1,"},
       {"DOUBLE USAGE TWO", "DOUBLE USAGE ONE", "2 defines in files"}},
      // a lone hash or define leaves the next line alone
      {"lone hash", {{"h.h", "#\n#define A 1\n"}}, {"A=1,"}, {"1 defines in files"}},
      {"lone define", {{"h.h", "#define\n#define A 1\n"}}, {"A=1,"}, {noName, noName, "1 defines in files"}},
      {"blank define",
       {{"h.h", "#define   \n#define A 1\n#"}},
       {"A=1,"},
       {noName, noName, "1 defines in files"}},
      {"inside an enum",
       {{"h.h", "enum {\n  A,\n#\n  B,\n#define\n  C\n};\n"}},
       {"A=0,", "B=1,", "C=2,"},
       {noName, noName, "3 defines in files"}},
      {"at the end", {{"h.h", "#define A 1\n#define"}}, {"A=1,"}, {"1 defines in files"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Inside());
    fs::remove_all(Beside());
    for (const auto& [name, text] : c.headers) Write(Sdk(name), text);
    const ParseRun run = Parse();
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(Symbols(), c.symbols);
    EXPECT_EQ(run.console, c.console);
  }
}

TEST_F(DistributionSymbols,
       AWriteProtectedOutputIsReplacedAnUnreadableHeaderReportedAndNoResourceFolderStops) {
  Write(Output(), "stale");
  ASSERT_EQ(::chmod(Output().c_str(), 0444), 0);
  Write(Inside() / "a.h", "#define A 1\n");
  fs::create_symlink(Inside() / "missing.h", Inside() / "broken.h");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"A=1,"}));
  EXPECT_TRUE(test_support::Contains(run.diagnostics, "broken.h"));

  // without a resource folder nothing is scanned
  fs::remove_all(Resource());
  const ParseRun none = Parse();
  EXPECT_FALSE(none.ok);
  EXPECT_TRUE(none.console.empty());
  EXPECT_FALSE(fs::exists(Output()));
}

TEST_F(DistributionSymbols, MoreHeadersThanTheListHolds) {
  // 1001 headers: the one met last in the folder's order is not taken
  for (int i = 0; i < MAX_FNLIST_ENTRIES + 1; ++i)
    Write(Inside() / ("h" + std::to_string(i) + ".h"), "#define S" + std::to_string(i) + " 1\n");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(Symbols().size(), size_t(MAX_FNLIST_ENTRIES));
  EXPECT_EQ(run.console.back(), "1000 defines in files");
  EXPECT_TRUE(
      test_support::Contains(run.diagnostics, "WARNING: ParseSymbols: fncount > MAX_FNLIST_ENTRIES ["));
  // reported after both collections, each time with its stop
  size_t stops = 0;
  for (size_t at = 0; (at = run.diagnostics.find("CRITICAL: Stop", at)) != std::string::npos; ++at) ++stops;
  EXPECT_EQ(stops, 2u);
}

TEST_F(DistributionSymbols, MoreSymbolsThanTheTableHolds) {
  std::string text;
  // two entries are seeded, so two do not fit
  for (int i = 0; i < MAX_IDENTIFIER_ENTRIES; ++i)
    text += "#define S" + std::to_string(i) + " " + std::to_string(i) + "\n";
  Write(Inside() / "many.h", text);
  Write(Inside() / "more.h", "#define LATE 1\n");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  const Lines symbols = Symbols();
  ASSERT_EQ(symbols.size(), size_t(MAX_IDENTIFIER_ENTRIES - 2));
  EXPECT_EQ(symbols.back(), "S49997=49997,");
  EXPECT_EQ(run.console.back(), "49998 defines in files");
  // once after the full file's defines pass, once after the next file's (LATE is dropped too)
  EXPECT_TRUE(
      test_support::Contains(run.diagnostics, "WARNING: ParseSymbols: identcnt > MAX_IDENTIFIER_ENTRIES ["));
}

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

class DistributionAction : public DistributionFolder {
 protected:
  void SetUp() override {
    DistributionFolder::SetUp();
    host_.scripts.library_find = FakeFind;
    host_.scripts.library_table = FakeTable;
    library_.table.compile = FakeCompile;
    g_library = &library_;
    Write(Resource() / "gui.tpn", "main() { }\n");
  }
  void TearDown() override {
    DistributionFolder::TearDown();
    g_library = nullptr;
  }

  Lines Run(ScriptLibraryGlue& glue) {
    return SplitLines(
        test_support::StdoutOf([&] { RunDistributionAction(glue, Filename(Startup().c_str())); }));
  }

  test_support::PatchedHost host_;
  FakeLibrary library_;
};

TEST_F(DistributionAction, CompilesBesideTheSourceThenWritesTheSymbolHeader) {
  Write(Resource() / "gui.tpb", "old");
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Created gui.tpb", "0 defines in files", "Created tarponsymbols.h"}));
  ASSERT_EQ(library_.compiles.size(), 1u);
  EXPECT_EQ(library_.compiles[0].first, (Resource() / "gui.tpn").string());
  EXPECT_EQ(library_.compiles[0].second, "") << "an empty destination lets the library choose";
  EXPECT_EQ(test_support::FileBytes(Resource() / "gui.tpb"), "compiled");
  EXPECT_EQ(test_support::FileBytes(Output()), "enum {\nTARPON_HEADERFILE_END_\n}\n");
}

TEST_F(DistributionAction, WithoutTheLibraryOrAfterAFailedCompilationTheHeaderIsUntouched) {
  library_.present = false;
  Write(Resource() / "gui.tpb", "old");
  Write(Output(), "kept");
  ScriptLibraryGlue glue;
  EXPECT_EQ(Run(glue), (Lines{"Error: Compiling gui.tpb"}));
  EXPECT_FALSE(fs::exists(Resource() / "gui.tpb"));
  EXPECT_EQ(test_support::FileBytes(Output()), "kept");
  // not found is not cached: a later run asks again, and a failed compilation stops the action too
  library_.present = true;
  library_.compileAnswer = 0;
  EXPECT_EQ(Run(glue), (Lines{"Error: Compiling gui.tpb"}));
  EXPECT_EQ(library_.lookups, 2);
  EXPECT_EQ(library_.compiles.size(), 1u);
  EXPECT_EQ(test_support::FileBytes(Output()), "kept");
}

TEST_F(DistributionAction, TheLibraryTableIsFoundOnceAndUsedOnlyAsFarAsItsSize) {
  ScriptLibraryGlue glue;
  Run(glue);
  Run(glue);
  EXPECT_EQ(library_.lookups, 1);
  EXPECT_EQ(library_.compiles.size(), 2u);

  // a table that declares less than its header, or only its header, has no compile entry
  for (const int32_t size : {0, 4, 8, 15}) {
    library_.table.size = size;
    library_.compiles.clear();
    ScriptLibraryGlue fresh;
    EXPECT_EQ(Run(fresh), (Lines{"Error: Compiling gui.tpb"})) << size;
    EXPECT_TRUE(library_.compiles.empty()) << size;
  }
  library_.table.size = 16;
  library_.table.compile = nullptr;
  ScriptLibraryGlue empty;
  EXPECT_EQ(Run(empty), (Lines{"Error: Compiling gui.tpb"}));
}

}  // namespace
