// The "faults" section of a scene file: ways for a scene to make the host misbehave, so that the crash
// checker can be tried on scenes that really crash, stall or run short of memory. The host acts on it
// only when run with --allow-faults; otherwise the document merely carries what the file asked for.
//
//   crash "load"       the scene loader faults (SIGSEGV) once it has read the scene
//   crash "render"     every render of the scene faults (SIGSEGV) on a render worker thread
//   crash "fullRender" the same, except for renders with the preview engine, which pass: the crash
//                      checker's preview of the scene is saved and its full render then faults
//   lowMemoryEvents N  each load of the scene adds N to the low-memory count (memory statistics 7)
//   delayMs N          every render of the scene spends N ms more, while asking the thread's break test
//   memoryMb N         every render of the scene holds N MiB more, written to, for as long as it takes
#pragma once
#include <cstdint>
#include <string>

#include "zor_api.h"

namespace zorhost {

struct SceneFaults {
  bool present = false;           // the file had a "faults" section
  std::string crash;              // where to crash: "load", "render", "fullRender", or empty for never
  int32_t low_memory_events = 0;  // how many low-memory events to simulate
  int32_t delay_ms = 0;           // extra time to spend, e.g. to look like a stalled render
  int32_t memory_mb = 0;          // extra memory to hold while rendering, e.g. to look like a leak
};

inline constexpr const char* kCrashOnLoad = "load";
inline constexpr const char* kCrashOnRender = "render";
inline constexpr const char* kCrashOnFullRender = "fullRender";

// Null document gives null.
const SceneFaults* scene_faults(const HostDocument* doc);

// Whether the host obeys these faults: they are present and zorhost runs with --allow-faults.
bool faults_obeyed(const SceneFaults& faults);

// The loader's part, after the scene was read: without --allow-faults one note on stderr that the
// faults are ignored; with it the low-memory events are counted and a "load" crash happens.
void act_on_load_faults(const SceneFaults& faults, const std::string& scene);

// Faults for real where the scene asked for it (`where` is "load" or "render"): a write through a null
// pointer that the compiler cannot remove, with the sanitizers off for it, so the process gets the very
// SIGSEGV that a broken loader or renderer causes and the crash handler reports it.
[[noreturn]] void fault_now(const char* where);

}  // namespace zorhost
