// The host console: one line per print on standard output; every line is also recorded in the
// transcript when one is written.
#pragma once
#include <string_view>

namespace zorhost {
void console_line(std::string_view utf8);
}  // namespace zorhost
