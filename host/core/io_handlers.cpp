#include "core/io_handlers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "files/filename_impl.h"

namespace zorhost {
namespace {

std::string system_error_text(int error) {
  return std::strerror(error);
}

std::string native_path(const std::string& path) {
  const HostFilename name{path};
  return native(&name).string();
}

// The entry for a path of the file system; false when it is not there (anymore).
bool file_entry(const std::string& path, const std::string& shown, IoEntry& entry) {
  const std::string where = native_path(path);
  struct statx info {};
  const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  // a link is described by what it points to; a broken one by itself
  if (statx(AT_FDCWD, where.c_str(), AT_STATX_SYNC_AS_STAT, mask, &info) != 0 &&
      statx(AT_FDCWD, where.c_str(), AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, mask, &info) != 0) {
    return false;
  }
  entry.url = file_url(path);
  entry.attributes = 0;
  const bool folder = S_ISDIR(info.stx_mode);
  if (folder) entry.attributes |= NEXAL_IO_FOLDER;
  // the file's own permission, not the caller's: a protected file is read-only for root too
  if ((info.stx_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) entry.attributes |= NEXAL_IO_READ_ONLY;
  const std::string name = path.substr(path.rfind('/') + 1);
  if (name.starts_with('.')) entry.attributes |= NEXAL_IO_HIDDEN;
  entry.size = folder ? -1 : static_cast<int64_t>(info.stx_size);
  entry.modified = local_date_time(info.stx_mtime.tv_sec);
  if ((info.stx_mask & STATX_BTIME) != 0) {
    entry.created = local_date_time(info.stx_btime.tv_sec);
  } else {
    entry.created_error = "the file system keeps no creation time for " + shown;
  }
  return true;
}

std::optional<CoreFailure> list_folder(const std::string& path, std::vector<IoEntry>& entries) {
  const std::string where = native_path(path);
  DIR* folder = opendir(where.c_str());
  if (!folder) return CoreFailure{NEXAL_ERROR_IO, "cannot list " + path + ": " + system_error_text(errno)};
  const std::string base = path.ends_with('/') ? path : path + "/";
  while (const dirent* item = readdir(folder)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    IoEntry entry;
    // an entry removed while the folder is listed is simply not there
    if (file_entry(base + name, base + name, entry)) entries.push_back(std::move(entry));
  }
  closedir(folder);
  return std::nullopt;
}

class FileSource final : public InputSource {
 public:
  FileSource(int fd, int64_t length) : InputSource(length), fd_(fd) {}
  ~FileSource() override { ::close(fd_); }

 protected:
  int64_t read_some(char* into, int64_t count, std::string* failure) override {
    ssize_t got;
    do {
      got = ::read(fd_, into, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    if (got < 0 && failure) *failure = system_error_text(errno);
    return got;
  }

 private:
  int fd_;
};

}  // namespace

int64_t InputSource::read(char* into, int64_t count, std::string* failure) {
  int64_t done = 0;
  while (done < count) {
    const int64_t got = read_some(into + done, count - done, failure);
    if (got <= 0) break;
    done += got;
  }
  position_ += done;
  return done;
}

namespace {

std::unique_ptr<InputSource> open_file(const std::string& path, CoreFailure& failure) {
  const std::string where = native_path(path);
  // not blocking: a named pipe must not hang the caller; only regular files are read
  const int fd = ::open(where.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    failure = {NEXAL_ERROR_IO, "cannot open " + path + ": " + system_error_text(errno)};
    return nullptr;
  }
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const bool folder = S_ISDIR(info.st_mode);
    ::close(fd);
    failure = {NEXAL_ERROR_IO,
               "cannot open " + path + (folder ? ": it is a folder" : ": not a regular file")};
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<FileSource>(fd, static_cast<int64_t>(info.st_size));
}

CoreFailure no_handler(const UrlParts& url) {
  if (url.scheme.empty()) return {NEXAL_ERROR_ILLEGAL_ARGUMENT, "not a URL: \"" + url.text + "\""};
  if (url.kind == UrlParts::Kind::Other && serves_scheme(url.scheme))
    return {NEXAL_ERROR_ILLEGAL_ARGUMENT, "not a valid " + url.scheme + " URL: \"" + url.text + "\""};
  return {NEXAL_ERROR_UNSUPPORTED,
          "no I/O handler serves the scheme \"" + url.scheme + "\" (" + url.text + ")"};
}

CoreFailure zip_needs_archive() {
  return {NEXAL_ERROR_ILLEGAL_ARGUMENT, "zip:// needs an archive: zip://<archive URL>!/<path inside>"};
}

IoEntry folder_entry(const std::string& url) {
  IoEntry entry;
  entry.url = url;
  entry.attributes = NEXAL_IO_FOLDER;
  return entry;
}

}  // namespace

std::string short_read_message(int64_t read, int64_t asked) {
  return "The requested number of bytes could not be read (" + std::to_string(read) + " of " +
         std::to_string(asked) + ").";
}

NexalDateTime local_date_time(int64_t seconds_since_1970) {
  const time_t seconds = static_cast<time_t>(seconds_since_1970);
  struct tm local {};
  if (!localtime_r(&seconds, &local)) return {};
  NexalDateTime time{};
  time.year = local.tm_year + 1900;
  time.month = static_cast<uint8_t>(local.tm_mon + 1);
  time.day = static_cast<uint8_t>(local.tm_mday);
  time.hour = static_cast<uint8_t>(local.tm_hour);
  time.minute = static_cast<uint8_t>(local.tm_min);
  time.second = static_cast<uint8_t>(local.tm_sec);
  return time;
}

std::optional<CoreFailure> list_url(const UrlParts& url, std::vector<IoEntry>& entries) {
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
      for (const char* scheme : kServedSchemes) entries.push_back(folder_entry(std::string(scheme) + "://"));
      return std::nullopt;
    case UrlParts::Kind::SchemeRoot:
      if (url.scheme == "file") return list_folder("/", entries);
      return zip_needs_archive();
    case UrlParts::Kind::File:
      return list_folder(url.path, entries);
    case UrlParts::Kind::Zip:
      return list_zip(url, entries);
    case UrlParts::Kind::Other:
      break;
  }
  return no_handler(url);
}

std::optional<CoreFailure> describe_url(const UrlParts& url, IoEntry& entry, int32_t& exists) {
  exists = 0;
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
    case UrlParts::Kind::SchemeRoot:
      entry = folder_entry(url.text);
      exists = 2;
      return std::nullopt;
    case UrlParts::Kind::File:
      if (file_entry(url.path, url.path, entry)) exists = (entry.attributes & NEXAL_IO_FOLDER) ? 2 : 1;
      return std::nullopt;
    case UrlParts::Kind::Zip:
      return describe_zip(url, entry, exists);
    case UrlParts::Kind::Other:
      break;
  }
  return no_handler(url);
}

std::unique_ptr<InputSource> open_url(const UrlParts& url, CoreFailure& failure) {
  switch (url.kind) {
    case UrlParts::Kind::Handlers:
    case UrlParts::Kind::SchemeRoot:
      failure = {NEXAL_ERROR_IO, "cannot read " + url.text + ": it is a list of locations"};
      return nullptr;
    case UrlParts::Kind::File:
      return open_file(url.path, failure);
    case UrlParts::Kind::Zip:
      return open_zip(url, failure);
    case UrlParts::Kind::Other:
      break;
  }
  failure = no_handler(url);
  return nullptr;
}

std::optional<CoreFailure> read_url(const UrlParts& url, int64_t limit, std::string& bytes) {
  CoreFailure failure;
  const std::unique_ptr<InputSource> source = open_url(url, failure);
  if (!source) return failure;
  const int64_t length = source->length();
  if (length > limit) {
    return CoreFailure{NEXAL_ERROR_IO, url.text + " holds " + std::to_string(length) + " bytes, more than " +
                                           std::to_string(limit) + " can be read at once"};
  }
  bytes.resize(static_cast<size_t>(length));
  std::string cause;
  const int64_t read = source->read(bytes.data(), length, &cause);
  if (read != length) {
    bytes.resize(static_cast<size_t>(read));
    return CoreFailure{NEXAL_ERROR_IO, short_read_message(read, length)};
  }
  return std::nullopt;
}

}  // namespace zorhost
