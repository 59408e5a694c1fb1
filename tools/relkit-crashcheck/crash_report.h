// What relkit-crashcheck takes from one zorhost crash report, and the signature that buckets crashes.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace crashcheck {

struct CrashReport {
  std::string signal;               // "SIGSEGV", ...
  std::string activity;             // "loading", "rendering", ... (empty when the host noted none)
  std::string scene;                // the scene of the activity, as the host named it
  std::string thread;               // "main thread", "render worker", ...
  std::vector<std::string> frames;  // the top frames in zorhost or a module, innermost first
};

// How a frame's object and offset become a function name; the default asks addr2line.
using Symbolizer = std::string (*)(const std::string& object, const std::string& offset);
std::string SymbolizeWithAddr2line(const std::string& object, const std::string& offset);

// Reads a report's text; nullopt with why in error when it is not a zorhost crash report.
std::optional<CrashReport> ParseCrashReport(const std::string& text, const std::string& host_name,
                                            Symbolizer symbolize, std::string& error);

// The bucket key: the crash type ("SIGSEGV", "hang") and the frames, innermost first.
std::string Signature(const std::string& kind, const std::vector<std::string>& frames);

// The report path from zorhost's stderr ("...; crash report: PATH"), empty when there is none.
std::string CrashReportPath(const std::string& host_stderr);

}  // namespace crashcheck
