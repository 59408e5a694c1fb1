// The header scan's token state machine on token streams written out by hand.
#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

#include "makedistri/header_recognizer.h"

namespace {

// A token written as its text; a leading blank marks white space before it. "\n" is a line end. Like
// the tokenizer, every token's text lives in one buffer that the next token overwrites.
nexal::TextToken Token(const std::string& written, std::string& buffer) {
  nexal::TextToken token;
  token.separated = !written.empty() && written[0] == ' ';
  buffer.assign(token.separated ? written.substr(1) : written);
  const std::string text = buffer;
  static const std::pair<const char*, int32_t> kSingles[] = {
      {"{", NEXAL_TOKEN_BRACE_OPEN},  {"}", NEXAL_TOKEN_BRACE_CLOSE}, {"(", NEXAL_TOKEN_PAREN_OPEN},
      {")", NEXAL_TOKEN_PAREN_CLOSE}, {"/", NEXAL_TOKEN_SLASH},       {"=", NEXAL_TOKEN_ASSIGN},
      {",", NEXAL_TOKEN_COMMA},       {";", NEXAL_TOKEN_SEMICOLON},   {"#", NEXAL_TOKEN_HASH},
      {"*", NEXAL_TOKEN_STAR},        {":", NEXAL_TOKEN_COLON}};
  token.kind = NEXAL_TOKEN_OPERATOR;
  if (text == "\n") {
    token.kind = NEXAL_TOKEN_LINE_END;
    buffer.clear();
  } else if (std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_') {
    token.kind = NEXAL_TOKEN_WORD;
  } else if (std::isdigit(static_cast<unsigned char>(text[0]))) {
    token.kind = NEXAL_TOKEN_NUMBER;
  } else if (text[0] == '\'') {
    token.kind = NEXAL_TOKEN_CHARACTER;
  } else {
    for (const auto& [single, kind] : kSingles)
      if (text == single) token.kind = kind;
  }
  token.text = buffer;
  return token;
}

// Records what is handed on: a define as "NAME=VALUE", an enumerator as "NAME=VALUE @COUNTER" or, without a
// value, "NAME @COUNTER". An enumerator is stored when its name does not begin with "dup" and its
// value text, if any, is a plain decimal number; the counter then advances as the store makes it.
class RecordingSink : public SymbolSink {
 public:
  std::vector<std::string> handed;
  std::vector<std::string> printed;
  std::vector<std::string> fourCharacterCalls;

  void StoreDefine(std::string_view name, std::string_view value) override {
    handed.push_back(std::string(name) + "=" + std::string(value));
  }
  void StoreEnumerator(std::string_view name, const std::string* value, int32_t& counter) override {
    handed.push_back(std::string(name) + (value ? "=" + *value : "") + " @" + std::to_string(counter));
    if (name.substr(0, 3) == "dup") return;
    int32_t stored = counter;
    if (value) {
      const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), stored);
      if (error != std::errc() || end != value->data() + value->size()) return;
    }
    counter = stored + 1;
  }
  std::string FourCharacterValue(std::string_view valueText) override {
    fourCharacterCalls.emplace_back(valueText);
    return "1094861636";
  }
  void PrintLine(const char* text) override { printed.emplace_back(text); }
};

struct Scanned {
  RecordingSink sink;
  std::vector<int> skips;  // indices of the tokens after which a line skip was asked for
};

// Feeds the tokens; a skip drops the following tokens up to (not including) the next line end, as the
// tokenizer does.
Scanned Feed(ScanPass pass, const std::vector<std::string>& written) {
  Scanned run;
  std::string buffer;
  buffer.reserve(64);  // never moves, so a stale view shows the next token's text
  HeaderRecognizer recognizer(run.sink, pass);
  bool skipping = false;
  for (int i = 0; i < static_cast<int>(written.size()); ++i) {
    const nexal::TextToken token = Token(written[i], buffer);
    if (skipping && token.kind != NEXAL_TOKEN_LINE_END) continue;
    skipping = false;
    if (recognizer.Process(token)) {
      run.skips.push_back(i);
      skipping = true;
    }
  }
  return run;
}

using List = std::vector<std::string>;

