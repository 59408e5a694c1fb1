// "nexal.System#1": memory counted like the memory family, console output, the output mask and the
// configuration variables (set from --set).
#pragma once
#include "nexal_records.h"

namespace zorhost {
const NexalSystemInterface* system_interface();
}  // namespace zorhost
