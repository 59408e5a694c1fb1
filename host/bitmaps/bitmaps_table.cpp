// The bitmaps family: 24-bit RGB images in memory, loaded from and saved to TIFF files.
#include <cstring>
#include <limits>
#include <new>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "app/run_status.h"
#include "bitmaps/bitmap_impl.h"
#include "bitmaps/image_decode.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

constexpr int32_t kMaxEdge = 1 << 15;

HostBitmap* bitmaps_alloc() {
  return guarded("bitmaps.alloc", static_cast<HostBitmap*>(nullptr),
                 [] { return tracked(ObjectKind::Bitmap, new HostBitmap); });
}

void bitmaps_free(HostBitmap* bmp) {
  guarded_void("bitmaps.free", [&] { delete_tracked(ObjectKind::Bitmap, bmp); });
}

int32_t init(HostBitmap* bmp, int32_t width, int32_t height, int32_t depth) {
  if (!bmp) return ZOR_IMAGE_NO_MEMORY;
  if (depth != ZOR_DEPTH_RGB) return ZOR_IMAGE_WRONG_FORMAT;
  if (width <= 0 || height <= 0 || width > kMaxEdge || height > kMaxEdge) {
    return ZOR_IMAGE_NO_MEMORY;
  }
  try {
    init_pixels(bmp->pixels, static_cast<size_t>(width) * height * 3);
  } catch (const std::bad_alloc&) {
    return ZOR_IMAGE_NO_MEMORY;
  }
  bmp->width = width;
  bmp->height = height;
  bmp->depth = depth;
  return ZOR_IMAGE_OK;
}

int32_t bitmaps_init(HostBitmap* bmp, int32_t width, int32_t height, int32_t depth, int32_t /*flags*/) {
  return guarded("bitmaps.init", int32_t{ZOR_IMAGE_NO_MEMORY},
                 [&] { return init(bmp, width, height, depth); });
}

int32_t bitmaps_width(const HostBitmap* bmp) {
  return guarded("bitmaps.width", 0, [&] { return bmp ? bmp->width : 0; });
}
int32_t bitmaps_height(const HostBitmap* bmp) {
  return guarded("bitmaps.height", 0, [&] { return bmp ? bmp->height : 0; });
}
int32_t bitmaps_depth(const HostBitmap* bmp) {
  return guarded("bitmaps.depth", 0, [&] { return bmp ? bmp->depth : 0; });
}

// What a file cannot give is a result the module reports: only a failure of the host itself is an
// internal error.
int32_t bitmaps_load(HostBitmap* bmp, const HostFilename* name, int32_t /*frame*/, int32_t /*flags*/) {
  return guarded("bitmaps.load", int32_t{ZOR_IMAGE_WRONG_FORMAT}, [&]() -> int32_t {
    if (!bmp || !name) return ZOR_IMAGE_NOT_EXISTING;
    try {
      return load_tiff(*bmp, native(name));
    } catch (const std::bad_alloc&) {
      return ZOR_IMAGE_NO_MEMORY;
    } catch (...) {
      return ZOR_IMAGE_WRONG_FORMAT;
    }
  });
}

int32_t bitmaps_save(HostBitmap* bmp, const HostFilename* name, int32_t format,
                     const HostContainer* /*options*/, int32_t /*flags*/) {
  return guarded("bitmaps.save", int32_t{ZOR_IMAGE_NOT_EXISTING}, [&]() -> int32_t {
    if (!bmp || !name || bmp->depth == 0) return ZOR_IMAGE_NOT_EXISTING;
    // save_tiff notes its own write failures; the others are noted here, since an image the work
    // asked for is missing either way
    const auto not_saved = [&](int32_t answer, const char* why) {
      note_service_failure("cannot save image " + native(name).string() + ": " + why);
      return answer;
    };
    if (format != ZOR_FILTER_TIFF) return not_saved(ZOR_IMAGE_WRONG_FORMAT, "only TIFF can be written");
    try {
      return save_tiff(*bmp, native(name));
    } catch (const std::bad_alloc&) {
      return not_saved(ZOR_IMAGE_NO_MEMORY, "out of memory");
    } catch (...) {
      return not_saved(ZOR_IMAGE_NOT_EXISTING, "internal error");
    }
  });
}

bool row_in_bounds(const HostBitmap* bmp, int32_t x, int32_t y, int32_t count, const void* buffer,
                   int32_t increment, int32_t color_mode) {
  return bmp && buffer && bmp->depth != 0 && color_mode == ZOR_COLOR_MODE_RGB && increment >= 3 && x >= 0 &&
         y >= 0 && y < bmp->height && count >= 0 && static_cast<int64_t>(x) + count <= bmp->width;
}

bool get_row(const HostBitmap* bmp, int32_t x, int32_t y, int32_t count, uint8_t* buffer, int32_t increment,
             int32_t color_mode) {
  if (!row_in_bounds(bmp, x, y, count, buffer, increment, color_mode)) return false;
  const uint8_t* src = bmp->row(y) + static_cast<size_t>(x) * 3;
  // Packed pixels in both: one copy of the row, the common case of image comparison.
  if (increment == 3) {
    std::memcpy(buffer, src, static_cast<size_t>(count) * 3);
    return true;
  }
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* dst = buffer + static_cast<size_t>(i) * increment;
    dst[0] = src[3 * i];
    dst[1] = src[3 * i + 1];
    dst[2] = src[3 * i + 2];
  }
  return true;
}

bool set_row(HostBitmap* bmp, int32_t x, int32_t y, int32_t count, const uint8_t* buffer, int32_t increment,
             int32_t color_mode) {
  if (!row_in_bounds(bmp, x, y, count, buffer, increment, color_mode)) return false;
  uint8_t* dst = bmp->row(y) + static_cast<size_t>(x) * 3;
  if (increment == 3) {
    std::memcpy(dst, buffer, static_cast<size_t>(count) * 3);
    return true;
  }
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* src = buffer + static_cast<size_t>(i) * increment;
    dst[3 * i] = src[0];
    dst[3 * i + 1] = src[1];
    dst[3 * i + 2] = src[2];
  }
  return true;
}

bool bitmaps_get_row(const HostBitmap* bmp, int32_t x, int32_t y, int32_t count, uint8_t* buffer,
                     int32_t increment, int32_t color_mode) {
  return guarded("bitmaps.get_row", false,
                 [&] { return get_row(bmp, x, y, count, buffer, increment, color_mode); });
}

bool bitmaps_set_row(HostBitmap* bmp, int32_t x, int32_t y, int32_t count, const uint8_t* buffer,
                     int32_t increment, int32_t color_mode) {
  return guarded("bitmaps.set_row", false,
                 [&] { return set_row(bmp, x, y, count, buffer, increment, color_mode); });
}

}  // namespace

const HostBitmapTable* bitmaps_table() {
  static const HostBitmapTable kTable{
      .size = sizeof(HostBitmapTable),
      .alloc = bitmaps_alloc,
      .free = bitmaps_free,
      .init = bitmaps_init,
      .width = bitmaps_width,
      .height = bitmaps_height,
      .depth = bitmaps_depth,
      .load = bitmaps_load,
      .save = bitmaps_save,
      .get_row = bitmaps_get_row,
      .set_row = bitmaps_set_row,
      .init_with = bitmaps_init_with,
  };
  return &kTable;
}

}  // namespace zorhost
