// What a HostFilename is inside zorhost. Paths are kept as the module gave them (Windows-style drive
// paths included); native() maps them onto this machine's file system.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "zor_api.h"

struct HostFilename {
  std::string path;  // UTF-8
  // A name that reads from a block of the module's memory (fn_set_memory_read): size >= 0. Copies and
  // assignments carry it; setting a path ends it.
  const void* memory = nullptr;
  int64_t memory_size = -1;
  bool is_memory() const { return memory_size >= 0; }
};

namespace zorhost {
std::filesystem::path native(const HostFilename* f);
HostFilename* new_host_filename(std::string_view utf8);  // freed by the files family's fn_free
const HostFileTable* files_table();
}  // namespace zorhost
