// "nexal.System#1": memory counted like the memory family, console output, the output mask and the
// configuration variables (set from --set).
#pragma once
#include <string>
#include <vector>

#include "nexal_records.h"

namespace zorhost {
const NexalSystemInterface* system_interface();
// The module switches (configuration variables of the switch type) that were off when registered: a
// module registers its tools only when its switch is on.
std::vector<std::string> module_switches_off();
}  // namespace zorhost
