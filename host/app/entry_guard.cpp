#include "app/entry_guard.h"

#include <cstdio>

namespace zorhost {

void report_entry_failure(const char* entry, const char* what) noexcept {
  std::fprintf(stderr, "zorhost: internal error in %s: %s\n", entry, what);
}

}  // namespace zorhost
