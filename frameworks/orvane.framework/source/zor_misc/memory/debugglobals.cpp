#include "zor_misc/memory/debugglobals.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "zor_host.h"

namespace {

constexpr uint32_t kPluginOutputMask = nexal::kInitialOutputMask;
constexpr bool kPluginDebugBreak = true;
constexpr int32_t kPieceBuffer = 2048;

std::atomic<uint32_t> g_pluginGeneration{0};
std::atomic<bool> g_pluginDebugger{false};

bool PluginDebuggerAttached() {
  const uint32_t generation = nexal::DiagnosticsGeneration();
  if (g_pluginGeneration.load(std::memory_order_acquire) != generation) {
    g_pluginDebugger.store(nexal::CurrentDiagnosticsEnvironment().debuggerAttached());
    g_pluginGeneration.store(generation, std::memory_order_release);
  }
  return g_pluginDebugger.load();
}

int32_t FormatBoundedV(char* buffer, int32_t size, const char* format, va_list arguments) {
  if (buffer == nullptr || size < 1) return 0;
  const int written = std::vsnprintf(buffer, static_cast<size_t>(size), format, arguments);
  if (written >= 0 && written < size) return written;
  buffer[size - 1] = 0;
  if (written < 0) {
    // The failure report must not format anything itself, or a broken format would recurse.
    DebugOutputLine(nexal::OUTPUT_CRITICALSTOP, "Stop", __LINE__, __FILE__);
    DebugCriticalBreak();
  }
  return size - 1;
}

// One piece of a message, handed to the host as it is.
void WritePiece(const char* piece) {
  char buffer[kPieceBuffer];
  FormatBounded(buffer, kPieceBuffer, "%s", piece);
  HostCall(&HostGeneralTable::debug_output, buffer);
}

}  // namespace

int32_t FormatBounded(char* buffer, int32_t size, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  const int32_t written = FormatBoundedV(buffer, size, format, arguments);
  va_end(arguments);
  return written;
}

void DebugOutputLine(uint32_t flags, const char* text, int32_t line, const char* file) {
  if ((flags & kPluginOutputMask & 7) == 0) return;
  if (flags & nexal::OUTPUT_WARNING)
    WritePiece("WARNING: ");
  else if (flags & nexal::OUTPUT_CRITICAL)
    WritePiece("CRITICAL: ");
  WritePiece(text != nullptr ? text : "");
  if (flags & nexal::OUTPUT_WITHLOCATION) {
    const std::time_t now = nexal::CurrentDiagnosticsEnvironment().now();
    std::tm local{};
    char time[64] = "";
    if (localtime_r(&now, &local) != nullptr) std::strftime(time, sizeof time, "%H:%M:%S", &local);
    char location[1024];
    FormatBounded(location, sizeof location, " [%s %s L%d]", time, file != nullptr ? file : "",
                  static_cast<int>(line));
    WritePiece(location);
  }
  if ((flags & nexal::OUTPUT_NOLINEEND) == 0) WritePiece("\n");
}

void DebugCriticalBreak() {
  if (kPluginDebugBreak && PluginDebuggerAttached()) nexal::CurrentDiagnosticsEnvironment().debugBreak();
}
