// What the core I/O tests share: the module's core references resolved against zorhost in-process, and
// small zip archives and images written for a test.
#pragma once
#include <png.h>
#include <zip.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/core_framework.h"
#include "nexal/object.h"

namespace test_support {

// The core interfaces the I/O classes call, resolved as zorhost resolves them at load.
inline void ResolveCoreIo() {
  for (const nexal::Ref which : {nexal::Ref::System, nexal::Ref::Url, nexal::Ref::IoBrowse,
                                 nexal::Ref::InputStream, nexal::Ref::Error, nexal::Ref::Exif})
    zorhost::resolve_core_reference(&nexal::Reference(which));
}

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

// A PNG of width x height pixels; format is libpng's simplified one (PNG_FORMAT_RGB, _GA, ...), pixels
// hold its samples row by row.
inline std::string PngBytes(int width, int height, uint32_t format, const std::vector<uint8_t>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr)) return {};
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

inline std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace test_support
