#include "scripts/expression_evaluator.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace zorhost {
namespace {

// A value as C sees it in a constant expression: an integer (kept in 64 bits, wrapping like unsigned
// arithmetic so that no overflow is undefined) or a double. Integer operands meet with C's usual
// conversions: a double on either side makes the operation a floating one.
struct Value {
  bool is_float = false;
  int64_t i = 0;
  double d = 0.0;

  double as_double() const { return is_float ? d : static_cast<double>(i); }
  bool truth() const { return is_float ? d != 0.0 : i != 0; }
};

Value integer(int64_t i) {
  return Value{false, i, 0.0};
}
Value floating(double d) {
  return Value{true, 0, d};
}

int64_t wrap_add(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t wrap_sub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t wrap_mul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

class Parser {
 public:
  Parser(std::string_view text, bool floating_mode, int32_t radix)
      : text_(text), floating_mode_(floating_mode), radix_(radix >= 2 && radix <= 36 ? radix : 10) {}

  // The value, with error() zero on success. Parsing stops at the first syntax error; a name or an
  // arithmetic fault is noted and parsing goes on, so that the code tells every kind of fault it met.
  Value run() {
    Value v = logical_or();
    skip_blanks();
    if (!failed_syntax() && pos_ < text_.size()) error_ |= kEvalSyntax;
    return v;
  }
  int32_t error() const { return error_; }

 private:
  bool failed_syntax() const { return (error_ & kEvalSyntax) != 0; }

  void skip_blanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  char peek() {
    skip_blanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  char peek_next() const { return pos_ + 1 < text_.size() ? text_[pos_ + 1] : '\0'; }
  // Consumes op when it stands next and is not the start of a longer operator listed in not_before.
  bool take(std::string_view op, std::string_view not_before = {}) {
    skip_blanks();
    if (text_.substr(pos_, op.size()) != op) return false;
    const size_t after = pos_ + op.size();
    if (after < text_.size() && not_before.find(text_[after]) != std::string_view::npos) return false;
    pos_ = after;
    return true;
  }

  // Each level below is one row of C's precedence table, loosest first; all are left associative.
  Value logical_or() {
    Value v = logical_and();
    while (!failed_syntax() && take("||")) {
      Value r = logical_and();
      v = integer(v.truth() || r.truth());
    }
    return v;
  }
  Value logical_and() {
    Value v = bit_or();
    while (!failed_syntax() && take("&&")) {
      Value r = bit_or();
      v = integer(v.truth() && r.truth());
    }
    return v;
  }
  Value bit_or() {
    Value v = bit_xor();
    while (!failed_syntax() && take("|", "|")) v = integer_op(v, bit_xor(), '|');
    return v;
  }
  Value bit_xor() {
    Value v = bit_and();
    while (!failed_syntax() && take("^")) v = integer_op(v, bit_and(), '^');
    return v;
  }
  Value bit_and() {
    Value v = equality();
    while (!failed_syntax() && take("&", "&")) v = integer_op(v, equality(), '&');
    return v;
  }
  Value equality() {
    Value v = relational();
    while (!failed_syntax()) {
      if (take("==")) {
        v = compare(v, relational(), [](auto a, auto b) { return a == b; });
      } else if (take("!=")) {
        v = compare(v, relational(), [](auto a, auto b) { return a != b; });
      } else {
        break;
      }
    }
    return v;
  }
  Value relational() {
    Value v = shift();
    while (!failed_syntax()) {
      if (take("<=")) {
        v = compare(v, shift(), [](auto a, auto b) { return a <= b; });
      } else if (take(">=")) {
        v = compare(v, shift(), [](auto a, auto b) { return a >= b; });
      } else if (take("<", "<")) {
        v = compare(v, shift(), [](auto a, auto b) { return a < b; });
      } else if (take(">", ">")) {
        v = compare(v, shift(), [](auto a, auto b) { return a > b; });
      } else {
        break;
      }
    }
    return v;
  }
  Value shift() {
    Value v = additive();
    while (!failed_syntax()) {
      if (take("<<")) {
        v = integer_op(v, additive(), '<');
      } else if (take(">>")) {
        v = integer_op(v, additive(), '>');
      } else {
        break;
      }
    }
    return v;
  }
  Value additive() {
    Value v = multiplicative();
    while (!failed_syntax()) {
      if (take("+")) {
        v = arithmetic(v, multiplicative(), '+');
      } else if (take("-")) {
        v = arithmetic(v, multiplicative(), '-');
      } else {
        break;
      }
    }
    return v;
  }
  Value multiplicative() {
    Value v = unary();
    while (!failed_syntax()) {
      if (take("*")) {
        v = arithmetic(v, unary(), '*');
      } else if (take("/")) {
        v = arithmetic(v, unary(), '/');
      } else if (take("%")) {
        v = integer_op(v, unary(), '%');
      } else {
        break;
      }
    }
    return v;
  }
  Value unary() {
    // Brackets and unary operators recurse; a value text from a header cannot exhaust the stack.
    if (++depth_ > kMaxDepth) {
      error_ |= kEvalSyntax;
      pos_ = text_.size();
      --depth_;
      return integer(0);
    }
    Value v = unary_operand();
    --depth_;
    return v;
  }
  Value unary_operand() {
    if (take("-")) {
      Value v = unary();
      return v.is_float ? floating(-v.d) : integer(wrap_sub(0, v.i));
    }
    if (take("+")) return unary();
    if (take("!")) return integer(!unary().truth());
    if (take("~")) {
      Value v = unary();
      if (!as_integer(v)) return integer(0);
      return integer(~v.i);
    }
    return primary();
  }
  Value primary() {
    const char c = peek();
    if (c == '(') {
      ++pos_;
      Value v = logical_or();
      if (!take(")")) error_ |= kEvalSyntax;
      return v;
    }
    if (c == '\'') return character();
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        (c == '.' && std::isdigit(static_cast<unsigned char>(peek_next())))) {
      return number();
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
        ++pos_;
      }
      error_ |= kEvalUnknownName;
      return integer(0);
    }
    error_ |= kEvalSyntax;
    return integer(0);
  }

  // A number token runs over letters, digits, points and the sign of an exponent, as C's
  // preprocessing numbers do; the whole token must then be one valid number.
  Value number() {
    const size_t start = pos_;
    while (pos_ < text_.size()) {
      const char ch = text_[pos_];
      const char prev = pos_ > start ? text_[pos_ - 1] : '\0';
      const bool hex = text_.size() - start > 1 && (text_[start + 1] == 'x' || text_[start + 1] == 'X');
      if (std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '_') {
        ++pos_;
      } else if ((ch == '+' || ch == '-') && !hex && (prev == 'e' || prev == 'E')) {
        ++pos_;
      } else {
        break;
      }
    }
    return parse_number(text_.substr(start, pos_ - start));
  }

  Value parse_number(std::string_view token) {
    const bool hex = token.size() > 1 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    const bool has_point_or_exponent = token.find('.') != std::string_view::npos ||
                                       (!hex && token.find_first_of("eE") != std::string_view::npos);
    if (has_point_or_exponent) {
      if (!floating_mode_) {
        error_ |= kEvalSyntax;
        return integer(0);
      }
      std::string digits(token);
      if (!digits.empty() &&
          (digits.back() == 'f' || digits.back() == 'F' || digits.back() == 'l' || digits.back() == 'L')) {
        digits.pop_back();
      }
      char* end = nullptr;
      errno = 0;
      const double d = std::strtod(digits.c_str(), &end);
      if (digits.empty() || end != digits.c_str() + digits.size() || errno == ERANGE || !std::isfinite(d)) {
        error_ |= kEvalSyntax;
        return floating(0.0);
      }
      return floating(d);
    }
    // Integer: strip the suffix, then the digits of its base must be all that is left.
    size_t end = token.size();
    while (end > 0 && (token[end - 1] == 'u' || token[end - 1] == 'U' || token[end - 1] == 'l' ||
                       token[end - 1] == 'L')) {
      --end;
    }
    std::string_view digits = token.substr(0, end);
    int base = radix_;
    if (hex) {
      base = 16;
      digits.remove_prefix(2);
    } else if (radix_ == 10 && digits.size() > 1 && digits[0] == '0') {
      base = 8;
      digits.remove_prefix(1);
    }
    if (digits.empty() || token.size() - end > 3) {
      error_ |= kEvalSyntax;
      return integer(0);
    }
    uint64_t value = 0;
    for (const char ch : digits) {
      int digit = 0;
      if (ch >= '0' && ch <= '9') {
        digit = ch - '0';
      } else if (ch >= 'a' && ch <= 'z') {
        digit = ch - 'a' + 10;
      } else if (ch >= 'A' && ch <= 'Z') {
        digit = ch - 'A' + 10;
      } else {
        digit = 99;
      }
      if (digit >= base || value > (std::numeric_limits<uint64_t>::max() - digit) / base) {
        error_ |= kEvalSyntax;
        return integer(0);
      }
      value = value * base + digit;
    }
    return integer(static_cast<int64_t>(value));
  }

  // 'a', '\n', '\101', '\x41', 'ab' (packed with the first character in the higher byte, as C
  // compilers do), and a quote with one character and no closing quote, which the four-character
  // codes of the symbol scanner hand over with their closing quote cut off.
  Value character() {
    ++pos_;  // the opening quote
    int64_t packed = 0;
    int count = 0;
    int first = 0;
    const size_t after_first = [&] {
      first = read_char();
      return pos_;
    }();
    if (first < 0) {
      error_ |= kEvalSyntax;
      return integer(0);
    }
    packed = first & 0xFF;
    count = 1;
    while (pos_ < text_.size() && text_[pos_] != '\'' && count < 5) {
      const int ch = read_char();
      if (ch < 0) break;
      packed = (packed << 8) | (ch & 0xFF);
      ++count;
    }
    if (pos_ < text_.size() && text_[pos_] == '\'' && count <= 4) {
      ++pos_;
      // One character is a char, signed as on the compilers the SDK is built with.
      if (count == 1) return integer(static_cast<signed char>(first));
      return integer(static_cast<int32_t>(static_cast<uint32_t>(packed)));
    }
    // No closing quote within four characters: the constant is the quote and its first character.
    pos_ = after_first;
    return integer(static_cast<signed char>(first));
  }

  // One character of a character constant, escapes decoded; -1 at the end of the text.
  int read_char() {
    if (pos_ >= text_.size()) return -1;
    const char c = text_[pos_++];
    if (c != '\\') return static_cast<unsigned char>(c);
    if (pos_ >= text_.size()) return -1;
    const char e = text_[pos_++];
    switch (e) {
      case 'n':
        return '\n';
      case 't':
        return '\t';
      case 'r':
        return '\r';
      case 'a':
        return '\a';
      case 'b':
        return '\b';
      case 'f':
        return '\f';
      case 'v':
        return '\v';
      case 'x': {
        int v = 0;
        int digits = 0;
        while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_])) && digits < 2) {
          const char h = text_[pos_++];
          v = v * 16 + (std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (std::tolower(h) - 'a' + 10));
          ++digits;
        }
        if (digits == 0) error_ |= kEvalSyntax;
        return v;
      }
      default:
        if (e >= '0' && e <= '7') {
          int v = e - '0';
          for (int digits = 1; digits < 3 && pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '7';
               ++digits) {
            v = v * 8 + (text_[pos_++] - '0');
          }
          return v & 0xFF;
        }
        return static_cast<unsigned char>(e);  // \\ \' \" \? and unknown escapes stand for themselves
    }
  }

  // A floating operand of an integer operator counts with its integer part (saturated to 64 bits).
  static bool as_integer(Value& v) {
    if (!v.is_float) return true;
    const double t = std::trunc(v.d);
    v = integer(std::isnan(t)  ? 0
                : t >= 9.2e18  ? std::numeric_limits<int64_t>::max()
                : t <= -9.2e18 ? std::numeric_limits<int64_t>::min()
                               : static_cast<int64_t>(t));
    return true;
  }

  Value integer_op(Value a, Value b, char op) {
    const bool was_float = a.is_float || b.is_float;
    if (!as_integer(a) || !as_integer(b)) return integer(0);
    int64_t r = 0;
    switch (op) {
      case '|':
        r = a.i | b.i;
        break;
      case '^':
        r = a.i ^ b.i;
        break;
      case '&':
        r = a.i & b.i;
        break;
      case '%':
        if (b.i == 0) {
          error_ |= kEvalDivision;
          return integer(0);
        }
        r = b.i == -1 ? 0 : a.i % b.i;
        break;
      case '<':
      case '>': {
        // A negative count shifts the other way; 64 or more shifts every bit out.
        const bool left = (op == '<') == (b.i >= 0);
        const uint64_t count = b.i >= 0 ? static_cast<uint64_t>(b.i) : 0 - static_cast<uint64_t>(b.i);
        if (left) {
          r = count > 63 ? 0 : static_cast<int64_t>(static_cast<uint64_t>(a.i) << count);
        } else {
          r = count > 63 ? (a.i < 0 ? -1 : 0) : a.i >> count;
        }
        break;
      }
    }
    return was_float ? floating(static_cast<double>(r)) : integer(r);
  }

  Value arithmetic(Value a, Value b, char op) {
    if (a.is_float || b.is_float) {
      const double x = a.as_double();
      const double y = b.as_double();
      switch (op) {
        case '+':
          return floating(x + y);
        case '-':
          return floating(x - y);
        case '*':
          return floating(x * y);
        default:
          if (y == 0.0) {
            error_ |= kEvalDivision;
            return floating(0.0);
          }
          return floating(x / y);
      }
    }
    switch (op) {
      case '+':
        return integer(wrap_add(a.i, b.i));
      case '-':
        return integer(wrap_sub(a.i, b.i));
      case '*':
        return integer(wrap_mul(a.i, b.i));
      default:
        if (b.i == 0) {
          error_ |= kEvalDivision;
          return integer(0);
        }
        // INT64_MIN / -1 overflows; the wrapped answer is INT64_MIN itself.
        return integer(b.i == -1 ? wrap_sub(0, a.i) : a.i / b.i);
    }
  }

  template <class Cmp>
  Value compare(Value a, Value b, Cmp cmp) {
    if (a.is_float || b.is_float) return integer(cmp(a.as_double(), b.as_double()) ? 1 : 0);
    return integer(cmp(a.i, b.i) ? 1 : 0);
  }

  std::string_view text_;
  bool floating_mode_;
  int radix_;
  static constexpr int kMaxDepth = 1000;
  int depth_ = 0;
  size_t pos_ = 0;
  int32_t error_ = 0;
};

bool blank(std::string_view text) {
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

IntegerEvaluation evaluate_integer(std::string_view text, int32_t radix) {
  IntegerEvaluation result;
  if (blank(text)) {
    result.error = kEvalEmpty;
    return result;
  }
  Parser parser(text, false, radix);
  const Value v = parser.run();
  result.error = parser.error();
  if (result.error != 0) return result;
  result.value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v.i)));
  // Only a result that is right in every other respect is reported as wrapped, so that a caller who
  // accepts wrapping never takes the value of a failed evaluation.
  if (v.i < std::numeric_limits<int32_t>::min() || v.i > std::numeric_limits<uint32_t>::max()) {
    result.error = kEvalWrapped;
    return result;
  }
  result.ok = true;
  return result;
}

FloatEvaluation evaluate_float(std::string_view text, int32_t radix) {
  FloatEvaluation result;
  if (blank(text)) {
    result.error = kEvalEmpty;
    return result;
  }
  Parser parser(text, true, radix);
  const Value v = parser.run();
  result.error = parser.error();
  if (result.error != 0) return result;
  result.value = v.as_double();
  result.ok = true;
  return result;
}

}  // namespace zorhost
