// The scripts family: each group of operations keeps its entry points in its own file.
#include "app/host_table.h"
#include "scripts/script_collections.h"

namespace zorhost {
const HostScriptTable* scripts_table() {
  static const HostScriptTable table{
      .size = sizeof(HostScriptTable),
      .collection_first = scripts_collection_first,
      .collection_next = scripts_collection_next,
      .item_identifier = scripts_item_identifier,
      .item_data = scripts_item_data,
      .item_write = scripts_item_write,
  };
  return &table;
}
}  // namespace zorhost
