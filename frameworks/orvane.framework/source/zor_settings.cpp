#include "zor_settings.h"

#include "zor_host.h"

BaseContainer GetStoredPluginSettings(int32_t pluginId) {
  auto get = ZOR_CONTAINERS(get_plugin_settings);
  return BaseContainer::Adopt(get ? get(pluginId) : nullptr);
}

bool SetStoredPluginSettings(int32_t pluginId, const BaseContainer& settings, int32_t flags) {
  auto set = ZOR_CONTAINERS(set_plugin_settings);
  return set && set(pluginId, settings.Get(), flags);
}
