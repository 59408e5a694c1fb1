// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostScriptTable* scripts_table() {
  static const HostScriptTable table = [] {
    HostScriptTable t{};
    t.size = static_cast<int32_t>(sizeof(HostScriptTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
