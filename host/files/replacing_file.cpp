#include "files/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace fs = std::filesystem;

namespace zorhost {
namespace {

constexpr const char* kTemporarySuffix = ".zorhost-tmp";
constexpr size_t kNameLimit = 255;
constexpr int kNameAttempts = 100;

std::atomic<bool> g_unnamed{true};

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

// ".<name>.<16 random hex digits>.zorhost-tmp" beside the final file: nobody can guess it ahead.
fs::path random_temporary(const fs::path& final_path) {
  thread_local std::mt19937_64 random{std::random_device{}() ^ (uint64_t(::getpid()) << 32)};
  std::string name = final_path.filename().string();
  // a name near the file system's limit is shortened; the hash keeps two such names apart
  if (name.size() + 18 + std::strlen(kTemporarySuffix) > kNameLimit) {
    const std::string hash = std::to_string(std::hash<std::string>{}(name));
    name = name.substr(0, 180) + "~" + hash;
  }
  char tag[20];
  std::snprintf(tag, sizeof tag, ".%016llx", static_cast<unsigned long long>(random()));
  return final_path.parent_path() / ("." + name + tag + kTemporarySuffix);
}

// A descriptor's file can be linked into a folder through /proc; without /proc the unnamed way would
// end in a temporary that can never get a name.
bool can_name_unnamed() {
  static const bool kCan = ::access("/proc/self/fd", X_OK) == 0;
  return kCan;
}

}  // namespace

void use_unnamed_temporaries(bool use) {
  g_unnamed = use;
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

bool ReplacingFile::create_temporary() {
  temporary_.clear();
  if (g_unnamed && can_name_unnamed()) {
    const std::string folder = folder_of(final_);
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) return true;
    // the file system cannot, or the folder is not there: the named way says which
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const fs::path candidate = random_temporary(final_);
    fd_ = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  fail(errno, "cannot create a file in folder " + folder_of(final_));
  return false;
}

// An unnamed temporary gets a random name of its own for the rename; linkat never replaces a name.
bool ReplacingFile::name_temporary() {
  if (!temporary_.empty()) return true;
  const std::string source = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const fs::path candidate = random_temporary(final_);
    if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temporary_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  fail(errno, "cannot name a file in folder " + folder_of(final_));
  return false;
}

bool ReplacingFile::open(const fs::path& final_path, bool keep_contents) {
  discard();
  error_.clear();
  reported_ = false;
  final_ = resolve_link(final_path);

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
  if (!create_temporary()) return false;
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
  if (!failed()) name_temporary();
  if (::close(fd_) != 0 && !failed()) fail(errno);
  fd_ = -1;
  if (!failed() && ::rename(temporary_.c_str(), final_.c_str()) != 0) fail(errno, "cannot replace it");
  if (failed()) {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    return false;
  }
  // The folder is not synced: after a power loss the rename may be undone, which leaves the previous
  // whole file; syncing it would double the cost of every write for the newest version only.
  temporary_.clear();
  return true;
}

void ReplacingFile::discard() {
  if (fd_ < 0) return;
  // an unnamed temporary goes with its descriptor
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  ::close(fd_);
  fd_ = -1;
}

}  // namespace zorhost
