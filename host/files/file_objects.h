// The files family's own host objects: folder listings and byte files.
#pragma once
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "files/replacing_file.h"
#include "zor_api.h"

struct HostBrowse {
  std::filesystem::directory_iterator iterator;
  bool started = false;
  bool has_entry = false;
  std::string name;  // of the current entry
  bool is_folder = false;
  bool is_link = false;
  int64_t size = 0;
  int64_t time = 0;  // seconds since 1970
};

struct HostFile {
  std::FILE* stream = nullptr;
  std::filesystem::path path;
  int32_t mode = 0;
  // for writing and read-write: the temporary that replaces the file at the close
  std::unique_ptr<zorhost::ReplacingFile> replacing;
  // the first write or close error, already said on stderr
  bool failed = false;
};

namespace zorhost {
// the files family's entry points for folder listings and byte files
HostBrowse* files_browse_open(const HostFilename* folder, int32_t flags);
bool files_browse_next(HostBrowse* b);
void files_browse_name(const HostBrowse* b, HostFilename* out);
bool files_browse_is_folder(const HostBrowse* b);
bool files_browse_is_link(const HostBrowse* b);
int64_t files_browse_size(const HostBrowse* b);
int64_t files_browse_time(const HostBrowse* b);
void files_browse_free(HostBrowse* b);
HostFile* files_file_alloc();
void files_file_free(HostFile* file);
bool files_file_open(HostFile* file, const HostFilename* name, int32_t mode, int32_t error_dialog,
                     int32_t byte_order, uint32_t type, uint32_t creator);
bool files_file_close(HostFile* file);
int64_t files_file_length(HostFile* file);
int64_t files_file_position(HostFile* file);
bool files_file_seek(HostFile* file, int64_t position);
bool files_file_read(HostFile* file, void* buffer, int64_t length);
bool files_file_write(HostFile* file, const void* buffer, int64_t length);
std::filesystem::path drive_root(char letter);
// A drive's root is always there, as on the machines module code is written for: the folder that the
// drive letter of f maps to is made, when missing, before something is created in it.
void make_drive_root(const HostFilename* f);
}  // namespace zorhost
