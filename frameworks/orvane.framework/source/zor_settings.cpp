#include "zor_settings.h"

#include "zor_host.h"

BaseContainer GetStoredPluginSettings(int32_t pluginId) {
  return BaseContainer::Adopt(HostCall(nullptr, &HostContainerTable::get_plugin_settings, pluginId));
}

bool SetStoredPluginSettings(int32_t pluginId, const BaseContainer& settings, int32_t flags) {
  return HostCall(false, &HostContainerTable::set_plugin_settings, pluginId, settings.Get(), flags);
}
