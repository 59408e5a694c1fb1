#include "system.h"

#include <climits>

int64_t StringOutputText::GetCStringLength() const {
  return static_cast<int64_t>(text_.ToUtf8().size());
}

void StringOutputText::GetCString(char* buffer, int64_t size) const {
  if (buffer == nullptr || size < 1) return;
  const int32_t bounded = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
  text_.GetCString(buffer, bounded);
}

void CoreOutputText(uint32_t flags, const String& text, int32_t line, const char* file) {
  const StringOutputText adapter(text);
  nexal::CoreOutputString(flags, &adapter, line, file);
}
