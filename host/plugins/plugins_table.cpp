#include <filesystem>
#include <system_error>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "files/filename_impl.h"
#include "plugins/plugin_registry.h"
#include "strings/string_impl.h"

struct HostResource {
  std::filesystem::path folder;
};

namespace zorhost {
namespace {

bool register_plugin(int32_t api_version, int32_t type, int32_t id, const HostString* name,
                     const void* record, int32_t record_size) {
  return guarded("register_plugin", false,
                 [&] { return register_command(api_version, type, id, to_utf8(name), record, record_size); });
}

HostResource* resource_open(const HostFilename* folder) {
  return guarded("resource_open", static_cast<HostResource*>(nullptr), [&]() -> HostResource* {
    if (!folder) return nullptr;
    std::filesystem::path path = native(folder);
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) return nullptr;
    return new HostResource{path};
  });
}

void resource_free(HostResource* resource) {
  guarded_void("resource_free", [&] { delete resource; });
}

}  // namespace

const HostPluginTable* plugins_table() {
  static const HostPluginTable table = [] {
    HostPluginTable t{};
    t.size = static_cast<int32_t>(sizeof(HostPluginTable));
    t.register_plugin = register_plugin;
    t.resource_open = resource_open;
    t.resource_free = resource_free;
    return t;
  }();
  return &table;
}

}  // namespace zorhost
