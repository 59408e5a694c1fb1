// relkit-report's reader of a thresholds file on arbitrary content: it answers rules whose every
// threshold lies in its range, or throws InputError naming the file; and a rule's pattern is matched
// against names in time bounded by their lengths, whatever it holds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "threshold_rules.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace relkit_report;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const Thresholds defaults;
    for (const ThresholdRule& rule : ParseThresholdRules(text, "t.json", defaults)) {
      const Thresholds& t = rule.thresholds;
      if (rule.pattern.empty()) Fail("an empty pattern");
      if (t.pixel < 0 || t.pixel > 255) Fail("pixel threshold out of range");
      for (double share : {t.warnPixels, t.failPixels, t.warnMean, t.failMean})
        if (!(share >= 0 && share <= 1)) Fail("a share out of range");
      if (!(t.warnTime >= 0 && t.timeFloor >= 0)) Fail("a time limit out of range");
      for (double limit : {t.warnSsim, t.failSsim})
        if (!(limit >= 0 && limit <= 1)) Fail("an SSIM limit out of range");
      // a pattern stands for itself when it holds no wildcard
      if (rule.pattern.find_first_of("*?") == std::string::npos && !NameMatches(rule.pattern, rule.pattern))
        Fail("a plain pattern does not match itself");
      (void)RuleFor({rule}, "glass/deep/a.zor");
    }
  } catch (const InputError& e) {
    if (std::string_view(e.what()).rfind("t.json: ", 0) != 0) Fail("an error that does not name the file");
  }
  // the input split at its first newline as a pattern and a name
  const size_t cut = text.find('\n');
  if (cut != std::string_view::npos) (void)NameMatches(text.substr(0, cut), text.substr(cut + 1));
  return 0;
}
