// The core framework's error objects as zorhost makes them: a class and one line of text, given to the
// module, which releases each once.
#pragma once
#include <string>

#include "nexal_records.h"

namespace zorhost {

// A counted error object; the module frees it through its release.
NexalError* make_core_error(int32_t error_class, const std::string& message);

}  // namespace zorhost
