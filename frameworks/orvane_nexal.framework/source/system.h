// Glue between the plug-in layer and the core layer's diagnostics: plug-in texts printed on the core
// output path.
#pragma once
#include <cstdint>

#include "nexal/debugglobals.h"
#include "zor_string.h"

// A plug-in String seen as core-layer text.
class StringOutputText : public nexal::OutputText {
 public:
  explicit StringOutputText(const String& text) : text_(text) {}
  int64_t GetCStringLength() const override;
  void GetCString(char* buffer, int64_t size) const override;

 private:
  const String& text_;
};

// Writes a plug-in String with CoreOutputString's rules.
void CoreOutputText(uint32_t flags, const String& text, int32_t line, const char* file);
