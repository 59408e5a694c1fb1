// The host's expression evaluator against the constants SDK headers write, checked against what a C
// compiler gives for the same text (the expected values below are C's, cast to a 32-bit int).
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

TEST(ExpressionEvaluator, FollowsCPrecedenceAndAssociativity) {
  EXPECT_EQ(int_value("1+2*3"), 1 + 2 * 3);
  EXPECT_EQ(int_value("(1+2)*3"), (1 + 2) * 3);
  EXPECT_EQ(int_value("10-4-3"), 10 - 4 - 3);
  EXPECT_EQ(int_value("100/10/5"), 100 / 10 / 5);
  EXPECT_EQ(int_value("1<<2+3"), 1 << (2 + 3));
  EXPECT_EQ(int_value("1|2&3"), 1 | (2 & 3));
  EXPECT_EQ(int_value("6^3|8"), (6 ^ 3) | 8);
  EXPECT_EQ(int_value("1|4^5&7"), 1 | (4 ^ (5 & 7)));
  EXPECT_EQ(int_value("3<4==1"), (3 < 4) == 1);
  EXPECT_EQ(int_value("1 << 4 >> 2"), (1 << 4) >> 2);
  EXPECT_EQ(int_value("2 > 1 && 0 || 5 >= 5"), 1);
  EXPECT_EQ(int_value("-~0"), 1);
  EXPECT_EQ(int_value("!0 + !7"), 1);
  EXPECT_EQ(int_value("-7 / 2"), -3);  // C truncates toward zero
  EXPECT_EQ(int_value("-7 % 3"), -1);
  EXPECT_EQ(int_value(" ( ( 1 << 4 ) | 0x0F ) "), 0x1F);
  EXPECT_EQ(int_value("-1 >> 1"), -1);  // arithmetic shift of a negative value
  EXPECT_EQ(int_value("5 != 5"), 0);
  EXPECT_EQ(int_value("3 <= 2"), 0);
}

