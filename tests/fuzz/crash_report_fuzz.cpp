// relkit-crashcheck's two readers of outside files on arbitrary content: zorhost's crash report and a
// known-crashes list. A report it accepts must give a signature of its signal and at most three frames.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "crash_report.h"
#include "fuzz_support.h"
#include "outputs.h"

namespace {
// symbolizing would start addr2line for every frame; the reader's own work is what is tried here
std::string NoName(const std::string&, const std::string&) {
  return "";
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (const auto report = crashcheck::ParseCrashReport(text, "zorhost", NoName, error)) {
    const std::string signature = crashcheck::Signature(report->signal, report->frames);
    if (report->frames.size() > 3 || signature.compare(0, report->signal.size(), report->signal) != 0) {
      std::fprintf(stderr, "accepted report gives signature \"%s\" from %zu frames\n", signature.c_str(),
                   report->frames.size());
      std::abort();
    }
  }
  crashcheck::CrashReportPath(text);
  std::map<std::string, std::string> known;
  crashcheck::ReadKnownBuckets(fuzz_support::Scratch::Get().Write("known.json", data, size), known, error);
  return 0;
}
