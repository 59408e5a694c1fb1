#include "strings/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zorhost {
namespace {

// The shortest decimal digits of |value| and the power of ten of the first digit.
void shortest_digits(double value, std::string& digits, int& exponent) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
  const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  const size_t e = text.find('e');
  digits.clear();
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
}

// Adds one to a decimal digit string; may make it one digit longer.
void increment(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      digits[i]++;
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// The first `keep` digits, rounded half away from zero by the digit after them.
std::string round_digits(const std::string& digits, int keep) {
  if (keep < 0) return "0";
  std::string kept = digits.substr(0, std::min<size_t>(keep, digits.size()));
  kept.resize(static_cast<size_t>(keep), '0');
  const char next = static_cast<size_t>(keep) < digits.size() ? digits[keep] : '0';
  if (kept.empty()) kept = "0";
  if (next >= '5') increment(kept);
  return kept;
}

bool is_zero(const std::string& digits) {
  return digits.find_first_not_of('0') == std::string::npos;
}

std::u32string widen(const std::string& text) {
  return std::u32string(text.begin(), text.end());
}

std::u32string format_exponent(double value, int fraction, const std::string& digits, int exponent) {
  std::string mantissa = round_digits(digits, 1 + fraction);
  if (mantissa.size() > static_cast<size_t>(1 + fraction)) {  // 9.99 became 10.0
    mantissa.pop_back();
    exponent++;
  }
  if (is_zero(mantissa)) exponent = 0;
  std::string out = value < 0 && !is_zero(mantissa) ? "-" : "";
  out += mantissa[0];
  if (fraction > 0) out += "." + mantissa.substr(1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return widen(out + tail);
}

std::optional<std::string> ascii(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) {
    if (c >= 0x80) return std::nullopt;
    out += static_cast<char>(c);
  }
  return out;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::u32string format_float(double value, int32_t int_digits, int32_t fraction_digits, bool exponent,
                            char32_t fill) {
  if (std::isnan(value)) return U"nan";
  if (std::isinf(value)) return value < 0 ? U"-inf" : U"inf";
  const int fraction = std::clamp(fraction_digits, 0, kMaxFormatDigits);
  int_digits = std::min(int_digits, kMaxFormatDigits);
  std::string digits;
  int first_power = 0;
  shortest_digits(value, digits, first_power);
  if (exponent) return format_exponent(value, fraction, digits, first_power);

  // units of 10^-fraction
  std::string units = round_digits(digits, first_power + 1 + fraction);
  const bool negative = value < 0 && !is_zero(units);
  if (units.size() < static_cast<size_t>(fraction + 1)) units.insert(0, fraction + 1 - units.size(), '0');
  const std::string integer_part = units.substr(0, units.size() - fraction);
  const std::string fraction_part = units.substr(units.size() - fraction);

  std::u32string padding;
  if (int_digits > 0 && integer_part.size() < static_cast<size_t>(int_digits)) {
    padding.assign(int_digits - integer_part.size(), fill);
  }
  std::u32string out;
  if (fill == U'0') {
    out = (negative ? U"-" : U"") + padding;
  } else {
    out = padding + (negative ? U"-" : U"");
  }
  out += widen(integer_part);
  if (fraction > 0) out += U"." + widen(fraction_part);
  return out;
}

// A number's text split into its sign and the ASCII text after it; none for other characters.
struct SignedText {
  bool negative = false;
  std::string rest;
};

std::optional<SignedText> split_sign(std::u32string_view text) {
  auto narrow = ascii(text);
  if (!narrow) return std::nullopt;
  SignedText out;
  std::string_view s = *narrow;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    out.negative = s[0] == '-';
    s.remove_prefix(1);
  }
  out.rest = std::string(s);
  return out;
}

std::optional<int64_t> parse_int(std::u32string_view text) {
  const auto split = split_sign(text);
  if (!split) return std::nullopt;
  const bool negative = split->negative;
  const std::string_view s = split->rest;
  if (s.empty() || !is_digit(s[0])) return std::nullopt;
  // parse with the sign so that the most negative value fits
  const std::string signed_text = (negative ? "-" : "") + std::string(s);
  int64_t value = 0;
  const auto result = std::from_chars(signed_text.data(), signed_text.data() + signed_text.size(), value);
  if (result.ec != std::errc() || result.ptr != signed_text.data() + signed_text.size()) return std::nullopt;
  return value;
}

std::optional<double> parse_float(std::u32string_view text) {
  const auto split = split_sign(text);
  if (!split) return std::nullopt;
  const bool negative = split->negative;
  const std::string_view s = split->rest;
  // from_chars also takes "inf", "nan" and hex forms; a report number is none of them
  if (s.empty() || !(is_digit(s[0]) || (s[0] == '.' && s.size() > 1 && is_digit(s[1])))) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != s.data() + s.size()) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace zorhost
