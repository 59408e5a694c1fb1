// The host's expression evaluator; expected values are what C gives, cast to a 32-bit int.
#include "scripts/expression_evaluator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using zorhost::evaluate_float;
using zorhost::evaluate_integer;

int32_t int_value(const char* text) {
  const auto r = evaluate_integer(text);
  EXPECT_TRUE(r.ok) << text << " error " << r.error;
  return r.value;
}

int32_t int_error(const char* text) {
  const auto r = evaluate_integer(text);
  EXPECT_FALSE(r.ok) << text << " gave " << r.value;
  return r.error;
}

// Each text with the value it must give (or, for ExpectErrors, the error it must report).
void ExpectValues() {}
template <class... Rest>
void ExpectValues(const char* text, int32_t value, Rest... rest) {
  EXPECT_EQ(int_value(text), value) << text;
  ExpectValues(rest...);
}
void ExpectErrors() {}
template <class... Rest>
void ExpectErrors(const char* text, int32_t error, Rest... rest) {
  EXPECT_EQ(int_error(text), error) << text;
  ExpectErrors(rest...);
}
void ExpectFloats() {}
template <class... Rest>
void ExpectFloats(const char* text, double value, Rest... rest) {
  const auto r = evaluate_float(text);
  EXPECT_TRUE(r.ok) << text << " error " << r.error;
  EXPECT_DOUBLE_EQ(r.value, value) << text;
  ExpectFloats(rest...);
}

TEST(ExpressionEvaluator, FollowsCPrecedenceAndAssociativity) {
  // "-7 / 2": C truncates toward zero
  // "-1 >> 1": arithmetic shift of a negative value
  ExpectValues("1+2*3", 1 + 2 * 3, "(1+2)*3", (1 + 2) * 3, "10-4-3", 10 - 4 - 3, "100/10/5", 100 / 10 / 5,
               "1<<2+3", 1 << (2 + 3), "1|2&3", 1 | (2 & 3), "6^3|8", (6 ^ 3) | 8, "1|4^5&7",
               1 | (4 ^ (5 & 7)), "3<4==1", (3 < 4) == 1, "1 << 4 >> 2", (1 << 4) >> 2,
               "2 > 1 && 0 || 5 >= 5", 1, "-~0", 1, "!0 + !7", 1, "-7 / 2", -3, "-7 % 3", -1,
               " ( ( 1 << 4 ) | 0x0F ) ", 0x1F, "-1 >> 1", -1, "5 != 5", 0, "3 <= 2", 0, "2 <= 2", 1);
}

