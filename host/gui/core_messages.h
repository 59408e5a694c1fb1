// Core messages (code ZOR_CORE_MESSAGE) that modules send to the host and its other plug-ins. zorhost
// answers the host information request and listens to the crash checker's run notices; everything else
// finds nobody to answer it.
#pragma once
#include <cstdint>

#include "zor_api.h"

namespace zorhost {

// A new tracked container for the caller to free, or null when nobody answers. Records the message in
// the transcript.
HostContainer* answer_core_message(int32_t code, const HostContainer* message);

}  // namespace zorhost
