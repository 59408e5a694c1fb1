#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/entry_guard.h"
#include "app/run_status.h"
#include "documents/scene_errors.h"
#include "files/file_objects.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"

namespace fs = std::filesystem;

namespace zorhost {
namespace {

int64_t seconds_since_1970(fs::file_time_type time) {
  const auto system = fs::file_time_type::clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// Writes are buffered in large pieces; errors of buffered writes surface at the flush and the close.
constexpr size_t kWriteBuffer = size_t{1} << 16;

// A write the module asked for that failed is a failure of its work, whatever the module does next:
// noted for the exit status as well as said.
void say_failure(const std::filesystem::path& path, int error) {
  const std::string cause = "cannot write " + path.string() + ": " + std::strerror(error);
  std::fprintf(stderr, "zorhost: %s\n", cause.c_str());
  note_service_failure(cause);
}

void report_replacing(ReplacingFile& file) {
  file.report();
  if (file.failed()) note_service_failure(file.error());
}

// Ends what is open. A written file replaces the final one only when every write, the flush, the sync
// and the close succeeded; otherwise the old file stays and the reason is on stderr.
bool close_stream(HostFile* file) {
  if (!file->stream) return false;
  bool ok = !file->failed;
  int error = 0;
  if (std::fflush(file->stream) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && !file->replacing && file->mode != ZOR_FILE_READ && ::fsync(fileno(file->stream)) != 0) {
    ok = false;
    error = errno;
  }
  if (std::fclose(file->stream) != 0 && ok) {
    ok = false;
    error = errno;
  }
  file->stream = nullptr;
  if (file->replacing) {
    if (!ok && !file->failed) file->replacing->fail(error);
    ok = file->replacing->commit() && ok;
    report_replacing(*file->replacing);
    file->replacing.reset();
  } else if (!ok && !file->failed) {
    say_failure(file->path, error);
  }
  file->failed = false;
  if (ok && file->mode != ZOR_FILE_READ && file->path.filename() == kRunReportFile)
    write_scene_errors(file->path);
  return ok;
}

// Opens an existing regular file for reading, or one for appending (made when missing). Anything else
// is refused: a pipe would block the open until someone writes to it, and a folder is no file.
std::FILE* open_regular(const fs::path& path, bool append, std::string& why) {
  const int flags = append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY;
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
  struct stat status {};
  if (fd >= 0 && ::fstat(fd, &status) == 0 && !S_ISREG(status.st_mode)) {
    why = S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "not a regular file";
    ::close(fd);
    return nullptr;
  }
  std::FILE* stream = nullptr;
  if (fd >= 0 && ::fcntl(fd, F_SETFL, flags & O_APPEND) == 0) stream = ::fdopen(fd, append ? "ab" : "rb");
  if (!stream) {
    why = std::strerror(errno);
    if (fd >= 0) ::close(fd);
  }
  return stream;
}

// A name with a control byte would split or forge a line of every report that lists it: it is left
// out of listings, and said with those bytes escaped so the file is never lost without a word.
bool is_control(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

std::string escape_controls(const std::string& text) {
  std::string shown;
  for (const unsigned char c : text) {
    if (!is_control(c)) {
      shown += static_cast<char>(c);
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    shown += escaped;
  }
  return shown;
}

bool leave_out(const fs::path& folder, const std::string& name) {
  if (std::none_of(name.begin(), name.end(),
                   [](char c) { return is_control(static_cast<unsigned char>(c)); }))
    return false;
  const std::string path = (folder / name).string();
  if (note_left_out_name(path))
    std::fprintf(stderr, "zorhost: warning: left out %s: a report line cannot hold its name\n",
                 escape_controls(path).c_str());
  return true;
}

}  // namespace

// The flags are the real host's listing options; this host always lists every entry.
HostBrowse* files_browse_open(const HostFilename* folder, int32_t /*flags*/) {
  return guarded("files.browse_open", static_cast<HostBrowse*>(nullptr), [&]() -> HostBrowse* {
    if (!folder) return nullptr;
    std::error_code error;
    const fs::path path = native(folder);
    fs::directory_iterator iterator(path, error);
    if (error) {
      // A folder that is not there is the caller's question; one that is there but cannot be listed
      // is a fact the user has to learn of, with its reason.
      if (error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
        std::fprintf(stderr, "zorhost: cannot list folder %s: %s\n", path.c_str(), error.message().c_str());
      return nullptr;
    }
    auto* browse = new HostBrowse;
    browse->iterator = std::move(iterator);
    return tracked(ObjectKind::Browse, browse);
  });
}

bool files_browse_next(HostBrowse* b) {
  return guarded("files.browse_next", false, [&] {
    if (!b) return false;
    std::error_code error;
    if (b->started) {
      b->iterator.increment(error);
      if (error) b->iterator = fs::directory_iterator();
    }
    b->started = true;
    while (b->iterator != fs::directory_iterator() &&
           leave_out(b->iterator->path().parent_path(), b->iterator->path().filename().string())) {
      b->iterator.increment(error);
      if (error) b->iterator = fs::directory_iterator();
    }
    b->has_entry = b->iterator != fs::directory_iterator();
    if (!b->has_entry) return false;
    const fs::directory_entry& entry = *b->iterator;
    b->name = entry.path().filename().string();
    b->is_folder = entry.is_directory(error);
    b->is_link = entry.is_symlink(error);
    b->size = b->is_folder ? 0 : static_cast<int64_t>(entry.file_size(error));
    if (error) b->size = 0;
    const auto time = entry.last_write_time(error);
    b->time = error ? 0 : seconds_since_1970(time);
    return true;
  });
}

void files_browse_name(const HostBrowse* b, HostFilename* out) {
  guarded_void("files.browse_name", [&] {
    if (out) out->path = b && b->has_entry ? b->name : std::string();
  });
}

bool files_browse_is_folder(const HostBrowse* b) {
  return guarded("files.browse_is_folder", false, [&] { return b && b->has_entry && b->is_folder; });
}

bool files_browse_is_link(const HostBrowse* b) {
  return guarded("files.browse_is_link", false, [&] { return b && b->has_entry && b->is_link; });
}

int64_t files_browse_size(const HostBrowse* b) {
  return guarded("files.browse_size", int64_t{0}, [&] { return b && b->has_entry ? b->size : 0; });
}

int64_t files_browse_time(const HostBrowse* b) {
  return guarded("files.browse_time", int64_t{0}, [&] { return b && b->has_entry ? b->time : 0; });
}

void files_browse_free(HostBrowse* b) {
  guarded_void("files.browse_free", [&] { delete_tracked(ObjectKind::Browse, b); });
}

HostFile* files_file_alloc() {
  return guarded("files.file_alloc", static_cast<HostFile*>(nullptr),
                 [] { return tracked(ObjectKind::File, new HostFile); });
}

void files_file_free(HostFile* file) {
  guarded_void("files.file_free", [&] {
    if (!file) return;
    close_stream(file);
    delete_tracked(ObjectKind::File, file);
  });
}

// Writing and read-write go to a temporary that replaces the file at the close (read-write starts
// from a copy of it); appending writes in place, since what was there before is never touched.
// Byte order is the caller's business (bytes are written as given); type and creator codes only
// matter to file systems that keep them.
bool files_file_open(HostFile* file, const HostFilename* name, int32_t mode, int32_t error_dialog,
                     int32_t /*byte_order*/, uint32_t /*type*/, uint32_t /*creator*/) {
  return guarded("files.file_open", false, [&] {
    if (!file || !name) return false;
    close_stream(file);
    const fs::path path = native(name);
    if (mode == ZOR_FILE_WRITE || mode == ZOR_FILE_READWRITE || mode == ZOR_FILE_APPEND)
      make_drive_root(name);
    if (mode == ZOR_FILE_WRITE || mode == ZOR_FILE_READWRITE) {
      auto replacing = std::make_unique<ReplacingFile>();
      if (replacing->open(path, mode == ZOR_FILE_READWRITE)) {
        // the stream closes its own descriptor; the replacing file keeps the temporary locked
        const int fd = ::dup(replacing->fd());
        if (fd >= 0) file->stream = ::fdopen(fd, "r+b");
        if (!file->stream) {
          replacing->fail(errno);
          if (fd >= 0) ::close(fd);
        }
      }
      if (!file->stream) {
        // said only when the module asked for it, but a write that could not start fails the work
        if (error_dialog) replacing->report();
        note_service_failure(replacing->error());
        return false;
      }
      file->replacing = std::move(replacing);
    } else {
      if (mode != ZOR_FILE_READ && mode != ZOR_FILE_APPEND) return false;
      std::string why;
      file->stream = open_regular(path, mode == ZOR_FILE_APPEND, why);
      if (!file->stream) {
        if (error_dialog) std::fprintf(stderr, "zorhost: cannot open %s: %s\n", path.c_str(), why.c_str());
        // reads are probes (the module asks whether a file is there); an append is a write
        if (mode == ZOR_FILE_APPEND) note_service_failure("cannot write " + path.string() + ": " + why);
        return false;
      }
    }
    if (mode != ZOR_FILE_READ) std::setvbuf(file->stream, nullptr, _IOFBF, kWriteBuffer);
    file->path = path;
    file->mode = mode;
    file->failed = false;
    return true;
  });
}

bool files_file_close(HostFile* file) {
  return guarded("files.file_close", false, [&] { return file && close_stream(file); });
}

int64_t files_file_length(HostFile* file) {
  return guarded("files.file_length", int64_t{-1}, [&]() -> int64_t {
    if (!file || !file->stream) return -1;
    std::fflush(file->stream);
    struct stat status {};
    if (::fstat(fileno(file->stream), &status) != 0) return -1;
    return static_cast<int64_t>(status.st_size);
  });
}

int64_t files_file_position(HostFile* file) {
  return guarded("files.file_position", int64_t{-1}, [&]() -> int64_t {
    if (!file || !file->stream) return -1;
    return static_cast<int64_t>(std::ftell(file->stream));
  });
}

bool files_file_seek(HostFile* file, int64_t position) {
  return guarded("files.file_seek", false, [&] {
    return file && file->stream && position >= 0 &&
           std::fseek(file->stream, static_cast<long>(position), SEEK_SET) == 0;
  });
}

bool files_file_read(HostFile* file, void* buffer, int64_t length) {
  return guarded("files.file_read", false, [&] {
    if (!file || !file->stream || length < 0 || (!buffer && length > 0)) return false;
    return std::fread(buffer, 1, static_cast<size_t>(length), file->stream) == static_cast<size_t>(length);
  });
}

bool files_file_write(HostFile* file, const void* buffer, int64_t length) {
  return guarded("files.file_write", false, [&] {
    if (!file || !file->stream || file->mode == ZOR_FILE_READ || length < 0 || (!buffer && length > 0))
      return false;
    if (file->failed) return false;
    if (std::fwrite(buffer, 1, static_cast<size_t>(length), file->stream) == static_cast<size_t>(length))
      return true;
    // the file is not put in place at the close; the old one stays
    const int error = errno;
    file->failed = true;
    if (file->replacing) {
      file->replacing->fail(error);
      report_replacing(*file->replacing);
    } else {
      say_failure(file->path, error);
    }
    return false;
  });
}

}  // namespace zorhost
