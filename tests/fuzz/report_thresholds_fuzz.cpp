// relkit-report's reader of a thresholds file on arbitrary content: rules with every threshold in range,
// or an InputError naming the file; a pattern matches names in time bounded by their lengths.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "threshold_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace relkit_report;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto in = [](double value, double high) { return value >= 0 && value <= high; };
  try {
    for (const ThresholdRule& rule : ParseThresholdRules(text, "t.json", Thresholds())) {
      const Thresholds& t = rule.thresholds;
      bool good = !rule.pattern.empty() && in(t.pixel, 255) && t.warnTime >= 0 && t.timeFloor >= 0;
      for (double share : {t.warnPixels, t.failPixels, t.warnMean, t.failMean, t.warnSsim, t.failSsim})
        good = good && in(share, 1);
      // a pattern stands for itself when it holds no wildcard
      good = good && (rule.pattern.find_first_of("*?") != std::string::npos ||
                      NameMatches(rule.pattern, rule.pattern));
      if (!good) std::fprintf(stderr, "a rule out of range: %s\n", rule.pattern.c_str()), std::abort();
      (void)RuleFor({rule}, "glass/deep/a.zor");
    }
  } catch (const InputError& e) {
    if (!std::string_view(e.what()).starts_with("t.json: "))
      std::fprintf(stderr, "unnamed: %s\n", e.what()), std::abort();
  }
  // the input split at its first newline as a pattern and a name
  if (const size_t cut = text.find('\n'); cut != std::string_view::npos)
    (void)NameMatches(text.substr(0, cut), text.substr(cut + 1));
  return 0;
}
