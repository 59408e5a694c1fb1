// relkit-report's reader of a run history (relkit-history.jsonl) on arbitrary file content, read as
// the start of a file and as a window that begins mid-line: it never throws, answers at most the runs
// asked for, and every text it answers is valid UTF-8 with a known verdict word, since it goes into
// the summary and the page as it is.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "history.h"

namespace {

bool Utf8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();  // a strict dump throws on bytes that are not UTF-8
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const bool atStart : {true, false}) {
    const auto runs = relkit_report::ParseHistory(text, 3, atStart);
    bool good = runs.size() <= 3;
    for (const relkit_report::HistoryRun& run : runs) {
      good = good && Utf8(run.label);
      for (const auto& [name, mark] : run.scenes) {
        bool known = false;
        for (int v = 0; v < relkit_report::kVerdictCount; ++v)
          known = known || mark.status == relkit_report::VerdictWord(relkit_report::Verdict(v));
        good = good && known && Utf8(name);
      }
    }
    if (good) continue;
    std::fprintf(stderr, "%zu runs answered, or a text that is not UTF-8 or a verdict\n", runs.size());
    std::abort();
  }
  return 0;
}
