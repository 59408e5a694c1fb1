// The run history's reader (relkit-history.jsonl) on any content, from the start or mid-line: it never
// throws, answers at most the runs asked for, only UTF-8 texts and known verdict words (for the page).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace relkit_report;
  for (const bool atStart : {true, false}) {
    const auto runs = ParseHistory(std::string_view(reinterpret_cast<const char*>(data), size), 3, atStart);
    bool good = runs.size() <= 3;
    nlohmann::json texts = nlohmann::json::array();
    for (const HistoryRun& run : runs) {
      texts.push_back(run.label);
      for (const auto& [name, mark] : run.scenes) {
        bool known = false;
        for (int v = 0; v < kVerdictCount; ++v) known = known || mark.status == VerdictWord(Verdict(v));
        good = good && known;
        texts.push_back(name);
      }
    }
    try {
      (void)texts.dump();  // a strict dump throws on bytes that are not UTF-8
    } catch (const nlohmann::json::exception&) {
      good = false;
    }
    if (!good)
      std::fprintf(stderr, "%zu runs, or a text not UTF-8 or a verdict\n", runs.size()), std::abort();
  }
  return 0;
}
