// Small host services every tool uses: the timer, clean-up and the console.
#pragma once
#include <cstdint>

#include "zor_string.h"

int64_t GeGetTimer();  // milliseconds
void GeCleanup();
void GePrint(const String& text);  // one line on the host console
