#include <filesystem>
#include <system_error>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "plugins/plugin_registry.h"
#include "strings/string_impl.h"

struct HostResource {
  std::filesystem::path folder;
};

namespace zorhost {
namespace {

bool plugins_register_plugin(int32_t api_version, int32_t type, int32_t id, const HostString* name,
                             const void* record, int32_t record_size) {
  return guarded("plugins.register_plugin", false,
                 [&] { return register_command(api_version, type, id, to_utf8(name), record, record_size); });
}

HostResource* plugins_resource_open(const HostFilename* folder) {
  return guarded("plugins.resource_open", static_cast<HostResource*>(nullptr), [&]() -> HostResource* {
    if (!folder) return nullptr;
    std::filesystem::path path = native(folder);
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return nullptr;
    return tracked(ObjectKind::Resource, new HostResource{path});
  });
}

void plugins_resource_free(HostResource* resource) {
  guarded_void("plugins.resource_free", [&] { delete_tracked(ObjectKind::Resource, resource); });
}

}  // namespace

const HostPluginTable* plugins_table() {
  static const HostPluginTable kTable{
      .size = sizeof(HostPluginTable),
      .register_plugin = plugins_register_plugin,
      .resource_open = plugins_resource_open,
      .resource_free = plugins_resource_free,
  };
  return &kTable;
}

}  // namespace zorhost
