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
// the operations of the table that work on folder listings and byte files
void fill_browse_operations(HostFileTable& table);
void fill_byte_file_operations(HostFileTable& table);
std::filesystem::path drive_root(char letter);
}  // namespace zorhost
