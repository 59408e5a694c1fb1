// The tools of the module and the switch that decides whether any of them is registered.
#pragma once
#include <cstdint>

extern bool g_nexalRelkitTools;

// The start action: registers every tool in its fixed order when the switch is on.
int32_t RegisterRelkitTools();
// The last end: releases what tools keep module-wide, before the frame releases resources and path.
void ReleaseRelkitToolObjects();
