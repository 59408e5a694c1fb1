// The host's expression evaluator on arbitrary text, in both modes and in the radixes callers use.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scripts/expression_evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const int32_t radix : {10, 16}) {
    zorhost::evaluate_integer(text, radix);
    zorhost::evaluate_float(text, radix);
  }
  return 0;
}
