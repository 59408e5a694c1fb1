#include "files/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorhost {

bool read_input_file(const std::filesystem::path& file, std::string* text, std::string* error) {
  // Not blocking in the open: a pipe under the name would wait there for a writer that never comes.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = errno == ENOENT ? "does not exist" : std::string("cannot be read: ") + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool folder = S_ISDIR(info.st_mode);
    ::close(fd);
    *error = folder ? "is a folder, not a file" : "is not a regular file";
    return false;
  }
  ::fcntl(fd, F_SETFL, 0);
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = std::string("cannot be read: ") + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace zorhost
