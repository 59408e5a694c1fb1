// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostStringTable* strings_table() {
  static const HostStringTable table = [] {
    HostStringTable t{};
    t.size = static_cast<int32_t>(sizeof(HostStringTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
