#include "app/host_table.h"

namespace zorhost {

HostFunctionTable make_host_table(int32_t version) {
  return HostFunctionTable{
      .version = version,
      .size = sizeof(HostFunctionTable),
      .strings = strings_table(),
      .memory = memory_table(),
      .files = files_table(),
      .containers = containers_table(),
      .documents = documents_table(),
      .render = render_table(),
      .bitmaps = bitmaps_table(),
      .gui = gui_table(),
      .threads = threads_table(),
      .plugins = plugins_table(),
      .scripts = scripts_table(),
      .general = general_table(),
  };
}

}  // namespace zorhost
