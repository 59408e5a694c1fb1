// What the core I/O tests share: the module's core references resolved against zorhost in-process, and
// small zip archives (zip_writer.h) and images written for a test.
#pragma once
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/core_framework.h"
#include "nexal/object.h"
#include "zip_writer.h"

namespace test_support {

inline const std::filesystem::path kExifData = std::filesystem::path(RELKIT_SOURCE_DIR) / "tests/data/exif";

// The core interfaces the I/O classes call, resolved as zorhost resolves them at load, for as long as
// the object lives: references it found unresolved are left so again (other tests rely on that).
class CoreIoResolved {
 public:
  CoreIoResolved() {
    for (const nexal::Ref which : kUsed) {
      NexalReference& reference = nexal::Reference(which);
      if (reference.resolved != nullptr) continue;
      zorhost::resolve_core_reference(&reference);
      resolved_.push_back(&reference);
    }
  }
  ~CoreIoResolved() {
    for (NexalReference* reference : resolved_) reference->resolved = nullptr;
  }
  CoreIoResolved(const CoreIoResolved&) = delete;
  CoreIoResolved& operator=(const CoreIoResolved&) = delete;

 private:
  static constexpr nexal::Ref kUsed[] = {nexal::Ref::System,      nexal::Ref::Url,   nexal::Ref::IoBrowse,
                                         nexal::Ref::InputStream, nexal::Ref::Error, nexal::Ref::Exif};
  std::vector<NexalReference*> resolved_;
};

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
