#include <chrono>
#include <cstdio>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "general/host_check.h"

namespace zorhost {
namespace {

void general_debug_output(const char* text) {
  guarded_void("general.debug_output", [&] {
    if (!text) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
  });
}

int64_t general_timer_ms() {
  return guarded("general.timer_ms", int64_t{0}, [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  });
}

// Documents hold nothing that outlives them here, and dialogs need no follow-up after an interaction:
// both hooks exist for the real host's caches.
void general_cleanup() {
  guarded_void("general.cleanup", [] {});
}
void general_interaction_done() {
  guarded_void("general.interaction_done", [] {});
}

// Findings go to stderr, one line each, and nothing is said when all is well: a crash-checking run
// calls this around every step of every scene.
void general_check(uint32_t marker) {
  guarded_void("general.check", [&] {
    if (marker != ZOR_CHECK_MARKER) {
      std::fprintf(stderr, "zorhost: check called with marker 0x%08X instead of 0x%08X\n",
                   static_cast<unsigned>(marker), static_cast<unsigned>(ZOR_CHECK_MARKER));
    }
    for (const std::string& problem : check_host_state())
      std::fprintf(stderr, "zorhost: check: %s\n", problem.c_str());
  });
}

}  // namespace

const HostGeneralTable* general_table() {
  static const HostGeneralTable kTable{
      .size = sizeof(HostGeneralTable),
      .debug_output = general_debug_output,
      .timer_ms = general_timer_ms,
      .cleanup = general_cleanup,
      .interaction_done = general_interaction_done,
      .check = general_check,
  };
  return &kTable;
}

}  // namespace zorhost
