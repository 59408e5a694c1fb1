// The host's expression evaluator: C constant expressions as SDK headers write them, evaluated in an
// integer mode (a signed 32-bit result) or a floating mode (a double).
//
// Grammar: decimal, hexadecimal (0x) and octal (leading 0) integers with C suffixes (u, l, ul, ll in any
// case), floating numbers (1.5, .5, 1e3, 2.5f) in floating mode, character constants ('a', '\n', '\x41',
// 'abcd' packed as C packs them, and a quote with one character and no closing quote), the unary
// operators - + ~ !, the binary operators * / % + - << >> < <= > >= == != & ^ | && || with C's
// precedence and associativity, and brackets. Blanks between tokens are ignored.
//
// Integer mode computes in 64 bits and gives the low 32 bits of the result. Floating mode computes in
// doubles as C does: an operation on two integers stays an integer one (7/2 is 3), a floating operand
// makes it floating; % and the bit operators work on the integer parts of floating operands. A shift
// by 64 or more gives 0 (or -1 for a negative value shifted right); a negative count shifts the other
// way. Numbers without a prefix are read in the given radix (10 as the module asks); a leading 0 means
// octal only in radix 10.
//
// The error code is a set of the ZOR_EVAL_ bits of the scripts family; 0 is success:
#pragma once
#include <cstdint>
#include <string_view>

#include "zor_api_scripts.h"

namespace zorhost {

enum EvaluationError : int32_t {
  kEvalSyntax = ZOR_EVAL_SYNTAX,        // not an expression: a stray or missing token, unbalanced
                                        // brackets, a malformed number (09, 0x, 1e, a number beyond
                                        // 64 bits, a floating number in integer mode)
  kEvalUnknownName = ZOR_EVAL_UNKNOWN,  // a name (a macro, a cast, sizeof) the evaluator cannot know
  kEvalDivision = ZOR_EVAL_DIVISION,    // division or % by zero
  // Integer mode: the exact result fits 32 bits neither as a signed nor as an unsigned number
  // (0x100000000, 1 << 40). The answer is its low 32 bits, as C's conversion gives it, and the
  // evaluation reports failure; a caller that accepts C's wrapping takes the value when this bit is
  // the only one set. The bit is never set together with another, so a value that carries it is
  // always the right expression's value. 0xFFFFFFFF and 1 << 31 fit as unsigned: they succeed with -1
  // and INT32_MIN, as a C cast to int gives them.
  kEvalWrapped = ZOR_EVAL_WRAPPED,
  kEvalEmpty = ZOR_EVAL_EMPTY,  // nothing but white space
};

struct IntegerEvaluation {
  bool ok = false;
  int32_t value = 0;  // also set when only kEvalWrapped is reported
  int32_t error = 0;
};

struct FloatEvaluation {
  bool ok = false;
  double value = 0.0;
  int32_t error = 0;
};

IntegerEvaluation evaluate_integer(std::string_view text, int32_t radix = 10);
FloatEvaluation evaluate_float(std::string_view text, int32_t radix = 10);

}  // namespace zorhost
