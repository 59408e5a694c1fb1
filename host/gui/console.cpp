#include "gui/console.h"

#include <cstdio>
#include <string>

namespace zorhost {
void console_line(std::string_view utf8) {
  std::string line(utf8);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}
}  // namespace zorhost