TEST(HeaderRecognizer, DefinesWithCommentsBracketsAndFunctionLikeMacros) {
  const Scanned run =
      Feed(ScanPass::Defines, {// #define A 5 // five
                               " #", "define", " A", " 5", " /", "/", " five", "\n",
                               // # define B 1: a blank after the hash is no directive
                               " #", " define", " B", " 1", "\n",
                               // x#define C 2: a hash glued to a token starts none
                               " x", "#", "define", " C", " 2", "\n",
                               // #define F(x) ((x)+1): parameter list and body
                               " #", "define", " F", "(", "x", ")", " (", "(", "x", ")", "+", "1", ")", "\n",
                               // #define G (1 << 4): one bracket group, kept whole
                               " #", "define", " G", " (", "1", " <<", " 4", ")", "\n",
                               // #define H sizeof ( Int16 )
                               " #", "define", " H", " sizeof", " (", " Int16", " )", "\n",
                               // #define EMPTY
                               " #", "define", " EMPTY", "\n",
                               // #define Q (8/2): a slash that opens no comment goes on
                               " #", "define", " Q", " (", "8", "/", "2", ")", "\n",
                               // #define 5 -> no name
                               " #", "define", " 5", " 6", "\n",
                               // #define LAST 9 at the end of input: never completed
                               " #", "define", " LAST", " 9"});
  EXPECT_EQ(run.sink.handed, (List{"A=5", "G=(1<<4)", "H=sizeof(Int16)", "Q=(8/2)"}));
  EXPECT_EQ(run.sink.printed, (std::vector<std::string>{"ERROR ERROR ERROR ERROR ERROR ERROR ERROR ERROR"}));
  // skipped: the blank-separated "define", the body of F, the name "5"
  EXPECT_EQ(run.skips.size(), 3u);
}

TEST(HeaderRecognizer, BlockCommentsEndAtAGluedSlashEvenAfterARunOfStars) {
  const Scanned run =
      Feed(ScanPass::Defines,
           {// /* a ** b ***/ #define A 1
            " /", "*", " a", " *", "*", " b", " *", "*", "*", "/", " #", "define", " A", " 1", "\n",
            // /* x * / #define B 2 */ : a star and a slash apart do not end it
            " /", "*", " x", " *", " /", " #", "define", " B", " 2", " *", "/", "\n",
            // #define C 3 /* trailing */
            " #", "define", " C", " 3", " /", "*", " t", " *", "/", "\n"});
  EXPECT_EQ(run.sink.handed, (List{"A=1", "C=3"}));
}

TEST(HeaderRecognizer, EnumeratorsWithAndWithoutValues) {
  const Scanned run =
      Feed(ScanPass::Enums,
           {// enum Tag { A, B = 5, C };
            " enum", " Tag", " {", " A", ",", " B", " =", " 5", ",", " C", " }", ";", "\n",
            // enum { N = -1, M,\n P = ( 1 << 2 ) | 1\n, dupQ = 7, R };
            " enum", " {", " N", " =", " -", "1", ",", " M", ",", "\n", " P", " =", " (", " 1", " <<", " 2",
            " )", " |", " 1", "\n", ",", " dupQ", " =", " 7", ",", " R", " }", ";", "\n",
            // enum class E : int { S = , T }: an empty value waits for its text
            " enum", " class", " E", " :", " int", " {", " S", " =", " ,", " 3", " }", "\n"});
  EXPECT_EQ(run.sink.handed, (List{"A @0", "B=5 @1", "C @6", "N=-1 @0", "M @0", "P=(1<<2)|1 @1",
                                   // rejected enumerators do not move the counter
                                   "dupQ=7 @1", "R @1", "S=3 @0"}));
}

TEST(HeaderRecognizer, CallsInEnumeratorValues) {
  const Scanned run =
      Feed(ScanPass::Enums,
           {" enum", " {",
            // A = ZOR_FOUR_BYTE('A','B','C','D'),
            " A", " =", " ZOR_FOUR_BYTE", "(", "'A'", ",", "'B'", ",", "'C'", ",", "'D'", ")", ",", "\n",
            // B = MAKE(1, 2), : a call that is not ZOR_FOUR_BYTE stays as text
            " B", " =", " MAKE", "(", "1", ",", " 2", ")", ",", "\n",
            // C = MAKE(1,\n 2), D : a call that does not close on its line gives C up
            " C", " =", " MAKE", "(", "1", ",", "\n", " 2", ")", ",", " D", "\n", " }", ";", "\n"});
  EXPECT_EQ(run.sink.fourCharacterCalls, (std::vector<std::string>{"ZOR_FOUR_BYTE('A','B','C','D')"}));
  // after C was given up, "2" and ")" are passed over in the list, and D follows
  EXPECT_EQ(run.sink.handed, (List{"A=1094861636 @0", "B=MAKE(1,2) @1094861637", "D @1094861637"}));
}

TEST(HeaderRecognizer, DirectivesInsideEnumsDoNotDisturbTheList) {
  const Scanned run = Feed(ScanPass::Enums, {" enum", " {", " A", " =", " 1", ",",     "\n", " #", "if",
                                             " X",    "\n", " B", "\n", " #", "endif", "\n", " #", "define",
                                             " Y",    " (", "2",  ")",  "\n", " C",    " }"});
  EXPECT_EQ(run.sink.handed, (List{"A=1 @0", "B @2", "C @3"}));
}

}  // namespace
