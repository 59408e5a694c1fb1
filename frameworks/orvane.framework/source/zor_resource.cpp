#include "zor_resource.h"

#include "zor_file.h"
#include "zor_host.h"
#include "zor_memory.h"
#include "zor_pmain.h"

namespace {

// Kept in host memory like every object the module holds across host calls.
OwnedObj<Filename> g_resourceFolder;
HostResource* g_resources = nullptr;
bool g_resourcesRequested = false;

String WithoutSuffix(const String& name) {
  int32_t dot = -1;
  for (int32_t found = name.Find(String(".")); found >= 0; found = name.Find(String("."), found + 1)) {
    dot = found;
  }
  return dot < 0 ? name : name.SubStr(0, dot);
}

}  // namespace

// Stands in until the module frame's definition is linked in, which replaces it.
__attribute__((weak)) Filename GetModulePath() {
  return Filename();
}

Filename ModuleResourceFolder(const Filename& modulePath, const Filename& startupFolder) {
  const Filename moduleFolder = modulePath.GetDirectory();
  if (moduleFolder.GetDirectory() == startupFolder) {
    const String moduleName = WithoutSuffix(modulePath.GetFile().GetString());
    return startupFolder + Filename("resource") + Filename("modules") + Filename(moduleName);
  }
  return moduleFolder + Filename("res");
}

bool InitModuleResources() {
  if (!g_resourcesRequested) {
    if (!g_resourceFolder) {
      g_resourceFolder = NewOwnedObj(Filename, ModuleResourceFolder(GetModulePath(), StartupFolder()));
      if (!g_resourceFolder) return false;
    }
    g_resourcesRequested = true;
    g_resources = HostCall(nullptr, &HostPluginTable::resource_open, g_resourceFolder->Get());
  }
  return g_resources != nullptr;
}

void FreeModuleResources() {
  if (g_resources) HostCall(&HostPluginTable::resource_free, g_resources);
  g_resources = nullptr;
  g_resourceFolder.reset();
  g_resourcesRequested = false;
}