TEST(ExpressionEvaluator, ReadsEveryBaseAndSuffix) {
  ExpectValues("0x7FFF", 0x7FFF, "0XabCd", 0xABCD, "017", 15, "0", 0, "100UL", 100, "0x10u", 16, "42LL", 42,
               "2147483647", 2147483647, "-2147483647-1", INT32_MIN);
  // "1.5": a floating number needs the floating mode
  ExpectErrors("09", zorhost::kEvalSyntax, "0x", zorhost::kEvalSyntax, "12abc", zorhost::kEvalSyntax, "1.5",
               zorhost::kEvalSyntax, "100000000000000000000", zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, ReadsCharacterConstantsWithAndWithoutClosingQuote) {
  // "'a": as the four-character codes hand their first three parts
  // "'\\xff'": a char is signed where the SDK is built
  ExpectValues("'a'", 'a', "'a", 'a', "'\\n'", '\n', "'\\''", '\'', "'\\x41'", 0x41, "'\\101'", 0101, "'\\0'",
               0, "'ab'", ('a' << 8) | 'b', "'bINI'", 0x62494E49, "('a'<<24)+('b'<<16)",
               ('a' << 24) + ('b' << 16), "'x'+1", 'x' + 1, "'\\xff'", -1);
  EXPECT_EQ(int_error("'"), zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, WrapsOnlyOtherwiseGoodResultsAndSaysSo) {
  // Values that fit 32 bits as unsigned numbers are C's casts to int.
  ExpectValues("0xFFFFFFFF", -1, "1 << 31", INT32_MIN, "0x80000000 | 1", INT32_MIN + 1);
  // Bit 8 means: right but too wide for 32 bits; the value is the low 32 bits, as C's cast gives.
  for (const auto& [text, low] : {std::pair{"1 << 40", 0}, {"-2147483649", INT32_MAX}, {"0x100000001", 1}}) {
    EXPECT_EQ(int_error(text), zorhost::kEvalWrapped) << text;
    EXPECT_EQ(evaluate_integer(text).value, low) << text;
  }
  // A result that has another fault never carries the bit, so its value is never taken.
  const auto r = evaluate_integer("0xFFFFFFFF + FOO");
  EXPECT_EQ(r.error & zorhost::kEvalWrapped, 0);
  EXPECT_FALSE(r.ok);
}

TEST(ExpressionEvaluator, NamesEachKindOfFailure) {
  EXPECT_NE(int_error("sizeof(Int16)") & zorhost::kEvalUnknownName, 0);
  // "1>>-3": a negative count shifts the other way
  ExpectValues("1<<64", 0, "-8>>70", -1, "1>>-3", 8);
  ExpectErrors("FOO", zorhost::kEvalUnknownName, "FOO+1", zorhost::kEvalUnknownName, "1/0",
               zorhost::kEvalDivision, "1%(2-2)", zorhost::kEvalDivision, "", zorhost::kEvalEmpty, " \t ",
               zorhost::kEvalEmpty, "(1+2", zorhost::kEvalSyntax, "1+2)", zorhost::kEvalSyntax, "1 2",
               zorhost::kEvalSyntax, "1 +", zorhost::kEvalSyntax, "(int)5",
               zorhost::kEvalUnknownName | zorhost::kEvalSyntax, "1 ? 2 : 3", zorhost::kEvalSyntax);
  // Nesting that would exhaust the stack is refused, not followed.
  EXPECT_EQ(int_error(std::string(100000, '(').c_str()), zorhost::kEvalSyntax);
  EXPECT_EQ(int_value((std::string(500, '(') + "7" + std::string(500, ')')).c_str()), 7);
  EXPECT_EQ(int_error(std::string(100000, '-').c_str()), zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, ReadsUnprefixedNumbersInTheGivenRadix) {
  EXPECT_EQ(evaluate_integer("10 + 0x10", 16).value, 0x10 + 0x10);
  EXPECT_EQ(evaluate_integer("101", 2).value, 5);
  EXPECT_EQ(evaluate_integer("010", 16).value, 16);  // a leading zero is octal only in radix 10
  EXPECT_EQ(evaluate_integer("2", 2).error, zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, FloatingModeFollowsCConversions) {
  // "7/2 + 0.5": 7/2 is an integer division in C
  // "5.75 | 2": bit operators take the integer parts
  ExpectFloats("1.5", 1.5, "0.0", 0.0, "2.5f*2", 5.0, ".5 + 1e1", 10.5, "1.5e-1", 0.15, "7/2 + 0.5", 3.5,
               "7.0/2", 3.5, "0x10 | 1", 17.0, "-(1.25)", -1.25, "4.0 >= 3", 1.0, "5.75 | 2", 7.0, "7.5 % 2",
               1.0);
  EXPECT_EQ(evaluate_float("1.0/0").error, zorhost::kEvalDivision);
  EXPECT_EQ(evaluate_float("").error, zorhost::kEvalEmpty);
  EXPECT_EQ(evaluate_float("1.2.3").error, zorhost::kEvalSyntax);
  EXPECT_EQ(evaluate_float("1e").error, zorhost::kEvalSyntax);
  EXPECT_EQ(evaluate_float("PI * 2.0").error, zorhost::kEvalUnknownName);
}

}  // namespace
