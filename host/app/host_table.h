// The host function table that zorhost hands to every module at bind: one table per service family,
// each provided by its own folder.
#pragma once
#include "zor_api.h"

namespace zorhost {

const HostStringTable* strings_table();
const HostMemoryTable* memory_table();
const HostFileTable* files_table();
const HostContainerTable* containers_table();
const HostDocumentTable* documents_table();
const HostRenderTable* render_table();
const HostBitmapTable* bitmaps_table();
const HostGuiTable* gui_table();
const HostThreadTable* threads_table();
const HostPluginTable* plugins_table();
const HostScriptTable* scripts_table();
const HostGeneralTable* general_table();

// A complete table answering the given API version.
HostFunctionTable make_host_table(int32_t version);

}  // namespace zorhost
