#include "register.h"

#include <initializer_list>

#include "nexal/configuration.h"
#include "zor_pmain.h"

bool g_nexalRelkitTools =
    RegisterConfigVariable("g_nexalRelkitTools", &g_nexalRelkitTools, false, nexal::CONFIG_MODULE_SWITCH, "");

namespace {

// The one place that fixes the order of registration; each tool adds its one line in its slot.
// Until the Renderator's line exists no entry is Decisive, so a start with the switch on answers 1.
constexpr std::initializer_list<ToolRegistration> kTools = {
    // 1 crash test command: Required
    // 2 Translator Locator: Unchecked
    // 3 Import and Export Script Strings: Unchecked
    // 4 Attachment Scanner: Unchecked
    // 5 I/O handler browser: Required
    // 6 Renderator command: Decisive
};

}  // namespace

int32_t RegisterRelkitTools() {
  if (!g_nexalRelkitTools) return 1;
  return RunToolRegistrations(kTools.begin(), kTools.size());
}

void ReleaseRelkitToolObjects() {
  // The I/O handler browser's module-wide drag file name is released here, first, once the browser
  // exists.
}
