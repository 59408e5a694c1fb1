#include "scripts/script_lexer.h"

#include <cctype>

namespace zorhost::script {
namespace {

bool name_start(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

constexpr std::string_view kTwoCharPunct[] = {"<<", ">>", "<=", ">=", "==", "!=", "&&", "||"};

}  // namespace

void Lexer::advance() {
  if (pos_ >= text_.size()) return;
  if (text_[pos_] == '\n') {
    ++line_;
    column_ = 1;
  } else {
    ++column_;
  }
  ++pos_;
}

void Lexer::skip_blanks_and_comments() {
  for (;;) {
    const char c = at();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      advance();
    } else if (c == '/' && at(1) == '/') {
      while (pos_ < text_.size() && at() != '\n') advance();
    } else if (c == '/' && at(1) == '*') {
      const int32_t line = line_;
      const int32_t column = column_;
      advance();
      advance();
      while (pos_ < text_.size() && !(at() == '*' && at(1) == '/')) advance();
      if (pos_ >= text_.size()) throw SourceError(line, column, "comment not closed");
      advance();
      advance();
    } else {
      return;
    }
  }
}

Token Lexer::next() {
  skip_blanks_and_comments();
  Token t;
  t.line = line_;
  t.column = column_;
  const char c = at();
  if (pos_ >= text_.size()) return t;
  if (name_start(c)) {
    t.kind = Tok::kName;
    while (name_char(at())) {
      t.text += at();
      advance();
    }
    return t;
  }
  if (std::isdigit(static_cast<unsigned char>(c))) return number(t);
  if (c == '"') return string_literal(t);
  if (c == '\'') return character(t);
  t.kind = Tok::kPunct;
  for (std::string_view op : kTwoCharPunct) {
    if (text_.substr(pos_, 2) == op) {
      advance();
      advance();
      // made whole rather than assigned: GCC 12's optimiser takes an assignment into the token's
      // short-string buffer for a read of uninitialised bytes
      return Token{Tok::kPunct, std::string(op), 0, t.line, t.column};
    }
  }
  if (std::string_view("{}()[];,=+-*/%<>!~&|^#").find(c) == std::string_view::npos) {
    throw SourceError(t.line, t.column,
                      std::isprint(static_cast<unsigned char>(c))
                          ? std::string("unexpected character '") + c + "'"
                          : "unexpected byte " + std::to_string(static_cast<unsigned char>(c)));
  }
  t.text = std::string(1, c);
  advance();
  return t;
}

Token Lexer::number(Token t) {
  t.kind = Tok::kNumber;
  std::string digits;
  while (name_char(at())) {
    digits += at();
    advance();
  }
  int base = 10;
  std::string_view body = digits;
  if (body.size() > 1 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
    base = 16;
    body.remove_prefix(2);
  }
  uint64_t value = 0;
  bool good = !body.empty();
  for (const char ch : body) {
    const int digit = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
                      : std::isxdigit(static_cast<unsigned char>(ch))
                          ? std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10
                          : 99;
    if (digit >= base) {
      good = false;
      break;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) {
      throw SourceError(t.line, t.column, "number " + digits + " does not fit in 32 bits");
    }
  }
  if (!good) throw SourceError(t.line, t.column, "malformed number '" + digits + "'");
  t.text = digits;
  t.number = static_cast<int32_t>(static_cast<uint32_t>(value));
  return t;
}

int Lexer::escape(int32_t line, int32_t column) {
  advance();  // the backslash
  const char e = at();
  if (pos_ >= text_.size() || e == '\n') throw SourceError(line, column, "escape at the end of the line");
  advance();
  switch (e) {
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    case '0':
      return 0;
    case '\\':
      return '\\';
    case '\'':
      return '\'';
    case '"':
      return '"';
    default:
      throw SourceError(line_, column_ - 2, std::string("unknown escape '\\") + e + "'");
  }
}

Token Lexer::string_literal(Token t) {
  t.kind = Tok::kString;
  advance();
  for (;;) {
    const char c = at();
    if (pos_ >= text_.size() || c == '\n') throw SourceError(t.line, t.column, "string not closed");
    if (c == '"') {
      advance();
      return t;
    }
    if (c == '\\') {
      t.text += static_cast<char>(escape(t.line, t.column));
    } else {
      t.text += c;
      advance();
    }
  }
}

// 'a' is the character's code; up to four characters pack into one number, the first in the highest
// byte, so that four-character codes ('bINI') read as the host writes them.
Token Lexer::character(Token t) {
  t.kind = Tok::kNumber;
  advance();
  uint32_t value = 0;
  int count = 0;
  for (;;) {
    const char c = at();
    if (pos_ >= text_.size() || c == '\n')
      throw SourceError(t.line, t.column, "character constant not closed");
    if (c == '\'') {
      advance();
      break;
    }
    const int ch = c == '\\' ? escape(t.line, t.column) : (advance(), static_cast<unsigned char>(c));
    value = (value << 8) | static_cast<uint32_t>(ch & 0xFF);
    if (++count > 4) throw SourceError(t.line, t.column, "character constant longer than four characters");
  }
  if (count == 0) throw SourceError(t.line, t.column, "empty character constant");
  t.number = static_cast<int32_t>(value);
  t.text = std::to_string(t.number);
  return t;
}

}  // namespace zorhost::script
