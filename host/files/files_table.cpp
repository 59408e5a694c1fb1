#include <cstdlib>
#include <system_error>

#include "app/entry_guard.h"
#include "app/host_options.h"
#include "app/host_table.h"
#include "files/file_lock.h"
#include "files/file_objects.h"
#include "files/filename_impl.h"
#include "files/folder_ops.h"
#include "files/identify.h"
#include "files/path_text.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"

namespace fs = std::filesystem;

namespace zorhost {

fs::path drive_root(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  const auto& drives = options().drives;
  if (auto found = drives.find(letter); found != drives.end()) return found->second;
  return options().prefs_dir / (std::string("drive_") + static_cast<char>(letter - 'A' + 'a'));
}

void make_drive_root(const HostFilename* f) {
  if (!f || !has_drive(f->path)) return;
  const fs::path root = drive_root(f->path[0]);
  std::error_code ignored;
  if (!fs::exists(root, ignored)) fs::create_directories(root, ignored);
}

fs::path native(const HostFilename* f) {
  if (!f) return {};
  std::string path = f->path;
  // Module code is written for Windows, where "\" separates folders; a backslash inside a Linux file
  // name is rare enough that treating it as a separator serves modules better.
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (!has_drive(path)) return fs::path(path);
  std::string rest = path.substr(2);
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  const fs::path root = drive_root(path[0]);
  return rest.empty() ? root : root / rest;
}

HostFilename* new_host_filename(std::string_view utf8) {
  return tracked(ObjectKind::Filename, new HostFilename{std::string(utf8)});
}

namespace {

HostFilename* files_fn_alloc() {
  return guarded("files.fn_alloc", static_cast<HostFilename*>(nullptr), [] { return new_host_filename(""); });
}

void files_fn_free(HostFilename* f) {
  guarded_void("files.fn_free", [&] { delete_tracked(ObjectKind::Filename, f); });
}

HostFilename* files_fn_copy(const HostFilename* f) {
  return guarded("files.fn_copy", static_cast<HostFilename*>(nullptr), [&]() -> HostFilename* {
    if (!f) return nullptr;
    HostFilename* copy = new_host_filename(f->path);
    copy->memory = f->memory;
    copy->memory_size = f->memory_size;
    return copy;
  });
}

void files_fn_assign(HostFilename* dst, const HostFilename* src) {
  guarded_void("files.fn_assign", [&] {
    if (dst) *dst = src ? *src : HostFilename{};
  });
}

void files_fn_set_string(HostFilename* f, const HostString* path) {
  guarded_void("files.fn_set_string", [&] {
    if (f) *f = HostFilename{to_utf8(path)};
  });
}

void files_fn_get_string(const HostFilename* f, HostString* out) {
  guarded_void("files.fn_get_string", [&] {
    if (out) out->text = f ? from_utf8(f->path) : std::u32string();
  });
}

void files_fn_join(HostFilename* dst, const HostFilename* base, const HostFilename* name) {
  guarded_void("files.fn_join", [&] {
    if (!dst) return;
    dst->path = join_path(base ? base->path : std::string(), name ? name->path : std::string());
  });
}

void files_fn_directory(const HostFilename* f, HostFilename* out) {
  guarded_void("files.fn_directory", [&] {
    if (out) out->path = f ? directory_part(f->path) : std::string();
  });
}

void files_fn_file(const HostFilename* f, HostFilename* out) {
  guarded_void("files.fn_file", [&] {
    if (out) out->path = f ? file_part(f->path) : std::string();
  });
}

bool files_fn_check_suffix(const HostFilename* f, const char* suffix) {
  return guarded("files.fn_check_suffix", false, [&] { return f && suffix && has_suffix(f->path, suffix); });
}

void files_fn_set_suffix(HostFilename* f, const char* suffix) {
  guarded_void("files.fn_set_suffix", [&] {
    if (f) f->path = with_suffix(f->path, suffix ? suffix : "");
  });
}

bool files_fn_equal(const HostFilename* a, const HostFilename* b) {
  return guarded("files.fn_equal", false, [&] { return (a ? a->path : "") == (b ? b->path : ""); });
}

bool files_fn_is_empty(const HostFilename* f) {
  return guarded("files.fn_is_empty", true, [&] { return !f || f->path.empty(); });
}

bool files_exists(const HostFilename* f, int32_t kind) {
  return guarded("files.exists", false, [&] {
    if (!f || f->path.empty()) return false;
    std::error_code error;
    const auto status = fs::status(native(f), error);
    if (error) return false;
    return kind == ZOR_EXISTS_FOLDER ? fs::is_directory(status)
                                     : fs::exists(status) && !fs::is_directory(status);
  });
}

bool files_create_folder(const HostFilename* f) {
  return guarded("files.create_folder", false, [&] {
    if (!f || f->path.empty()) return false;
    // a folder whose parent is missing is a mistyped path more often than a wish
    make_drive_root(f);
    return create_single_folder(native(f));
  });
}

bool files_delete_file(const HostFilename* f, int32_t flags) {
  return guarded("files.delete_file", false, [&] {
    if (!f || f->path.empty()) return false;
    std::error_code error;
    const fs::path path = native(f);
    if (flags & ZOR_DELETE_FORCE) {
      // a read-only file is no obstacle to a forced delete
      fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, error);
      return fs::remove_all(path, error) > 0 && !error;
    }
    return fs::remove(path, error) && !error;
  });
}

void files_startup_folder(HostFilename* out) {
  guarded_void("files.startup_folder", [&] {
    if (out) out->path = options().startup_dir.string();
  });
}

bool files_folder_by_id(int32_t id, HostFilename* out) {
  return guarded("files.folder_by_id", false, [&] {
    if (!out) return false;
    fs::path folder;
    switch (id) {
      case ZOR_FOLDER_STARTUP:
        folder = options().startup_dir;
        break;
      case ZOR_FOLDER_PREFS:
        folder = options().prefs_dir;
        break;
      case ZOR_FOLDER_TEMP:
        folder = fs::temp_directory_path();
        break;
      case ZOR_FOLDER_LIBRARY:
        // the user's library: collection 0 of the scripts is its "scripts" folder
        folder = options().prefs_dir;
        break;
      case ZOR_FOLDER_SHARED_LIBRARY:
        // what every user of this installation shares
        folder = options().startup_dir / "library";
        break;
      case ZOR_FOLDER_HOME: {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return false;
        folder = home;
        break;
      }
      default:
        return false;
    }
    out->path = folder.string();
    return true;
  });
}

int32_t files_fn_compare(const HostFilename* a, const HostFilename* b) {
  return guarded("files.fn_compare", 0, [&] {
    return static_cast<int32_t>(compare_names(a ? a->path : std::string(), b ? b->path : std::string()));
  });
}

}  // namespace

