// The UI script parser (--ui FILE) on arbitrary text: it refuses or accepts, it does not fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/ui_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<zorhost::ui::ScriptStep> steps;
  std::string error;
  if (zorhost::ui::parse_ui_script(text, "fuzz.json", &steps, &error)) {
    for (const zorhost::ui::ScriptStep& step : steps) zorhost::ui::step_kind_name(step.kind);
  }
  return 0;
}
