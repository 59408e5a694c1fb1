// Placeholder until this family is implemented: a table with no operations filled.
#include "app/host_table.h"

namespace zorhost {
const HostDocumentTable* documents_table() {
  static const HostDocumentTable table = [] {
    HostDocumentTable t{};
    t.size = static_cast<int32_t>(sizeof(HostDocumentTable));
    return t;
  }();
  return &table;
}
}  // namespace zorhost
