// The core framework's text tokenizer as the header scanner reads it: kinds, texts, the separation
// flag, line skipping, and the file errors.
#include "core/text_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_test_support.h"
#include "unit/scratch_folder.h"

namespace {

using test_support::Contains;

using zorhost::TextTokenizer;
using zorhost::TokenKind;

struct Tok {
  TokenKind kind;
  std::string text;
  bool separated;
  bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << static_cast<int>(t.kind) << " '" << t.text << "' " << t.separated << "}";
}

std::vector<Tok> tokens(const std::string& text) {
  TextTokenizer tokenizer;
  tokenizer.open_text(text, "test.h");
  std::vector<Tok> out;
  for (int guard = 0; guard < 1000; ++guard) {
    EXPECT_TRUE(tokenizer.next());
    if (tokenizer.kind() == TokenKind::kEndOfInput) break;
    out.push_back({tokenizer.kind(), tokenizer.text(), tokenizer.separated()});
  }
  return out;
}

constexpr auto W = TokenKind::kWord;
constexpr auto N = TokenKind::kNumber;
constexpr auto EOL = TokenKind::kEndOfLine;
constexpr auto OP = TokenKind::kOperator;

TEST(TextTokenizer, GivesTheKindsTheHeaderScannerNeeds) {
  const std::vector<Tok> expected = {
      {TokenKind::kHash, "#", true},
      {W, "define", false},
      {W, "MASK", true},
      {TokenKind::kOpenBracket, "(", true},
      {N, "1", false},
      {OP, "<<", false},
      {N, "0x1Fu", false},
      {TokenKind::kCloseBracket, ")", false},
      {EOL, "", false},
      {W, "enum", true},
      {TokenKind::kOpenBrace, "{", true},
      {W, "A", true},
      {TokenKind::kEquals, "=", true},
      {OP, "-", true},
      {N, "1.5e-3f", false},
      {TokenKind::kComma, ",", false},
      {W, "B", true},
      {TokenKind::kCloseBrace, "}", false},
      {TokenKind::kSemicolon, ";", false},
      {EOL, "", false},
      {TokenKind::kSlash, "/", true},
      {TokenKind::kStar, "*", false},
      {W, "x", true},
      {TokenKind::kStar, "*", true},
      {TokenKind::kStar, "*", false},
      {TokenKind::kSlash, "/", false},
      {EOL, "", false},
  };
  EXPECT_EQ(tokens("#define MASK (1<<0x1Fu)\nenum { A = -1.5e-3f, B};\n/* x **/\n"), expected);
}

TEST(TextTokenizer, SeparationCountsLineStartsAndJoinedLines) {
  // The first token and a token at the start of a line are separated; a # glued to a token is not.
  auto t = tokens("#a\nx#b\n  y \\\n z");
  ASSERT_EQ(t.size(), 9u);
  EXPECT_TRUE(t[0].separated);
  EXPECT_TRUE(t[3].separated);   // x after the line end
  EXPECT_FALSE(t[4].separated);  // the glued #
  EXPECT_EQ(t[7].text, "y");
  EXPECT_EQ(t[8].text, "z");  // the backslash joined the lines: no end of line between y and z
  EXPECT_TRUE(t[8].separated);
  // \r\n and a lone \r are single line ends.
  t = tokens("a\r\nb\rc");
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[1].kind, EOL);
  EXPECT_EQ(t[3].kind, EOL);
}

TEST(TextTokenizer, QuotesNeverSwallowACommentEnd) {
  auto t = tokens("/* don't */ 'a' 'bINI' '\\'' \"s \\\" t\" /* \"  ditto */\nx");
  std::vector<std::string> texts;
  for (const Tok& tok : t) texts.push_back(tok.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"/", "*", "don", "'t", "*", "/", "'a'", "'bINI'", "'\\''",
                                             "\"s \\\" t\"", "/", "*", "\"", "ditto", "*", "/", "", "x"}));
  EXPECT_EQ(t[3].kind, TokenKind::kCharacter);
  EXPECT_EQ(t[9].kind, TokenKind::kString);
}

TEST(TextTokenizer, KeepsCommentAndDirectiveCharactersApart) {
  std::vector<std::string> texts;
  std::vector<TokenKind> kinds;
  for (const Tok& t : tokens("a/=b*=c##d<<=e::f@g\xc3\xa9h!x")) {
    texts.push_back(t.text);
    kinds.push_back(t.kind);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "/", "=", "b", "*", "=", "c", "#", "#", "d", "<<=", "e",
                                             "::", "f", "@", "g\xc3\xa9h", "!", "x"}));
  EXPECT_EQ(kinds[12], OP);
  EXPECT_EQ(kinds[14], TokenKind::kOther);
  EXPECT_EQ(kinds[15], W);  // bytes of 0x80 and above belong to words
  EXPECT_EQ(kinds[16], OP);
}

TEST(TextTokenizer, SkipsToTheLineEndAndCompares) {
  TextTokenizer tokenizer;
  tokenizer.open_text("#if defined(X) /* a */ \\\n && Y\nNEXT", "t.h");
  ASSERT_TRUE(tokenizer.next());
  ASSERT_TRUE(tokenizer.next());
  EXPECT_TRUE(tokenizer.is("if"));
  EXPECT_FALSE(tokenizer.is("i"));
  tokenizer.skip_to_line_end();  // a continued line is skipped as one line
  ASSERT_TRUE(tokenizer.next());
  EXPECT_EQ(tokenizer.kind(), EOL);
  EXPECT_EQ(tokenizer.line(), 2);
  ASSERT_TRUE(tokenizer.next());
  EXPECT_TRUE(tokenizer.is("NEXT"));
  EXPECT_EQ(tokenizer.line(), 3);
  EXPECT_EQ(tokenizer.column(), 1);
  ASSERT_TRUE(tokenizer.next());
  EXPECT_EQ(tokenizer.kind(), TokenKind::kEndOfInput);
  ASSERT_TRUE(tokenizer.next());  // stays at the end
  EXPECT_EQ(tokenizer.kind(), TokenKind::kEndOfInput);
}

TEST(TextTokenizer, OpensFilesAndNamesWhatIsWrong) {
  test_support::ScratchFolder folder;
  TextTokenizer tokenizer;
  EXPECT_FALSE(tokenizer.next());  // nothing open
  EXPECT_FALSE(tokenizer.open(folder.path() / "missing.h"));
  EXPECT_TRUE(Contains(tokenizer.error(), "missing.h"));
  EXPECT_FALSE(tokenizer.open(folder.path()));
  EXPECT_TRUE(Contains(tokenizer.error(), "folder"));
  const auto file = folder.write("a.h", "int x;");
  ASSERT_TRUE(tokenizer.open(file));
  ASSERT_TRUE(tokenizer.next());
  EXPECT_TRUE(tokenizer.is("int"));
}

}  // namespace
