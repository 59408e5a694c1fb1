// The Translator Locator: the literals it finds and lists, and the lines it writes.
#include "translator_locator/translator_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io_test_support.h"
#include "scratch_folder.h"
#include "translator_locator/literal_scanner.h"
#include "with_host.h"

namespace {

namespace fs = std::filesystem;
using namespace translator_locator;

// every literal found: (its text, the line buffer at that moment)
std::vector<std::pair<std::string, std::string>> Found(std::string_view source) {
  std::vector<std::pair<std::string, std::string>> found;
  ScanSource(source, [&](std::string_view literal, std::string_view line) {
    found.emplace_back(std::string(literal), std::string(line));
  });
  return found;
}

// the lowered literals that the listing rules keep, with ".h" names told by a plain suffix check
std::vector<std::string> Listed(std::string_view source) {
  std::vector<std::string> listed;
  ScanSource(source, [&](std::string_view literal, std::string_view) {
    const std::string lowered = LowerLiteral(literal);
    if (IsListedLiteral(lowered, [](std::string_view s) { return s.ends_with(".h"); }))
      listed.push_back(lowered);
  });
  return listed;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(TranslatorLocatorScanner, LineCommentsLinesAndQuotes) {
  // a literal after a line comment is hidden, one on the next line is not; "//" in a literal is text
  EXPECT_EQ(Found("a = \"http://x\"; // \"hidden\"\n\tb(\"Next\");\r\n"),
            (Pairs{{"http://x", "a = \"http://x"}, {"Next", "b(\"Next"}}));
  // two literals on one line: the second line buffer holds the first literal without its closing quote
  EXPECT_EQ(Found("f(\"One\", \"Two\");"), (Pairs{{"One", "f(\"One"}, {"Two", "f(\"One, \"Two"}}));
  // an escaped quote does not end a literal; a line end does, and empties the line buffer
  EXPECT_EQ(Found("s = \"say \\\"hi\\\"\";\nt = \"open\nu(\"x\""),
            (Pairs{{"say \\\"hi\\\"", "s = \"say \\\"hi\\\""}, {"open", "t = \"open"}, {"x", "u(\"x"}}));
  // a literal cut by the end of the file still counts; tabs are left out of the line, kept in the text
  EXPECT_EQ(Found("\tx(\"a\tb"), (Pairs{{"a\tb", "x(\"ab"}}));
  // block comments are not comments to the scanner; a single slash is kept in the line
  EXPECT_EQ(Found("/* \"c\" */ a/b(\"d\")"), (Pairs{{"c", "/* \"c"}, {"d", "/* \"c */ a/b(\"d"}}));
  // a line past the buffer: the literal is whole, the line stops at the buffer's size
  const std::string long_line = std::string(3000, 'y') + "(\"Far\")";
  EXPECT_EQ(Found(long_line), (Pairs{{"Far", std::string(kLineBufferBytes, 'y')}}));
  EXPECT_TRUE(Found("no literals // \"x\"\n").empty());
}

TEST(TranslatorLocatorScanner, ListingRules) {
  EXPECT_EQ(Listed("a(\"\"); b(\"123\"); c(\" -- \"); d(\"%d files\"); e(\"OK\"); f(\"x\\ny\");"),
            (std::vector<std::string>{"%d files", "ok", "x\\ny"}));
  // escaped quotes and hexadecimal escapes are not listed, other escapes are
  EXPECT_EQ(Listed("a(\"say \\\"no\\\"\"); b(\"\\x41bc\"); c(\"\\X41bc\"); d(\"tab\\tok\");"),
            (std::vector<std::string>{"tab\\tok"}));
  // header names are not listed
  EXPECT_EQ(Listed("#include \"Foo.H\"\n#include \"foo.hpp\"\n"), (std::vector<std::string>{"foo.hpp"}));
  // lowering touches ASCII letters only
  EXPECT_EQ(LowerLiteral("\xC3\x89T\xC3\xA9 ABC"), "\xC3\x89t\xC3\xA9 abc");
}

TEST(TranslatorLocatorScanner, ListingLinePadsToThirtyCharacters) {
  EXPECT_EQ(ListingLine("ok", "b(\"OK"), "ok" + std::string(28, ' ') + "b(\"OK");
  const std::string thirty(30, 'a');
  EXPECT_EQ(ListingLine(thirty, "L"), thirty + "L");
  EXPECT_EQ(ListingLine(thirty + "bc", "L"), thirty + "bcL");
  // a character of several bytes counts once
  EXPECT_EQ(ListingLine("\xC3\xA9t\xC3\xA9", "x"), "\xC3\xA9t\xC3\xA9" + std::string(27, ' ') + "x");
}

TEST(TranslatorLocatorFiles, ScansSourcesAndHeadersBelowAFolder) {
  test_support::WithHost host(test_support::RealHostTable());
  test_support::ScratchFolder scratch;
  const std::pair<const char*, const char*> kFiles[] = {
      {"a.cpp", "#include \"a.h\"\nint main() { puts(\"Hello World\"); }\n"},
      {"deep/b.H", "#define T \"Title\" // \"not me\"\n"},
      {"deep/c.txt", "\"not a source\"\n"},
      {"deep/d.cpp.bak", "\"not a source\"\n"},
      {"empty.cpp", ""},
      {"latin1.cpp", "x(\"Caf\xE9\");\n"},
      {"escape.cpp", "x(\"Caf\\u00e9\");\n"}};
  for (const auto& [name, text] : kFiles) scratch.write(std::string("src/") + name, text);
  // a link back up the tree is followed once, not for ever
  fs::create_directory_symlink(scratch.path() / "src", scratch.path() / "src" / "deep" / "loop");

  const fs::path out = scratch.path() / "strings.txt";
  {
    BaseFile output;
    ASSERT_TRUE(output.Open(Filename(out.string().c_str()), ZOR_FILE_WRITE));
    ScanFolder(Filename((scratch.path() / "src").string().c_str()), output);
    ASSERT_TRUE(output.Close());
  }
  std::vector<std::string> lines;
  std::stringstream in(test_support::FileBytes(out));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  // the listing keeps the source's bytes: a Latin-1 byte stays one, an escape stays an escape
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "caf\\u00e9" + std::string(21, ' ') + "x(\"Caf\\u00e9",
                       "caf\xE9" + std::string(26, ' ') + "x(\"Caf\xE9",
                       "hello world" + std::string(19, ' ') + "int main() { puts(\"Hello World",
                       "title" + std::string(25, ' ') + "#define T \"Title"}));
}

}  // namespace
