// The symbol header step of the distribution builder run in-process on zorhost's services (text
// tokenizer, expression evaluator, files): which headers are read in which order, what each kind of
// define and enumerator becomes in "tarponsymbols.h", the console lines and diagnostics, and the
// output file's own failures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/core_framework.h"
#include "makedistri/makedistri.h"
#include "makedistri/symbol_table.h"
#include "nexal/object.h"
#include "unit/scratch_folder.h"
#include "unit/with_host.h"
#include "zor_filename.h"

namespace {

namespace fs = std::filesystem;
using test_support::RealHostTable;
using test_support::ScratchFolder;
using test_support::WithHost;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ParseRun {
  bool ok = false;
  std::vector<std::string> console;
  std::string diagnostics;
};

// A start-up folder with its resource folder, an SDK tree inside it and one beside it, and the
// tokenizer resolved for the module's reference as the host resolves it at load.
class DistributionSymbols : public ::testing::Test {
 protected:
  void SetUp() override {
    _previousParser = nexal::Reference(nexal::Ref::TextParser).resolved;
    ASSERT_TRUE(zorhost::resolve_core_reference(&nexal::Reference(nexal::Ref::TextParser)));
    fs::create_directories(Resource());
  }
  void TearDown() override { nexal::Reference(nexal::Ref::TextParser).resolved = _previousParser; }

  fs::path Startup() const { return _scratch.path() / "startup"; }
  fs::path Resource() const { return Startup() / "resource"; }
  fs::path Output() const { return Resource() / "tarponsymbols.h"; }
  fs::path Inside() const { return Startup() / "frameworks" / "orvane.framework"; }
  fs::path Beside() const { return _scratch.path() / "frameworks" / "orvane.framework"; }

  static void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }

  ParseRun Parse() {
    ParseRun run;
    CaptureStdout();
    CaptureStderr();
    run.ok = ParseSymbols(Filename(Startup().string().c_str()));
    run.diagnostics = GetCapturedStderr();
    run.console = SplitLines(GetCapturedStdout());
    return run;
  }

  // The symbol lines of the output, without the frame, which is checked on the way.
  std::vector<std::string> Symbols() const {
    std::vector<std::string> lines = SplitLines(ReadAll(Output()));
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() < 3) return {};
    EXPECT_EQ(lines.front(), "enum {");
    EXPECT_EQ(lines[lines.size() - 2], "TARPON_HEADERFILE_END_");
    EXPECT_EQ(lines.back(), "}");
    return std::vector<std::string>(lines.begin() + 1, lines.end() - 2);
  }

  WithHost _host{RealHostTable()};
  ScratchFolder _scratch;
  const void* _previousParser = nullptr;
};

using Lines = std::vector<std::string>;

TEST_F(DistributionSymbols, AnEmptyTreeStillGivesTheThreeLinesOfTheFrame) {
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(ReadAll(Output()), "enum {\nTARPON_HEADERFILE_END_\n}\n");
  EXPECT_EQ(run.console, (Lines{"0 defines in files"}));
}

TEST_F(DistributionSymbols, ScanOrderAndWhichFilesAreRead) {
  // Each header gives one enumerator and one define named after it.
  auto header = [](const std::string& tag) { return "#define D_" + tag + " 1\nenum { E_" + tag + " };\n"; };
  Write(Inside() / "b.h", header("b"));
  Write(Inside() / "sub" / "ge_win_math.h", header("win"));
  Write(Beside() / "a.h", header("a"));
  Write(Inside() / "deep" / "er" / "lib_description.h", header("lib"));
  // skipped folders and files
  Write(Inside() / "x" / "description" / "c.h", header("c"));
  Write(Inside() / "zor_scaling" / "c.h", header("c"));
  Write(Inside() / "zor_preview" / "c.h", header("c"));
  Write(Inside() / "ge_mac_types.h", header("mac"));
  Write(Inside() / "xzr_colors.h", header("colors"));
  Write(Inside() / "zor_gl.h", header("gl"));
  Write(Inside() / "notes.txt", header("txt"));
  // taken: a folder that only begins with a skipped name, a name with ge_mac later, an upper-case suffix
  Write(Inside() / "zor_preview_x" / "p.h", header("p"));
  Write(Inside() / "my_ge_mac.h", header("my"));
  Write(Beside() / "U.H", header("U"));

  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  // the leading two: enumerators, then defines; the rest by file name (code point order: "U.H" first)
  EXPECT_EQ(Symbols(), (Lines{"E_win=0,", "E_lib=0,", "D_win=1,", "D_lib=1,", "D_U=1,", "D_a=1,", "D_b=1,",
                              "D_my=1,", "D_p=1,", "E_U=0,", "E_a=0,", "E_b=0,", "E_my=0,", "E_p=0,"}));
  EXPECT_EQ(run.console, (Lines{"14 defines in files"}));
  EXPECT_EQ(run.diagnostics, "");
}

