#include <chrono>
#include <cstdio>

#include "app/entry_guard.h"
#include "app/host_table.h"

namespace zorhost {
namespace {

void debug_output(const char* text) {
  guarded_void("general.debug_output", [&] {
    if (!text) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
  });
}

int64_t timer_ms() {
  return guarded("general.timer_ms", int64_t{0}, [] {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  });
}

// Documents hold nothing that outlives them here, and dialogs need no follow-up after an interaction:
// both hooks exist for the real host's caches.
void cleanup() {}
void interaction_done() {}

}  // namespace

const HostGeneralTable* general_table() {
  static const HostGeneralTable table = [] {
    HostGeneralTable t{};
    t.size = static_cast<int32_t>(sizeof(HostGeneralTable));
    t.debug_output = debug_output;
    t.timer_ms = timer_ms;
    t.cleanup = cleanup;
    t.interaction_done = interaction_done;
    return t;
  }();
  return &table;
}

}  // namespace zorhost
