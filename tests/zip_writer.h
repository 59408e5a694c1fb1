// Zip archives that tests write for the I/O layer to read, through libzip.
#pragma once
#include <zip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

// A zip archive at file holding these (name, content) entries; a name ending in "/" is a stored folder.
inline bool WriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const auto& [name, content] : entries) {
    if (name.ends_with('/')) {
      if (zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8) < 0) return zip_discard(archive), false;
      continue;
    }
    // libzip reads the bytes when the archive is closed: the strings outlive it
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(source);
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

}  // namespace test_support
