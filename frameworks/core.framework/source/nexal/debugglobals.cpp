#include "debugglobals.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "configuration.h"
#include "object.h"

namespace nexal {
namespace {

bool ReadTracerPid() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return false;
  char line[256];
  bool attached = false;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      attached = std::strtol(line + 10, nullptr, 10) != 0;
      break;
    }
  }
  std::fclose(status);
  return attached;
}

std::time_t SystemClock() {
  return std::time(nullptr);
}
void TrapIntoDebugger() {
  std::raise(SIGTRAP);
}

std::mutex g_environmentLock;
DiagnosticsEnvironment g_environment = {ReadTracerPid, SystemClock, TrapIntoDebugger};
std::atomic<uint32_t> g_generation{1};

// The core path's state; the first message (of each environment generation) sets it up.
std::atomic<uint32_t> g_coreGeneration{0};
std::atomic<uint32_t> g_coreMask{kInitialOutputMask};
std::atomic<bool> g_coreDebugger{false};

void SetUpCorePath() {
  const uint32_t generation = DiagnosticsGeneration();
  if (g_coreGeneration.load(std::memory_order_acquire) == generation) return;
  g_coreMask.store(kInitialOutputMask);
  g_coreDebugger.store(CurrentDiagnosticsEnvironment().debuggerAttached());
  g_coreGeneration.store(generation, std::memory_order_release);
}

const char* BareFileName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  if (slash != nullptr) return slash + 1;
  const char* backslash = std::strrchr(path, '\\');
  return backslash != nullptr ? backslash + 1 : path;
}

}  // namespace

DiagnosticsEnvironment SystemDiagnosticsEnvironment() {
  return {ReadTracerPid, SystemClock, TrapIntoDebugger};
}

DiagnosticsEnvironment CurrentDiagnosticsEnvironment() {
  std::lock_guard<std::mutex> lock(g_environmentLock);
  return g_environment;
}

void SetDiagnosticsEnvironment(const DiagnosticsEnvironment& environment) {
  std::lock_guard<std::mutex> lock(g_environmentLock);
  g_environment = environment;
  g_generation.fetch_add(1);
}

uint32_t DiagnosticsGeneration() {
  return g_generation.load();
}

bool IsDebuggerAttached() {
  return ReadTracerPid();
}

void CoreOutputLine(uint32_t flags, const char* text, int32_t line, const char* file) {
  try {
    SetUpCorePath();
    const NexalSystemInterface* system = ResolvedSystem();
    uint32_t mask = g_coreMask.load();
    if ((mask & OUTPUT_NOLINEEND) != 0 && system != nullptr && system->output_mask != nullptr) {
      mask = system->output_mask();
      g_coreMask.store(mask);
    }
    if ((flags & mask & 7) == 0) return;

    const bool withLocation = (flags & OUTPUT_WITHLOCATION) != 0;
    const bool debugger = g_coreDebugger.load();
    const char* where = file != nullptr ? file : "";
    std::string composed;
    char number[32];
    std::snprintf(number, sizeof number, "%d", static_cast<int>(line));
    if (withLocation && debugger) composed.append(where).append("(").append(number).append("): ");
    if (flags & OUTPUT_WARNING)
      composed.append("WARNING: ");
    else if (flags & OUTPUT_CRITICAL)
      composed.append("CRITICAL: ");
    composed.append(text != nullptr ? text : "");
    if (withLocation && !debugger)
      composed.append(" [").append(BareFileName(where)).append("(").append(number).append(")]");
    if ((flags & OUTPUT_NOLINEEND) == 0) composed.append("\n");

    if (system != nullptr && system->output != nullptr) {
      system->output(composed.c_str());
    } else {
      // There is no debugger text channel on this platform: a debugger sees standard output.
      std::printf("%s", composed.c_str());
      std::fflush(stdout);
    }
  } catch (...) {
    // Output never fails its caller; a line that cannot be composed is lost.
  }
}

void CoreOutputString(uint32_t flags, const OutputText* text, int32_t line, const char* file) {
  if (text == nullptr) {
    CoreOutputLine(OUTPUT_CRITICALSTOP, "Console output failed", line, file);
    CoreCriticalBreak();
    return;
  }
  constexpr int64_t kStackBuffer = 2048;
  char stackBuffer[kStackBuffer];
  std::unique_ptr<char[]> heapBuffer;
  char* buffer = stackBuffer;
  int64_t size = kStackBuffer;
  const int64_t needed = text->GetCStringLength() + 1;
  if (needed > kStackBuffer) {
    heapBuffer.reset(new (std::nothrow) char[static_cast<size_t>(needed)]);
    if (heapBuffer != nullptr) {
      buffer = heapBuffer.get();
      size = needed;
    }
  }
  buffer[0] = 0;
  text->GetCString(buffer, size);
  buffer[size - 1] = 0;
  CoreOutputLine(flags, buffer, line, file);
}

void CoreCriticalBreak() {
  if (!g_enableDebugBreak) return;
  SetUpCorePath();
  if (g_coreDebugger.load()) CurrentDiagnosticsEnvironment().debugBreak();
}

}  // namespace nexal
