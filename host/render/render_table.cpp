// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostRenderTable* render_table() {
  static const HostRenderTable table = [] {
    HostRenderTable t{};
    t.size = static_cast<int32_t>(sizeof(HostRenderTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