TEST(ExpressionEvaluator, ReadsEveryBaseAndSuffix) {
  EXPECT_EQ(int_value("0x7FFF"), 0x7FFF);
  EXPECT_EQ(int_value("0XabCd"), 0xABCD);
  EXPECT_EQ(int_value("017"), 15);
  EXPECT_EQ(int_value("0"), 0);
  EXPECT_EQ(int_value("100UL"), 100);
  EXPECT_EQ(int_value("0x10u"), 16);
  EXPECT_EQ(int_value("42LL"), 42);
  EXPECT_EQ(int_value("2147483647"), 2147483647);
  EXPECT_EQ(int_value("-2147483647-1"), INT32_MIN);
  EXPECT_EQ(int_error("09"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("0x"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("12abc"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("1.5"), zorhost::kEvalSyntax);  // a floating number needs the floating mode
  EXPECT_EQ(int_error("100000000000000000000"), zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, ReadsCharacterConstantsWithAndWithoutClosingQuote) {
  EXPECT_EQ(int_value("'a'"), 'a');
  EXPECT_EQ(int_value("'a"), 'a');  // as the four-character codes hand their first three parts
  EXPECT_EQ(int_value("'\\n'"), '\n');
  EXPECT_EQ(int_value("'\\''"), '\'');
  EXPECT_EQ(int_value("'\\x41'"), 0x41);
  EXPECT_EQ(int_value("'\\101'"), 0101);
  EXPECT_EQ(int_value("'\\0'"), 0);
  EXPECT_EQ(int_value("'ab'"), ('a' << 8) | 'b');
  EXPECT_EQ(int_value("'bINI'"), 0x62494E49);
  EXPECT_EQ(int_value("('a'<<24)+('b'<<16)"), ('a' << 24) + ('b' << 16));
  EXPECT_EQ(int_value("'x'+1"), 'x' + 1);
  EXPECT_EQ(int_value("'\\xff'"), -1);  // a char is signed where the SDK is built
  EXPECT_EQ(int_error("'"), zorhost::kEvalSyntax);
}

TEST(ExpressionEvaluator, WrapsOnlyOtherwiseGoodResultsAndSaysSo) {
  // Values that fit 32 bits as unsigned numbers are C's casts to int.
  EXPECT_EQ(int_value("0xFFFFFFFF"), -1);
  EXPECT_EQ(int_value("1 << 31"), INT32_MIN);
  EXPECT_EQ(int_value("0x80000000 | 1"), INT32_MIN + 1);
  // Bit 8 means: right but too wide for 32 bits; the value is the low 32 bits, as C's cast gives.
  auto r = evaluate_integer("1 << 40");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, zorhost::kEvalWrapped);
  EXPECT_EQ(r.value, 0);
  r = evaluate_integer("-2147483649");
  EXPECT_EQ(r.error, zorhost::kEvalWrapped);
  EXPECT_EQ(r.value, INT32_MAX);
  r = evaluate_integer("0x100000001");
  EXPECT_EQ(r.error, zorhost::kEvalWrapped);
  EXPECT_EQ(r.value, 1);
  // A result that has another fault never carries the bit, so its value is never taken.
  r = evaluate_integer("0xFFFFFFFF + FOO");
  EXPECT_EQ(r.error & zorhost::kEvalWrapped, 0);
  EXPECT_FALSE(r.ok);
}

TEST(ExpressionEvaluator, NamesEachKindOfFailure) {
  EXPECT_EQ(int_error("FOO"), zorhost::kEvalUnknownName);
  EXPECT_EQ(int_error("FOO+1"), zorhost::kEvalUnknownName);
  EXPECT_NE(int_error("sizeof(Int16)") & zorhost::kEvalUnknownName, 0);
  EXPECT_EQ(int_error("1/0"), zorhost::kEvalDivision);
  EXPECT_EQ(int_error("1%(2-2)"), zorhost::kEvalDivision);
  EXPECT_EQ(int_value("1<<64"), 0);
  EXPECT_EQ(int_value("-8>>70"), -1);
  EXPECT_EQ(int_value("1>>-3"), 8);  // a negative count shifts the other way
  EXPECT_EQ(int_error(""), zorhost::kEvalEmpty);
  EXPECT_EQ(int_error(" \t "), zorhost::kEvalEmpty);
  EXPECT_EQ(int_error("(1+2"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("1+2)"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("1 2"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("1 +"), zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("(int)5"), zorhost::kEvalUnknownName | zorhost::kEvalSyntax);
  EXPECT_EQ(int_error("1 ? 2 : 3"), zorhost::kEvalSyntax);
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
  auto f = evaluate_float("1.5");
  EXPECT_TRUE(f.ok);
  EXPECT_DOUBLE_EQ(f.value, 1.5);
  EXPECT_DOUBLE_EQ(evaluate_float("0.0").value, 0.0);
  EXPECT_TRUE(evaluate_float("0.0").ok);
  EXPECT_DOUBLE_EQ(evaluate_float("2.5f*2").value, 5.0);
  EXPECT_DOUBLE_EQ(evaluate_float(".5 + 1e1").value, 10.5);
  EXPECT_DOUBLE_EQ(evaluate_float("1.5e-1").value, 0.15);
  EXPECT_DOUBLE_EQ(evaluate_float("7/2 + 0.5").value, 3.5);  // 7/2 is an integer division in C
  EXPECT_DOUBLE_EQ(evaluate_float("7.0/2").value, 3.5);
  EXPECT_DOUBLE_EQ(evaluate_float("0x10 | 1").value, 17.0);
  EXPECT_DOUBLE_EQ(evaluate_float("-(1.25)").value, -1.25);
  EXPECT_DOUBLE_EQ(evaluate_float("4.0 >= 3").value, 1.0);
  EXPECT_DOUBLE_EQ(evaluate_float("5.75 | 2").value, 7.0);  // bit operators take the integer parts
  EXPECT_DOUBLE_EQ(evaluate_float("7.5 % 2").value, 1.0);
  EXPECT_EQ(evaluate_float("1.0/0").error, zorhost::kEvalDivision);
  EXPECT_EQ(evaluate_float("").error, zorhost::kEvalEmpty);
  EXPECT_EQ(evaluate_float("1.2.3").error, zorhost::kEvalSyntax);
  EXPECT_EQ(evaluate_float("1e").error, zorhost::kEvalSyntax);
  EXPECT_EQ(evaluate_float("PI * 2.0").error, zorhost::kEvalUnknownName);
}

}  // namespace
