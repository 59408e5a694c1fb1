// Images decoded from bytes in memory (PNG, JPEG, TIFF) into 8-bit RGB bitmaps, for the bitmaps
// family's init_with. Every decoder survives truncated and corrupt data and refuses images whose header
// asks for more pixels than kMaxDecodedPixels before allocating anything for them.
#pragma once
#include <cstdint>
#include <string_view>

#include "bitmaps/bitmap_impl.h"

namespace zorhost {

enum class ImageFormat { Unknown, Png, Jpeg, Tiff };

// 64 M pixels (192 MB of RGB): far beyond any preview, far below what a hostile header could ask.
inline constexpr int64_t kMaxDecodedPixels = int64_t{1} << 26;

// From the first bytes (signatures only).
ImageFormat image_format_of(std::string_view bytes);

// ZOR_IMAGE_OK and bmp replaced; otherwise bmp is untouched and the answer is ZOR_IMAGE_WRONG_FORMAT
// (unknown, truncated or corrupt data) or ZOR_IMAGE_NO_MEMORY (too many pixels, no memory).
int32_t decode_image(HostBitmap& bmp, std::string_view bytes);
int32_t decode_png(HostBitmap& bmp, std::string_view bytes);
int32_t decode_jpeg(HostBitmap& bmp, std::string_view bytes);
int32_t decode_tiff(HostBitmap& bmp, std::string_view bytes);

// The bitmaps family's init_with.
int32_t bitmaps_init_with(HostBitmap* bmp, const HostFilename* name, int32_t frame);

}  // namespace zorhost
