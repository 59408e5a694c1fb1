#include <chrono>
#include <cstdio>

#include "app/entry_guard.h"
#include "app/host_table.h"

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

}  // namespace

const HostGeneralTable* general_table() {
  static const HostGeneralTable table{
      .size = sizeof(HostGeneralTable),
      .debug_output = general_debug_output,
      .timer_ms = general_timer_ms,
      .cleanup = general_cleanup,
      .interaction_done = general_interaction_done,
  };
  return &table;
}

}  // namespace zorhost
