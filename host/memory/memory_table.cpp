// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostMemoryTable* memory_table() {
  static const HostMemoryTable table = [] {
    HostMemoryTable t{};
    t.size = static_cast<int32_t>(sizeof(HostMemoryTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
