// The module's resource folder, opened at host message 1 and released at the end.
#pragma once
#include "zor_filename.h"

// A module that lies in a direct subfolder of the host's start-up folder is installed with the host
// and keeps its resources in the host's tree: <startup>/resource/modules/<module name>. A module
// anywhere else carries them beside itself in "res".
Filename ModuleResourceFolder(const Filename& modulePath, const Filename& startupFolder);

// Asks the host once to open the resource folder; later calls answer whether that succeeded.
bool InitModuleResources();
// Frees the host's resource handle and the kept folder; a later InitModuleResources asks again.
void FreeModuleResources();
