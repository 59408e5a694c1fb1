// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostScriptTable* scripts_table() {
  static const HostScriptTable table{.size = sizeof(HostScriptTable)};
  return &table;
}
}  // namespace zorhost
