// Tokens of the GUI script language and of the symbol headers it includes (docs/gui-script-language.md).
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zorhost::script {

// A fault in a source file, with its 1-based place; the compiler turns it into "file:line:column: ...".
struct SourceError : std::runtime_error {
  SourceError(int32_t line, int32_t column, const std::string& message)
      : std::runtime_error(message), line(line), column(column) {}
  int32_t line;
  int32_t column;
};

enum class Tok { kEnd, kName, kNumber, kString, kPunct };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;    // the name, the punctuator, or the decoded string
  int32_t number = 0;  // a number's value (32 bits; hexadecimal up to 0xFFFFFFFF as its bit pattern)
  int32_t line = 1;
  int32_t column = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}
  // The next token; comments and blanks are skipped. Throws SourceError on a malformed token.
  Token next();

 private:
  char at(size_t offset = 0) const { return pos_ + offset < text_.size() ? text_[pos_ + offset] : '\0'; }
  void advance();
  void skip_blanks_and_comments();
  Token number(Token t);
  Token string_literal(Token t);
  Token character(Token t);
  int escape(int32_t line, int32_t column);

  std::string_view text_;
  size_t pos_ = 0;
  int32_t line_ = 1;
  int32_t column_ = 1;
};

}  // namespace zorhost::script
