#include "files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>
#include <vector>

#include "result_file.h"

namespace relkit_report {

namespace {

std::string Reason(int error) {
  return std::strerror(error);
}

mode_t Umask() {
  // read once, before any thread starts: umask can only be read by setting it
  static const mode_t kMask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return kMask;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // closes now, answering the error a close reports (a delayed write error, for one)
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    data += n;
    size -= size_t(n);
  }
  return 0;
}

[[noreturn]] void FailAndRemove(const std::filesystem::path& temporary, const std::filesystem::path& shownAs,
                                const std::string& what, int error) {
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  throw InputError(shownAs.string() + ": " + what + " (" + Reason(error) + ")");
}

}  // namespace

std::filesystem::path CreateTemporaryBeside(const std::filesystem::path& path, const std::string& prefix) {
  std::string name = (path.parent_path() / ("." + prefix + path.filename().string() + ".XXXXXX")).string();
  Umask();
  // mkostemp creates with O_EXCL: a link at the name makes it fail, never followed
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) throw InputError(path.string() + ": cannot be written (" + Reason(errno) + ")");
  ::fchmod(fd, 0666 & ~Umask());
  ::close(fd);
  return name;
}

namespace {

// Removes the folders ".NAME.XXXXXX" beside `path` that runs killed before they could clean up left
// (a picture folder of a check, a merge or a view being built): those that no running process holds
// locked. One must also have been left alone for a few seconds, as a run locks its folder an instant
// after it made it.
void RemoveAbandonedBeside(const std::filesystem::path& path) {
  const std::string prefix = "." + path.filename().string() + ".";
  std::error_code error;
  std::vector<std::filesystem::path> candidates;
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) candidates.push_back(entry.path());
  }
  for (const std::filesystem::path& folder : candidates) {
    Descriptor held(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (held.Get() < 0 || ::fstat(held.Get(), &info) != 0 || ::time(nullptr) - info.st_mtime < 5) continue;
    if (::flock(held.Get(), LOCK_EX | LOCK_NB) == 0) std::filesystem::remove_all(folder, error);
  }
}

}  // namespace

TemporaryFolder::TemporaryFolder(const std::filesystem::path& beside) {
  RemoveAbandonedBeside(beside);
  std::string name = (beside.parent_path() / ("." + beside.filename().string() + ".XXXXXX")).string();
  Umask();
  if (!::mkdtemp(name.data()))
    throw InputError(beside.string() + ": cannot be written (" + Reason(errno) + ")");
  path_ = name;
  ::chmod(name.c_str(), 0777 & ~Umask());
  fd_ = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd_ >= 0) ::flock(fd_, LOCK_EX);
}

TemporaryFolder::~TemporaryFolder() {
  if (fd_ >= 0) ::close(fd_);
}

void FillTemporary(const std::filesystem::path& temporary, const std::string& content,
                   const std::filesystem::path& shownAs) {
  Descriptor out(::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
  if (out.Get() < 0) FailAndRemove(temporary, shownAs, "cannot be written", errno);
  int error = WriteAll(out.Get(), content.data(), content.size());
  if (!error && ::fsync(out.Get()) != 0) error = errno;
  if (!error) error = out.Close();
  if (error) FailAndRemove(temporary, shownAs, "cannot be written", error);
}

void CopyIntoTemporary(const std::filesystem::path& from, const std::filesystem::path& temporary,
                       const std::filesystem::path& shownAs) {
  Descriptor in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (in.Get() < 0 || ::fstat(in.Get(), &info) != 0)
    FailAndRemove(temporary, shownAs, "cannot copy " + from.string() + " there", errno);
  if (!S_ISREG(info.st_mode))
    FailAndRemove(temporary, shownAs, "cannot copy " + from.string() + " there", EINVAL);
  Descriptor out(::open(temporary.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
  if (out.Get() < 0) FailAndRemove(temporary, shownAs, "cannot be written", errno);
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailAndRemove(temporary, shownAs, "cannot copy " + from.string() + " there", errno);
    if (n == 0) break;
    if (const int error = WriteAll(out.Get(), buffer, size_t(n)))
      FailAndRemove(temporary, shownAs, "cannot be written", error);
  }
  int error = ::fsync(out.Get()) != 0 ? errno : 0;
  if (!error) error = out.Close();
  if (error) FailAndRemove(temporary, shownAs, "cannot be written", error);
}

void RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    throw InputError(to.string() + ": cannot be replaced (" + Reason(errno) + ")");
}

void SyncFolder(const std::filesystem::path& folder) {
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) ::fsync(fd.Get());
}

void WriteFileAtomically(const std::filesystem::path& path, const std::string& content) {
  const std::filesystem::path temporary = CreateTemporaryBeside(path);
  FillTemporary(temporary, content, path);
  try {
    RenameOver(temporary, path);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw;
  }
}

AtomicFile::AtomicFile(const std::filesystem::path& path)
    : path_(path), temporary_(CreateTemporaryBeside(path)) {
  const int fd = ::open(temporary_.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 || !(file_ = ::fdopen(fd, "w"))) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    FailAndRemove(temporary_, path_, "cannot be written", error);
  }
}

AtomicFile::~AtomicFile() {
  if (file_) {
    std::fclose(file_);
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
  }
}

void AtomicFile::Write(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    const int error = errno;
    std::fclose(file_);
    file_ = nullptr;
    FailAndRemove(temporary_, path_, "cannot be written", error);
  }
}

void AtomicFile::Commit() {
  int error = std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0 ? errno : 0;
  if (std::fclose(file_) != 0 && !error) error = errno;
  file_ = nullptr;
  if (error) FailAndRemove(temporary_, path_, "cannot be written", error);
  try {
    RenameOver(temporary_, path_);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    throw;
  }
}

void ReplaceFolder(const std::filesystem::path& fresh, const std::filesystem::path& target) {
  // Exchanged in one step, the target is never missing; the old folder ends up at the fresh one's name.
  if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
    const int error = errno;
    if (error != ENOENT || ::rename(fresh.c_str(), target.c_str()) != 0)
      throw InputError(target.string() + ": cannot be replaced (" + Reason(error == ENOENT ? errno : error) +
                       ")");
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(fresh, ignored);
}

FolderLock::FolderLock(const std::filesystem::path& folder, bool exclusive) {
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    if (!exclusive) return;
    throw InputError(folder.string() + ": cannot be opened (" + Reason(errno) + ")");
  }
  int result;
  do result = ::flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
  while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    if (exclusive) throw InputError(folder.string() + ": cannot be locked (" + Reason(error) + ")");
  }
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace relkit_report
