// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostThreadTable* threads_table() {
  static const HostThreadTable table = [] {
    HostThreadTable t{};
    t.size = static_cast<int32_t>(sizeof(HostThreadTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
