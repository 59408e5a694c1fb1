#include "app/entry_guard.h"

#include <cstdio>
#include <stdexcept>

namespace zorhost {

namespace guard_detail {
std::atomic<bool> g_fail_next{false};

void throw_if_failure_asked() {
  if (g_fail_next.exchange(false)) throw std::runtime_error("failure asked for by a test");
}
}  // namespace guard_detail

void fail_next_guarded_body() noexcept {
  guard_detail::g_fail_next.store(true);
}

void report_entry_failure(const char* entry, const char* what) noexcept {
  std::fprintf(stderr, "zorhost: internal error in %s: %s\n", entry, what);
}

}  // namespace zorhost
