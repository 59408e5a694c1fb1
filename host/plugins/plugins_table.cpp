// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostPluginTable* plugins_table() {
  static const HostPluginTable table = [] {
    HostPluginTable t{};
    t.size = static_cast<int32_t>(sizeof(HostPluginTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
