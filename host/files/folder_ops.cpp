#include "files/folder_ops.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/entry_guard.h"
#include "files/filename_impl.h"

namespace zorhost {

bool create_single_folder(const std::filesystem::path& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  if (errno != EEXIST)
    std::fprintf(stderr, "zorhost: cannot create folder %s: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

bool files_folder_identity(const HostFilename* folder, uint64_t* device, uint64_t* inode) {
  return guarded("files.folder_identity", false, [&] {
    if (!folder || folder->path.empty() || !device || !inode) return false;
    struct stat status {};
    if (::stat(native(folder).c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
    *device = static_cast<uint64_t>(status.st_dev);
    *inode = static_cast<uint64_t>(status.st_ino);
    return true;
  });
}

}  // namespace zorhost
