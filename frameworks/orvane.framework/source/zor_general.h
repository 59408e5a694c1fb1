// Small host services every tool uses: the timer, clean-up and the console.
#pragma once
#include <cstdint>

#include "zor_api.h"
#include "zor_string.h"

int64_t GeGetTimer();  // milliseconds
// the API version the host answers, e.g. 16050; 0 before the module is bound
int32_t GetHostApiVersion();
void GeCleanup();
// the host's consistency check at this point of the caller's work
void GeCheck(uint32_t marker = ZOR_CHECK_MARKER);
void GePrint(const String& text);  // one line on the host console
