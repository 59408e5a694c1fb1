// Folder operations of the files family that say why they failed.
#pragma once
#include <cstdint>
#include <filesystem>

#include "zor_api.h"

namespace zorhost {

// One level, as the file system's own call does. A folder that is already there is a failure (two
// writers must never share one folder they each think they made), and said on stderr only when the
// cause is something else.
bool create_single_folder(const std::filesystem::path& path);
// the table's folder_identity
bool files_folder_identity(const HostFilename* folder, uint64_t* device, uint64_t* inode);

}  // namespace zorhost
