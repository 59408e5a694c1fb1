#include "files/replacing_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace zorhost {
namespace {

constexpr const char* kTemporarySuffix = ".zorhost-tmp";
constexpr size_t kNameLimit = 255;
// A second writer of the same file waits this long for the first before it gives up.
constexpr auto kLockPatience = std::chrono::seconds(5);

std::string folder_of(const fs::path& file) {
  const fs::path folder = file.parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// A final name that is a symbolic link is written where the link points, not replaced by a file.
fs::path resolve_link(const fs::path& file) {
  std::error_code error;
  if (!fs::is_symlink(fs::symlink_status(file, error))) return file;
  const fs::path target = fs::weakly_canonical(file, error);
  return error ? file : target;
}

bool copy_contents(int from, int to) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += w;
    }
  }
}

}  // namespace

fs::path temporary_path(const fs::path& final_path) {
  std::string name = final_path.filename().string();
  // a name near the file system's limit is shortened; the hash keeps two such names apart
  if (name.size() + 1 + std::strlen(kTemporarySuffix) > kNameLimit) {
    const std::string hash = std::to_string(std::hash<std::string>{}(name));
    name = name.substr(0, 200) + "~" + hash;
  }
  std::string temporary = ".";
  temporary += name;
  temporary += kTemporarySuffix;
  return final_path.parent_path() / temporary;
}

ReplacingFile::~ReplacingFile() {
  discard();
}

void ReplacingFile::fail(int error_number, const std::string& what) {
  if (!error_.empty()) return;
  error_ = "cannot write " + final_.string();
  if (!what.empty()) error_ += ": " + what;
  if (error_number != 0) error_ += std::string(": ") + std::strerror(error_number);
}

void ReplacingFile::report() {
  if (error_.empty() || reported_) return;
  reported_ = true;
  std::fprintf(stderr, "zorhost: %s\n", error_.c_str());
}

bool ReplacingFile::open(const fs::path& final_path, bool keep_contents) {
  discard();
  error_.clear();
  reported_ = false;
  final_ = resolve_link(final_path);
  temporary_ = temporary_path(final_);

  struct stat existing {};
  const bool exists = ::stat(final_.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) {
    fail(EISDIR);
    return false;
  }
  // a device or a pipe must never be renamed over; such names are refused
  if (exists && !S_ISREG(existing.st_mode)) {
    fail(0, "not a regular file");
    return false;
  }
  // a write-protected file stays protected, although its folder would allow replacing it
  if (exists && ::access(final_.c_str(), W_OK) != 0) {
    fail(errno);
    return false;
  }

  const auto give_up = std::chrono::steady_clock::now() + kLockPatience;
  for (;;) {
    const int fd = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      fail(errno, "cannot create a file in folder " + folder_of(final_));
      return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd);
      if (error != EWOULDBLOCK || std::chrono::steady_clock::now() > give_up) {
        if (error == EWOULDBLOCK) {
          fail(0, "another writer still writes it");
        } else {
          fail(error, "cannot lock " + temporary_.string());
        }
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    // The lock may be on a temporary that its writer renamed or removed meanwhile: only the one that
    // still has the name counts.
    struct stat locked {
    }, named{};
    if (::fstat(fd, &locked) != 0 || ::stat(temporary_.c_str(), &named) != 0 ||
        locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
      ::close(fd);
      continue;
    }
    fd_ = fd;
    break;
  }
  lock_fd_ = ::dup(fd_);
  // what a killed writer left is emptied here and replaced or removed at the end of this write
  if (lock_fd_ < 0 || ::ftruncate(fd_, 0) != 0) {
    fail(errno);
    discard();
    return false;
  }
  if (exists) ::fchmod(fd_, existing.st_mode & 07777);
  if (keep_contents && exists) {
    const int from = ::open(final_.c_str(), O_RDONLY | O_CLOEXEC);
    const bool copied = from >= 0 && copy_contents(from, fd_);
    const int error = errno;
    if (from >= 0) ::close(from);
    if (!copied) {
      fail(error, "cannot copy its contents");
      discard();
      return false;
    }
    ::lseek(fd_, 0, SEEK_SET);
  }
  return true;
}

bool ReplacingFile::write(const void* data, size_t size) {
  if (fd_ < 0 || failed()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      fail(n < 0 ? errno : ENOSPC);
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReplacingFile::commit() {
  if (fd_ < 0) return false;
  if (failed()) {
    discard();
    return false;
  }
  if (::fsync(fd_) != 0) fail(errno);
  // The lock stays with lock_fd_ while fd_ is closed, so no other writer takes the temporary between
  // the close and the rename.
  if (::close(fd_) != 0 && !failed()) fail(errno);
  fd_ = -1;
  if (!failed() && ::rename(temporary_.c_str(), final_.c_str()) != 0) fail(errno, "cannot replace it");
  if (failed()) {
    discard();
    return false;
  }
  // The folder is not synced: after a power loss the rename may be undone, which leaves the previous
  // whole file; syncing it would double the cost of every write for the newest version only.
  ::close(lock_fd_);
  lock_fd_ = -1;
  return true;
}

void ReplacingFile::discard() {
  if (fd_ < 0 && lock_fd_ < 0) return;
  // removed while still locked, so it is never another writer's temporary that goes
  ::unlink(temporary_.c_str());
  close_descriptors();
}

void ReplacingFile::close_descriptors() {
  if (fd_ >= 0) ::close(fd_);
  if (lock_fd_ >= 0) ::close(lock_fd_);
  fd_ = lock_fd_ = -1;
}

}  // namespace zorhost