TEST_F(DistributionSymbols, DefineValues) {
  Write(Inside() / "defines.h",
        "#define HEX 0x10\n"
        "#define A 5 // five\n"
        "#define B A+1\n"
        "#define AB 1\n"
        "#define ABC 2\n"
        "#define SUM ABC+AB\n"
        "#define SHIFT (1 << 4) /* a comment ending in stars ***/\n"
        "#define HALF 1.5\n"
        "#define ZERO 0.0\n"
        "#define DOT '.'\n"
        "#define SIZE sizeof ( Int16 ) * 3\n"
        "#define ALL 0xFFFFFFFF\n"
        "#define FOUR ZOR_FOUR_BYTE('a', 'b', 'c', 'd')\n"
        "#define CALL(x) ((x) + 1)\n"
        "#define NOVALUE\n"
        "#define A 6\n"
        "#define DC 3\n"
        "#define GE_LITTLE_ENDIAN 1\n"
        "#define NOTINDEX -1\n"
        "#define USES NOTINDEX*2\n"
        "#define BAD UNKNOWN+1\n"
        "#  define SPACED 1\n"
        "#define LAST 7");
  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"HEX=16,", "A=5,", "B=6,", "AB=1,", "ABC=2,", "SUM=3,", "SHIFT=16,", "ZERO=0,",
                              "DOT=46,", "SIZE=6,", "ALL=-1,", "FOUR=1633837924,", "USES=-2,"}));
  EXPECT_EQ(run.console, (Lines{"REAL Constant: HALF = 1.5 : 1.500", "DOUBLE USAGE A",
                                "SYMBOL FAILED BAD = UNKNOWN+1", "14 defines in files"}))
      << "NOTINDEX is counted but not written";
}

TEST_F(DistributionSymbols, EnumeratorValues) {
  // two empty headers lead, so that every define comes before any enumerator
  Write(Inside() / "0.h", "");
  Write(Inside() / "1.h", "");
  Write(Inside() / "base.h", "#define BASE 100\n");
  Write(Inside() / "enums.h",
        "enum Tag : int\n"
        "{\n"
        "  A,\n"
        "  B = -1,\n"
        "  C,\n"
        "  D = BASE + 2, E,\n"
        "  F = ZOR_FOUR_BYTE('Z','O','R','1'),\n"
        "  G = 1.5,\n"
        "  H = A, A = 7\n"
        "};\n"
        "typedef enum { X = 0x7FFFFFFF, Y = 3 } Named;\n");
  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"BASE=100,", "A=0,", "B=-1,", "C=0,", "D=102,", "E=103,", "F=1515147825,",
                              "H=0,", "X=2147483647,", "Y=3,"}));
  // G: enumerators are evaluated as integers only
  EXPECT_EQ(run.console, (Lines{"SYMBOL FAILED G = 1.5", "DOUBLE USAGE A", "10 defines in files"}));
}

TEST_F(DistributionSymbols, ALoneHashOrDefineLeavesTheNextLineAlone) {
  const struct {
    const char* header;
    Lines symbols;
  } kCases[] = {
      {"#\n#define A 1\n", {"A=1,"}},
      {"#define\n#define A 1\n", {"A=1,"}},
      {"#define   \n#define A 1\n#", {"A=1,"}},
      {"enum {\n  A,\n#\n  B,\n#define\n  C\n};\n", {"A=0,", "B=1,", "C=2,"}},
      {"#define A 1\n#define", {"A=1,"}},
  };
  for (const auto& c : kCases) {
    Write(Inside() / "h.h", c.header);
    const ParseRun run = Parse();
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(Symbols(), c.symbols) << c.header;
  }
}

