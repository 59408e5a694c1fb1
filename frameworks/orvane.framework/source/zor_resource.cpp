// Placeholder until the resource folder rule is implemented.
#include "zor_resource.h"

bool InitModuleResources() { return false; }
void FreeModuleResources() {}
