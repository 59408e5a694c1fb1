// Numbers to text and back, as the reports need them: decimal rounding half away from zero, padding
// of the integer part, and parsing that accepts a text only when all of it is one number.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorhost {

// Digit counts a caller asks for are bounded by this: far more than a double holds, and the text of a
// count from a careless caller (INT32_MAX) stays small.
constexpr int32_t kMaxFormatDigits = 64;

// fraction_digits after the point (below 0: none; above kMaxFormatDigits: that many); int_digits > 0 pads the
// integer part with fill to that many digits (at most kMaxFormatDigits) (a '0' fill goes after the sign, any
// other before it); exponent writes d.dddE+xx. Rounding works on the shortest decimal form that reads back as
// the same double, so 2.675 rounds to 2.68 as a person expects, although the nearest double lies just below
// it.
std::u32string format_float(double value, int32_t int_digits, int32_t fraction_digits, bool exponent,
                            char32_t fill);

// The whole text must be a number: an optional sign, then digits (and for floats a point and an
// exponent). Blanks are not accepted anywhere: a report token never has them, and a text with junk
// around a number is not that number.
std::optional<int64_t> parse_int(std::u32string_view text);
std::optional<double> parse_float(std::u32string_view text);

}  // namespace zorhost
