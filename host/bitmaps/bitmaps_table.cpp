// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostBitmapTable* bitmaps_table() {
  static const HostBitmapTable table = [] {
    HostBitmapTable t{};
    t.size = static_cast<int32_t>(sizeof(HostBitmapTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
