// The core framework's text tokenizer: reads a text file as C-like tokens for the module's header
// scanner and source listers. It does not know comments: a comment's slash and star come out as tokens
// of their own, and the caller decides what is a comment.
//
// Tokens (the kinds are the core framework's NEXAL_TOKEN_ codes):
// - words: a letter, "_" or a byte of 0x80 and above, followed by those and digits;
// - numbers: a digit (or a point and a digit) followed by letters, digits, underscores, points and
//   the sign of an exponent (C's preprocessing numbers: 0x1F, 10UL, 1.5e-3f), text unchanged;
// - character constants: a quote, up to four characters (escapes count as one) and the closing quote;
//   when no closing quote follows within four characters, the quote and one character only, so that
//   an apostrophe in a comment ("don't */") never swallows the comment's end;
// - string literals: from the double quote to the closing one on the same line, escapes kept; a
//   double quote that its line does not close is a string token of its own, one character long, so
//   that a quote in a comment (/* "  ditto */) never swallows the comment's end;
// - { } ( ) [ ] / = , ; # * : each a token of its own, "/", "*" and "#" always;
// - every other C operator, longest first, as one token (<<= -> ++ == ! ~ . ? ::); any other byte
//   (@ $ ` a stray backslash) is a token of the other kind;
// - end of line (empty text) for every line end ("\n", "\r\n" or "\r"), end of input at the end.
// A backslash right before a line end joins the lines: it and the line end count as white space.
// White space is blanks, tabs, form feeds, vertical tabs and zero bytes.
//
// The separation flag is set when white space or a line end stands between a token and the one before
// it; the first token of the file and the first token after an end of line count as separated, so a
// directive on the first line or at the start of any line is seen.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zorhost {

enum class TokenKind : int32_t {
  kEndOfInput = 1,
  kWord = 2,
  kNumber = 3,
  kString = 4,
  kCharacter = 5,
  kEndOfLine = 6,
  kOpenBrace = 7,
  kCloseBrace = 8,
  kOpenBracket = 9,
  kCloseBracket = 10,
  kOpenSquare = 11,
  kCloseSquare = 12,
  kSlash = 13,
  kEquals = 14,
  kComma = 15,
  kSemicolon = 16,
  kColon = 17,
  kOperator = 18,  // every other C operator
  kHash = 20,
  kStar = 21,
  kOther = 22,  // any other byte
};

class TextTokenizer {
 public:
  // Reads the whole file. false with error() naming the file and the reason (missing, a folder,
  // unreadable).
  bool open(const std::filesystem::path& file);
  // Tokenizes text held in memory; name is what errors and lines refer to.
  void open_text(std::string text, std::string name = "");

  // Moves to the next token. At the end it stays at end of input. false only when nothing is open.
  bool next();
  // Skips the rest of the current line: the next token is the line's end of line (or end of input).
  void skip_to_line_end();

  TokenKind kind() const { return kind_; }
  const std::string& text() const { return text_; }
  bool separated() const { return separated_; }
  bool is(std::string_view text) const { return text_ == text; }
  // 1-based line and column of the current token
  int32_t line() const { return token_line_; }
  int32_t column() const { return token_column_; }

  const std::string& error() const { return error_; }
  const std::string& name() const { return name_; }

 private:
  char at(size_t offset) const { return pos_ + offset < input_.size() ? input_[pos_ + offset] : '\0'; }
  void advance(size_t count);
  bool at_joined_line_end() const;
  void read_quoted(char quote);

  std::string input_;
  std::string name_;
  std::string error_;
  size_t pos_ = 0;
  int32_t line_ = 1;
  int32_t column_ = 1;
  bool open_ = false;
  bool after_line_end_ = true;  // the first token counts as separated

  TokenKind kind_ = TokenKind::kEndOfInput;
  std::string text_;
  bool separated_ = false;
  int32_t token_line_ = 1;
  int32_t token_column_ = 1;
};

}  // namespace zorhost
