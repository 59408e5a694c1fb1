#include "bitmaps/image_decode.h"

#include <new>

#include "app/entry_guard.h"
#include "files/name_source.h"

namespace zorhost {
namespace {

// A file past this is not read into memory to be decoded.
constexpr int64_t kMaxEncodedBytes = int64_t{1} << 29;

}  // namespace

ImageFormat image_format_of(std::string_view bytes) {
  if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return ImageFormat::Png;
  if (bytes.starts_with("\xFF\xD8\xFF")) return ImageFormat::Jpeg;
  if (bytes.starts_with(std::string_view("II*\0", 4)) || bytes.starts_with(std::string_view("MM\0*", 4)))
    return ImageFormat::Tiff;
  return ImageFormat::Unknown;
}

int32_t decode_image(HostBitmap& bmp, std::string_view bytes) {
  try {
    switch (image_format_of(bytes)) {
      case ImageFormat::Png:
        return decode_png(bmp, bytes);
      case ImageFormat::Jpeg:
        return decode_jpeg(bmp, bytes);
      case ImageFormat::Tiff:
        return decode_tiff(bmp, bytes);
      case ImageFormat::Unknown:
        break;
    }
  } catch (const std::bad_alloc&) {
    return ZOR_IMAGE_NO_MEMORY;
  }
  return ZOR_IMAGE_WRONG_FORMAT;
}

int32_t bitmaps_init_with(HostBitmap* bmp, const HostFilename* name, int32_t /*frame*/) {
  return guarded("bitmaps.init_with", int32_t{ZOR_IMAGE_WRONG_FORMAT}, [&]() -> int32_t {
    if (!bmp || !name) return ZOR_IMAGE_NOT_EXISTING;
    const NamedBytes file = read_named_bytes(name, kMaxEncodedBytes);
    if (!file.ok) return ZOR_IMAGE_NOT_EXISTING;
    return decode_image(*bmp, file.bytes);
  });
}

}  // namespace zorhost