TEST_F(DistributionSymbols, TheTwoLeadingHeadersGiveTheirEnumeratorsFirst) {
  // A header alone is the first entry of the list: its enumerators are stored before its defines,
  // so an enumerator cannot use a define of its own file.
  Write(Inside() / "only.h", "#define BASE 100\nenum { D = BASE + 2, E };\n");
  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"E=0,", "BASE=100,"}));
  EXPECT_EQ(run.console, (Lines{"SYMBOL FAILED D = BASE+2", "2 defines in files"}));
}

TEST_F(DistributionSymbols, AHeaderInBothFrameworkFoldersGivesEachSymbolOnce) {
  // the header inside the start-up folder is met first and wins
  Write(Inside() / "same.h", "#define ONE 1\nenum { TWO = 2 };\n");
  Write(Beside() / "same.h", "#define ONE 10\nenum { TWO = 20 };\n");
  const ParseRun run = Parse();
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"TWO=2,", "ONE=1,"}));
  EXPECT_EQ(run.console, (Lines{"DOUBLE USAGE TWO", "DOUBLE USAGE ONE", "2 defines in files"}));
}

TEST_F(DistributionSymbols, AWriteProtectedOutputIsReplaced) {
  Write(Output(), "stale");
  ASSERT_EQ(::chmod(Output().c_str(), 0444), 0);
  Write(Inside() / "a.h", "#define A 1\n");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"A=1,"}));
}

TEST_F(DistributionSymbols, WithoutAResourceFolderNothingIsScanned) {
  fs::remove_all(Resource());
  Write(Inside() / "a.h", "#define A 1\n");
  const ParseRun run = Parse();
  EXPECT_FALSE(run.ok);
  EXPECT_TRUE(run.console.empty());
  EXPECT_FALSE(fs::exists(Output()));
}

TEST_F(DistributionSymbols, AnUnreadableHeaderIsReportedAndTheRunGoesOn) {
  Write(Inside() / "a.h", "#define A 1\n");
  fs::create_directories(Inside());
  fs::create_symlink(Inside() / "missing.h", Inside() / "broken.h");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(Symbols(), (Lines{"A=1,"}));
  EXPECT_NE(run.diagnostics.find("broken.h"), std::string::npos) << run.diagnostics;
}

TEST_F(DistributionSymbols, MoreHeadersThanTheListHolds) {
  // 1001 headers: the one met last in the folder's order is not taken
  for (int i = 0; i < MAX_FNLIST_ENTRIES + 1; ++i)
    Write(Inside() / ("h" + std::to_string(i) + ".h"), "#define S" + std::to_string(i) + " 1\n");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(Symbols().size(), size_t(MAX_FNLIST_ENTRIES));
  EXPECT_EQ(run.console.back(), "1000 defines in files");
  EXPECT_NE(run.diagnostics.find("WARNING: ParseSymbols: fncount > MAX_FNLIST_ENTRIES ["), std::string::npos)
      << run.diagnostics;
  // reported after both collections, each time with its stop
  size_t stops = 0;
  for (size_t at = run.diagnostics.find("CRITICAL: Stop"); at != std::string::npos;
       at = run.diagnostics.find("CRITICAL: Stop", at + 1))
    ++stops;
  EXPECT_EQ(stops, 2u);
}

TEST_F(DistributionSymbols, MoreSymbolsThanTheTableHolds) {
  std::string text;
  const int defines = MAX_IDENTIFIER_ENTRIES;  // two entries are seeded, so two do not fit
  for (int i = 0; i < defines; ++i) text += "#define S" + std::to_string(i) + " " + std::to_string(i) + "\n";
  Write(Inside() / "many.h", text);
  Write(Inside() / "more.h", "#define LATE 1\n");
  const ParseRun run = Parse();
  EXPECT_TRUE(run.ok);
  const Lines symbols = Symbols();
  ASSERT_EQ(symbols.size(), size_t(MAX_IDENTIFIER_ENTRIES - 2));
  EXPECT_EQ(symbols.back(), "S49997=49997,");
  EXPECT_EQ(run.console.back(), "49998 defines in files");
  // once after the full file's defines pass, once after the next file's (LATE is dropped too)
  EXPECT_NE(run.diagnostics.find("WARNING: ParseSymbols: identcnt > MAX_IDENTIFIER_ENTRIES ["),
            std::string::npos);
}

}  // namespace
