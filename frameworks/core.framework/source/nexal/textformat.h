// Texts in the host's orders, and message texts with "@" placeholders.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nexal {

// The host's comparison of two texts (< 0, 0, > 0). mode 0: code points; 1: ASCII letters without case;
// 4: names as a person reads them (letters without case, digit runs by their value, code points to break
// ties). Without the host it compares by code point.
int32_t CompareText(std::string_view a, std::string_view b, int32_t mode);

// The pattern with every "@" replaced by argument, left to right.
std::string FormatMessage(std::string_view pattern, std::string_view argument);

}  // namespace nexal
