// relkit-report's reader of the causes zorhost keeps beside a report (_errors.jsonl) on arbitrary file
// content: it never throws, and every reason it answers is short and valid UTF-8, since it goes into
// the page, the summary and the JUnit file as it is.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "scene_errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const relkit_report::SceneErrors errors =
      relkit_report::ParseSceneErrors(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const auto& [scene, reason] : errors) {
    // the longest stage is cut to 40 bytes; the message to its limit and "..."
    const bool shortEnough = reason.size() <= relkit_report::kMaxSceneErrorMessage + 64;
    // a strict dump throws on bytes that are not UTF-8
    bool utf8 = true;
    try {
      (void)nlohmann::json(reason).dump();
    } catch (const nlohmann::json::exception&) {
      utf8 = false;
    }
    if (shortEnough && utf8) continue;
    std::fprintf(stderr, "a reason of %zu bytes (UTF-8: %d) for %s\n", reason.size(), int(utf8),
                 scene.c_str());
    std::abort();
  }
  return 0;
}
