// The core framework's text tokenizer as the header scanner reads it.
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

// Every token as kind:text, with a leading "_" when white space or a line start separates it.
std::string Tokens(const std::string& text) {
  static const char* const kNames[] = {"?", "end", "word", "num", "str",  "char",  "eol",  "{",
                                       "}", "(",   ")",    "[",   "]",    "slash", "=",    ",",
                                       ";", ":",   "op",   "?",   "hash", "star",  "other"};
  TextTokenizer tokenizer;
  tokenizer.open_text(text, "test.h");
  std::string out;
  for (int guard = 0; guard < 1000; ++guard) {
    EXPECT_TRUE(tokenizer.next());
    if (tokenizer.kind() == TokenKind::kEndOfInput) break;
    out += std::string(out.empty() ? "" : " ") + (tokenizer.separated() ? "_" : "") +
           kNames[static_cast<int>(tokenizer.kind())] + ":" + tokenizer.text();
  }
  return out;
}

TEST(TextTokenizer, KindsTextsAndSeparation) {
  const std::pair<const char*, const char*> kCases[] = {
      {"#define MASK (1<<0x1Fu)\nenum { A = -1.5e-3f, B};\n/* x **/\n",
       "_hash:# word:define _word:MASK _(:( num:1 op:<< num:0x1Fu ):) eol: "
       "_word:enum _{:{ _word:A _=:= _op:- num:1.5e-3f ,:, _word:B }:} ;:; eol: _slash:/ star:* _word:x "
       "_star:* star:* slash:/ eol:"},
      // the first token and one at a line start are separated, a glued # is not; a backslash joins lines
      {"#a\nx#b\n  y \\\n z", "_hash:# word:a eol: _word:x hash:# word:b eol: _word:y _word:z"},
      // \r\n and a lone \r are single line ends
      {"a\r\nb\rc", "_word:a eol: _word:b eol: _word:c"},
      // quotes never swallow a comment end
      {"/* don't */ 'a' 'bINI' '\\'' \"s \\\" t\" /* \"  ditto */\nx",
       "_slash:/ star:* _word:don char:'t _star:* slash:/ _char:'a' _char:'bINI' _char:'\\'' "
       "_str:\"s \\\" t\" _slash:/ star:* _str:\" _word:ditto _star:* slash:/ eol: _word:x"},
      // comment and directive characters stay apart; bytes from 0x80 belong to words
      {"a/=b*=c##d<<=e::f@g\xc3\xa9h!x",
       "_word:a slash:/ =:= word:b star:* =:= word:c hash:# hash:# word:d op:<<= word:e op::: word:f other:@ "
       "word:g\xc3\xa9h op:! word:x"},
  };
  for (const auto& [text, expected] : kCases) EXPECT_EQ(Tokens(text), expected) << text;
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
  EXPECT_EQ(tokenizer.kind(), TokenKind::kEndOfLine);
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
