#include "files/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/entry_guard.h"
#include "files/filename_impl.h"

// flock belongs to the open file description, so two takes conflict even inside one process, and the
// lock is gone when the last descriptor closes: at lock_free, or when the kernel ends the process.
struct HostFileLock {
  int fd = -1;
};

namespace zorhost {

HostFileLock* files_lock_take(const HostFilename* name, bool* busy) {
  if (busy) *busy = false;
  return guarded("files.lock_take", static_cast<HostFileLock*>(nullptr), [&]() -> HostFileLock* {
    if (!name || name->path.empty() || name->is_memory()) return nullptr;
    const std::string path = native(name).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      std::fprintf(stderr, "zorhost: cannot open lock file %s: %s\n", path.c_str(), std::strerror(errno));
      return nullptr;
    }
    int result = 0;
    do {
      result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
      const int cause = errno;
      ::close(fd);
      if (cause == EWOULDBLOCK) {
        if (busy) *busy = true;
      } else {
        std::fprintf(stderr, "zorhost: cannot lock %s: %s\n", path.c_str(), std::strerror(cause));
      }
      return nullptr;
    }
    return new HostFileLock{fd};
  });
}

void files_lock_free(HostFileLock* lock) {
  guarded_void("files.lock_free", [&] {
    if (!lock) return;
    ::close(lock->fd);
    delete lock;
  });
}

}  // namespace zorhost
