#include "documents/scene_faults.h"

#include <cstdio>
#include <cstdlib>

#include "app/crash_handler.h"
#include "app/host_options.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {
int* volatile g_nowhere = nullptr;
}  // namespace

bool faults_obeyed(const SceneFaults& faults) {
  return faults.present && options().allow_faults;
}

void act_on_load_faults(const SceneFaults& faults, const std::string& scene) {
  if (!faults.present) return;
  if (!options().allow_faults) {
    std::fprintf(stderr,
                 "zorhost: %s: its faults are ignored (zorhost obeys them only with --allow-faults)\n",
                 scene.c_str());
    return;
  }
  count_low_memory_events(faults.low_memory_events);
  if (faults.crash == kCrashOnLoad) fault_now(kCrashOnLoad);
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void fault_now(const char* where) {
  crash_note_injected_fault(where);
  *g_nowhere = 1;
  // only where page 0 is mapped: still end like a crash
  std::abort();
}

}  // namespace zorhost
