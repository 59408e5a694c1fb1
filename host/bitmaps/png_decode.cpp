// PNG from memory with libpng: any bit depth and colour type becomes 8-bit RGB (alpha dropped, 16-bit
// samples cut to their high byte). libpng reports errors by longjmp: nothing with a destructor lives in
// the frames it jumps over.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "bitmaps/image_decode.h"

namespace zorhost {
namespace {

struct MemoryReader {
  const unsigned char* data;
  size_t size;
  size_t at;
};

void read_from_memory(png_structp png, png_bytep into, size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->at) png_error(png, "truncated");
  std::memcpy(into, reader->data + reader->at, count);
  reader->at += count;
}

void quiet(png_structp, png_const_charp) {}

void error_exit(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// The decoder's state lives in the caller's frame and is only reached through this pointer, so a
// longjmp back into run() finds it as it was last written.
struct PngRun {
  MemoryReader reader{};
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  std::vector<uint8_t> pixels;
  std::vector<png_bytep> rows;
};

int32_t run(PngRun* run) {
  png_structp png = run->png;
  png_infop info = run->info;
  if (setjmp(png_jmpbuf(png)) != 0) return ZOR_IMAGE_WRONG_FORMAT;
  png_set_read_fn(png, &run->reader, read_from_memory);
  png_set_user_limits(png, 1u << 15, 1u << 15);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_read_info(png, info);
  run->width = png_get_image_width(png, info);
  run->height = png_get_image_height(png, info);
  if (static_cast<int64_t>(run->width) * run->height > kMaxDecodedPixels) return ZOR_IMAGE_NO_MEMORY;
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t stride = size_t(run->width) * 3;
  if (png_get_rowbytes(png, info) != stride) return ZOR_IMAGE_WRONG_FORMAT;
  run->pixels.resize(stride * run->height);
  run->rows.resize(run->height);
  for (png_uint_32 y = 0; y < run->height; ++y) run->rows[y] = run->pixels.data() + stride * y;
  png_read_image(png, run->rows.data());
  png_read_end(png, nullptr);
  return ZOR_IMAGE_OK;
}

}  // namespace

int32_t decode_png(HostBitmap& bmp, std::string_view bytes) {
  PngRun decoding;
  decoding.reader = {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
  decoding.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, error_exit, quiet);
  if (!decoding.png) return ZOR_IMAGE_NO_MEMORY;
  decoding.info = png_create_info_struct(decoding.png);
  int32_t answer = ZOR_IMAGE_NO_MEMORY;
  try {
    if (decoding.info) answer = run(&decoding);
  } catch (const std::bad_alloc&) {
  }
  png_destroy_read_struct(&decoding.png, decoding.info ? &decoding.info : nullptr, nullptr);
  if (answer != ZOR_IMAGE_OK) return answer;
  bmp.width = static_cast<int32_t>(decoding.width);
  bmp.height = static_cast<int32_t>(decoding.height);
  bmp.depth = ZOR_DEPTH_RGB;
  bmp.pixels = std::move(decoding.pixels);
  return ZOR_IMAGE_OK;
}

}  // namespace zorhost
