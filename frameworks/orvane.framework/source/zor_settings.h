// Settings the host stores per plug-in id between invocations (and across host runs).
#pragma once
#include <cstdint>

#include "zor_container.h"

// A copy of the stored settings of that plug-in id; an empty container when the host holds none.
BaseContainer GetStoredPluginSettings(int32_t pluginId);
// Hands the settings to the host's store (flags: the host's add flag 1 to create the entry).
bool SetStoredPluginSettings(int32_t pluginId, const BaseContainer& settings, int32_t flags);
