// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostContainerTable* containers_table() {
  static const HostContainerTable table = [] {
    HostContainerTable t{};
    t.size = static_cast<int32_t>(sizeof(HostContainerTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
