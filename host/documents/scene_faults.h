// The "faults" section of a scene file. The host acts on it only when run with --allow-faults; the
// document merely carries what the file asked for.
#pragma once
#include <cstdint>
#include <string>

#include "zor_api.h"

namespace zorhost {

struct SceneFaults {
  bool present = false;           // the file had a "faults" section
  std::string crash;              // where to crash ("render", "load", ...); empty: never
  int32_t low_memory_events = 0;  // how many low-memory events to simulate
  int32_t delay_ms = 0;           // extra time to spend, e.g. to look like a stalled render
};

// Null document gives null.
const SceneFaults* scene_faults(const HostDocument* doc);

}  // namespace zorhost
