// The plug-in layer's diagnostics: messages written piece by piece through the host's debug text
// output, bounded formatting, and the plug-in layer's critical stop.
#pragma once
#include <cstdint>

#include "nexal/debugglobals.h"

// printf-style into buffer; answers the length written, or size - 1 when the text was cut (the last
// byte is then 0). A size below 1 writes nothing and answers 0.
int32_t FormatBounded(char* buffer, int32_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void DebugOutputLine(uint32_t flags, const char* text, int32_t line, const char* file);

// After a critical stop: breaks into the debugger when one is attached. The plug-in layer's own break
// switch is always on.
void DebugCriticalBreak();

#define ZOR_STOP()                                                               \
  do {                                                                           \
    ::DebugOutputLine(::nexal::OUTPUT_CRITICALSTOP, "Stop", __LINE__, __FILE__); \
    ::DebugCriticalBreak();                                                      \
  } while (0)

#define ZOR_ASSERT(condition)                                                                               \
  do {                                                                                                      \
    if (!(condition)) {                                                                                     \
      ::DebugOutputLine(::nexal::OUTPUT_CRITICALSTOP, "Assertion failed: " #condition, __LINE__, __FILE__); \
      ::DebugCriticalBreak();                                                                               \
    }                                                                                                       \
  } while (0)

#define ZOR_WARNING(text) ::DebugOutputLine(::nexal::OUTPUT_WARNING, (text), __LINE__, __FILE__)
