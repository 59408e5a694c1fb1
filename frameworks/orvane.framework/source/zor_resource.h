// The module's resource folder, opened at host message 1 and released at the end.
#pragma once

bool InitModuleResources();
void FreeModuleResources();
