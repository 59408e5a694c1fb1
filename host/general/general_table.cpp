// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostGeneralTable* general_table() {
  static const HostGeneralTable table = [] {
    HostGeneralTable t{};
    t.size = static_cast<int32_t>(sizeof(HostGeneralTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
