#include "app/host_table.h"

namespace zorhost {

HostFunctionTable make_host_table(int32_t version) {
  HostFunctionTable table{};
  table.version = version;
  table.size = static_cast<int32_t>(sizeof(HostFunctionTable));
  table.strings = strings_table();
  table.memory = memory_table();
  table.files = files_table();
  table.containers = containers_table();
  table.documents = documents_table();
  table.render = render_table();
  table.bitmaps = bitmaps_table();
  table.gui = gui_table();
  table.threads = threads_table();
  table.plugins = plugins_table();
  table.scripts = scripts_table();
  table.general = general_table();
  return table;
}

}  // namespace zorhost
