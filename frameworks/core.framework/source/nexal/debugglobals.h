// The core layer's diagnostics: one line per message, written through the host's system interface once
// it is resolved, before that to standard output. Also the environment both output paths share: the
// debugger query, the clock and the break, which tests replace.
#pragma once
#include <cstdint>
#include <ctime>

#include "nexal_records.h"

namespace nexal {

enum OutputFlags : uint32_t {
  OUTPUT_NORMAL = 1,
  OUTPUT_WARNING = 2,
  OUTPUT_CRITICAL = 4,
  OUTPUT_NOLINEEND = 0x20000000,
  OUTPUT_WITHLOCATION = 0x40000000,
  OUTPUT_CRITICALSTOP = OUTPUT_CRITICAL | OUTPUT_WITHLOCATION,
};
inline constexpr uint32_t kInitialOutputMask = NEXAL_OUTPUT_MASK_INITIAL;

struct DiagnosticsEnvironment {
  bool (*debuggerAttached)();  // asked once per output path, on its first message
  std::time_t (*now)();        // for the time in the plug-in path's location suffix
  void (*debugBreak)();        // the trap of a critical stop
};

// The process's own environment: /proc/self/status for the debugger, the system clock, SIGTRAP.
DiagnosticsEnvironment SystemDiagnosticsEnvironment();
DiagnosticsEnvironment CurrentDiagnosticsEnvironment();
// Replaces the environment and makes both output paths start over as on their first message.
void SetDiagnosticsEnvironment(const DiagnosticsEnvironment& environment);
// Bumped by SetDiagnosticsEnvironment; an output path that saw another generation starts over.
uint32_t DiagnosticsGeneration();

bool IsDebuggerAttached();  // TracerPid in /proc/self/status is not 0

void CoreOutputLine(uint32_t flags, const char* text, int32_t line, const char* file);

// Any core-layer text that can be printed: it knows its 8-bit length and writes itself into a buffer.
class OutputText {
 public:
  virtual ~OutputText() = default;
  virtual int64_t GetCStringLength() const = 0;  // bytes, without the terminating zero
  // writes at most size - 1 bytes and a zero
  virtual void GetCString(char* buffer, int64_t size) const = 0;
};
void CoreOutputString(uint32_t flags, const OutputText* text, int32_t line, const char* file);

// After a critical stop: breaks into the debugger when one is attached and g_enableDebugBreak is on.
void CoreCriticalBreak();

}  // namespace nexal

#define NEXAL_STOP()                                                                   \
  do {                                                                                 \
    ::nexal::CoreOutputLine(::nexal::OUTPUT_CRITICALSTOP, "Stop", __LINE__, __FILE__); \
    ::nexal::CoreCriticalBreak();                                                      \
  } while (0)

#define NEXAL_ASSERT(condition)                                                                        \
  do {                                                                                                 \
    if (!(condition)) {                                                                                \
      ::nexal::CoreOutputLine(::nexal::OUTPUT_CRITICALSTOP, "Assertion failed: " #condition, __LINE__, \
                              __FILE__);                                                               \
      ::nexal::CoreCriticalBreak();                                                                    \
    }                                                                                                  \
  } while (0)