const HostFileTable* files_table() {
  static const HostFileTable kTable{
      .size = sizeof(HostFileTable),
      .fn_alloc = files_fn_alloc,
      .fn_free = files_fn_free,
      .fn_copy = files_fn_copy,
      .fn_assign = files_fn_assign,
      .fn_set_string = files_fn_set_string,
      .fn_get_string = files_fn_get_string,
      .fn_join = files_fn_join,
      .fn_directory = files_fn_directory,
      .fn_file = files_fn_file,
      .fn_check_suffix = files_fn_check_suffix,
      .fn_set_suffix = files_fn_set_suffix,
      .fn_equal = files_fn_equal,
      .fn_is_empty = files_fn_is_empty,
      .exists = files_exists,
      .create_folder = files_create_folder,
      .delete_file = files_delete_file,
      .startup_folder = files_startup_folder,
      .folder_by_id = files_folder_by_id,
      .browse_open = files_browse_open,
      .browse_next = files_browse_next,
      .browse_name = files_browse_name,
      .browse_is_folder = files_browse_is_folder,
      .browse_size = files_browse_size,
      .browse_time = files_browse_time,
      .browse_free = files_browse_free,
      .file_alloc = files_file_alloc,
      .file_free = files_file_free,
      .file_open = files_file_open,
      .file_close = files_file_close,
      .file_length = files_file_length,
      .file_position = files_file_position,
      .file_seek = files_file_seek,
      .file_read = files_file_read,
      .file_write = files_file_write,
      .browse_is_link = files_browse_is_link,
      .folder_identity = files_folder_identity,
      .fn_compare = files_fn_compare,
      .fn_set_memory_read = files_fn_set_memory_read,
      .identify = files_identify,
      .identify_class = files_identify_class,
      .recognises = files_recognises,
      .lock_take = files_lock_take,
      .lock_free = files_lock_free,
  };
  return &kTable;
}

}  // namespace zorhost
