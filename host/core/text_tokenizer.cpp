#include "core/text_tokenizer.h"

#include <cctype>
#include <utility>

#include "files/input_file.h"

namespace zorhost {
namespace {

bool is_word_start(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool is_word_char(char c) {
  return is_word_start(c) || std::isdigit(static_cast<unsigned char>(c));
}
bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Longest first. "/", "*" and "#" never join another character: the caller builds comments and
// directives from them.
constexpr std::string_view kLongOperators[] = {
    "<<=", ">>=", "...", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||",
    "->",  "++",  "--",  "+=", "-=", "%=", "&=", "|=", "^=", "::"};
constexpr std::string_view kOperatorChars = "+-%&|^!~<>?.";

}  // namespace

bool TextTokenizer::open(const std::filesystem::path& file) {
  open_ = false;
  name_ = file.string();
  std::string text;
  std::string reason;
  if (!read_input_file(file, &text, &reason)) {
    error_ = "cannot read " + name_ + ": " + reason;
    return false;
  }
  open_text(std::move(text), name_);
  return true;
}

void TextTokenizer::open_text(std::string text, std::string name) {
  input_ = std::move(text);
  name_ = std::move(name);
  error_.clear();
  pos_ = 0;
  line_ = 1;
  column_ = 1;
  open_ = true;
  after_line_end_ = true;
  kind_ = TokenKind::kEndOfInput;
  text_.clear();
  separated_ = false;
}

void TextTokenizer::advance(size_t count) {
  for (size_t i = 0; i < count && pos_ < input_.size(); ++i) {
    const char c = input_[pos_++];
    if (c == '\n' || (c == '\r' && at(0) != '\n')) {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
  }
}

bool TextTokenizer::at_joined_line_end() const {
  return at(0) == '\\' && (at(1) == '\n' || at(1) == '\r');
}

bool TextTokenizer::next() {
  if (!open_) return false;
  bool blank = after_line_end_;
  for (;;) {
    const char c = at(0);
    if ((c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\0') && pos_ < input_.size()) {
      advance(1);
    } else if (at_joined_line_end()) {
      advance(at(1) == '\r' && at(2) == '\n' ? 3 : 2);
    } else {
      break;
    }
    blank = true;
  }
  separated_ = blank;
  after_line_end_ = false;
  token_line_ = line_;
  token_column_ = column_;
  text_.clear();
  const size_t start = pos_;
  const char c = at(0);

  if (pos_ >= input_.size()) {
    kind_ = TokenKind::kEndOfInput;
    return true;
  }
  if (c == '\n' || c == '\r') {
    advance(c == '\r' && at(1) == '\n' ? 2 : 1);
    kind_ = TokenKind::kEndOfLine;
    after_line_end_ = true;
    return true;
  }
  if (is_word_start(c)) {
    while (is_word_char(at(0))) advance(1);
    kind_ = TokenKind::kWord;
  } else if (is_digit(c) || (c == '.' && is_digit(at(1)))) {
    for (;;) {
      const char d = at(0);
      const char prev = input_[pos_ - (pos_ > start ? 1 : 0)];
      if (is_word_char(d) || d == '.') {
        advance(1);
      } else if ((d == '+' || d == '-') && pos_ > start &&
                 (prev == 'e' || prev == 'E' || prev == 'p' || prev == 'P')) {
        advance(1);
      } else {
        break;
      }
    }
    kind_ = TokenKind::kNumber;
  } else if (c == '"' || c == '\'') {
    read_quoted(c);
  } else {
    kind_ = kOperatorChars.find(c) != std::string_view::npos ? TokenKind::kOperator : TokenKind::kOther;
    size_t length = 1;
    for (std::string_view op : kLongOperators) {
      if (input_.compare(pos_, op.size(), op) == 0) {
        length = op.size();
        kind_ = TokenKind::kOperator;
        break;
      }
    }
    if (length == 1) {
      switch (c) {
        case '{':
          kind_ = TokenKind::kOpenBrace;
          break;
        case '}':
          kind_ = TokenKind::kCloseBrace;
          break;
        case '(':
          kind_ = TokenKind::kOpenBracket;
          break;
        case ')':
          kind_ = TokenKind::kCloseBracket;
          break;
        case '[':
          kind_ = TokenKind::kOpenSquare;
          break;
        case ']':
          kind_ = TokenKind::kCloseSquare;
          break;
        case '/':
          kind_ = TokenKind::kSlash;
          break;
        case '=':
          kind_ = TokenKind::kEquals;
          break;
        case ',':
          kind_ = TokenKind::kComma;
          break;
        case ';':
          kind_ = TokenKind::kSemicolon;
          break;
        case ':':
          kind_ = TokenKind::kColon;
          break;
        case '#':
          kind_ = TokenKind::kHash;
          break;
        case '*':
          kind_ = TokenKind::kStar;
          break;
        default:
          break;
      }
    }
    advance(length);
  }
  text_.assign(input_, start, pos_ - start);
  return true;
}

// A quoted token never runs past its line, and a string that its line does not close is only its quote.
// Character constants hold at most four characters, so that an apostrophe in running text (a comment saying
// "don't") is one short token and not the rest of the line with the comment's end in it.
void TextTokenizer::read_quoted(char quote) {
  kind_ = quote == '"' ? TokenKind::kString : TokenKind::kCharacter;
  advance(1);
  auto at_line_end = [&] { return pos_ >= input_.size() || at(0) == '\n' || at(0) == '\r'; };
  auto one_char = [&] {
    if (at(0) == '\\' && !(at(1) == '\n' || at(1) == '\r' || pos_ + 1 >= input_.size())) {
      advance(2);
    } else {
      advance(1);
    }
  };
  if (quote == '"') {
    const size_t after_quote = pos_;
    const int32_t quote_line = line_;
    const int32_t quote_column = column_;
    while (!at_line_end() && at(0) != '"') one_char();
    if (at(0) == '"') {
      advance(1);
      return;
    }
    // Not closed on its line: a stray double quote (a comment quoting "ditto"), a token of its own,
    // so that the comment's end after it is still seen.
    pos_ = after_quote;
    line_ = quote_line;
    column_ = quote_column;
    return;
  }
  if (at_line_end()) return;  // a lone quote
  one_char();
  const size_t after_first = pos_;
  const int32_t line = line_;
  const int32_t column = column_;
  for (int count = 1; count <= 4 && !at_line_end(); ++count) {
    if (at(0) == '\'') {
      advance(1);
      return;
    }
    if (count == 4) break;
    one_char();
  }
  // No closing quote: the quote and its first character.
  pos_ = after_first;
  line_ = line;
  column_ = column;
}

void TextTokenizer::skip_to_line_end() {
  if (!open_) return;
  while (pos_ < input_.size()) {
    if (at_joined_line_end()) {
      advance(at(1) == '\r' && at(2) == '\n' ? 3 : 2);
    } else if (at(0) == '\n' || at(0) == '\r') {
      break;
    } else {
      advance(1);
    }
  }
}

}  // namespace zorhost
