// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostFileTable* files_table() {
  static const HostFileTable table = [] {
    HostFileTable t{};
    t.size = static_cast<int32_t>(sizeof(HostFileTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
