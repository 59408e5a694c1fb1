// The core layer's own access to the interfaces the host resolved for the URL, stream and metadata
// classes. Not for tool code.
#pragma once
#include <string>

#include "error.h"
#include "nexal_records.h"

namespace nexal::detail {

// The URL interface for a call; null (after the core layer's report) when the host left it unresolved.
const NexalUrlInterface* UrlInterface();
// Whether the host resolved the interface objects of this kind carry; reports it when not.
bool ObjectInterfaceResolved(int32_t which);
// The text and its release; "" for null.
std::string TakeText(NexalText* text);
Error Unavailable(const char* id);

}  // namespace nexal::detail
