// Stored plug-in settings: one file per plug-in id, <prefs>/settings/<id>.json, in the typed JSON form.
// Every store goes to disk at once (temporary file, fsync, rename), so a host crash loses nothing;
// every read comes from disk, so another zorhost process sees what this one stored.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>

#include "containers/container_impl.h"

namespace zorhost {

std::filesystem::path plugin_settings_path(int32_t plugin_id);
// null when nothing is stored; a file that cannot be read is reported on stderr and gives null
std::unique_ptr<HostContainer> load_plugin_settings(int32_t plugin_id);
// null settings removes what is stored; false (reported on stderr) when the file cannot be written
bool store_plugin_settings(int32_t plugin_id, const HostContainer* settings);

// Writes text to path through a temporary file in the same folder, fsync and rename.
bool write_file_atomically(const std::filesystem::path& path, const std::string& text, std::string* error);

}  // namespace zorhost
