// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostGuiTable* gui_table() {
  static const HostGuiTable table = [] {
    HostGuiTable t{};
    t.size = static_cast<int32_t>(sizeof(HostGuiTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
