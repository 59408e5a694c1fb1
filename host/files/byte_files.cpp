#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/entry_guard.h"
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

bool close_stream(HostFile* file) {
  if (!file->stream) return false;
  const bool ok = std::fclose(file->stream) == 0;
  file->stream = nullptr;
  return ok;
}

}  // namespace

// The flags are the real host's listing options; this host always lists every entry.
HostBrowse* files_browse_open(const HostFilename* folder, int32_t /*flags*/) {
  return guarded("files.browse_open", static_cast<HostBrowse*>(nullptr), [&]() -> HostBrowse* {
    if (!folder) return nullptr;
    std::error_code error;
    fs::directory_iterator iterator(native(folder), error);
    if (error) return nullptr;
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
    b->has_entry = b->iterator != fs::directory_iterator();
    if (!b->has_entry) return false;
    const fs::directory_entry& entry = *b->iterator;
    b->name = entry.path().filename().string();
    b->is_folder = entry.is_directory(error);
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
    untrack_object(ObjectKind::File, file);
    delete file;
  });
}

// Byte order is the caller's business (bytes are written as given); type and creator codes only
// matter to file systems that keep them.
bool files_file_open(HostFile* file, const HostFilename* name, int32_t mode, int32_t error_dialog,
                     int32_t /*byte_order*/, uint32_t /*type*/, uint32_t /*creator*/) {
  return guarded("files.file_open", false, [&] {
    if (!file || !name) return false;
    close_stream(file);
    const fs::path path = native(name);
    const char* how = nullptr;
    switch (mode) {
      case ZOR_FILE_READ:
        how = "rb";
        break;
      case ZOR_FILE_WRITE:
        how = "wb";
        break;
      case ZOR_FILE_READWRITE:
        how = fs::exists(path) ? "r+b" : "w+b";
        break;
      case ZOR_FILE_APPEND:
        how = "ab";
        break;
      default:
        return false;
    }
    std::error_code error;
    if (fs::is_directory(path, error)) {
      errno = EISDIR;
    } else {
      file->stream = std::fopen(path.c_str(), how);
    }
    if (!file->stream) {
      if (error_dialog)
        std::fprintf(stderr, "zorhost: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
      return false;
    }
    file->path = path;
    file->mode = mode;
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
    std::error_code error;
    const auto size = fs::file_size(file->path, error);
    return error ? -1 : static_cast<int64_t>(size);
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
    return std::fwrite(buffer, 1, static_cast<size_t>(length), file->stream) == static_cast<size_t>(length);
  });
}

}  // namespace zorhost
