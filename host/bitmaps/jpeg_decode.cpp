// JPEG from memory with libjpeg(-turbo): greyscale and colour become 8-bit RGB. libjpeg's fatal errors
// come back by longjmp; its warnings (a file cut short is filled with grey) are accepted, as every
// viewer does. A progressive file with an absurd number of scans is refused rather than decoded for ages.

// jpeglib.h needs size_t and FILE declared before it
#include <csetjmp>
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on
#include <new>
#include <vector>

#include "bitmaps/image_decode.h"

namespace zorhost {
namespace {

constexpr int kMaxScans = 500;

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf back;
};

void error_exit(j_common_ptr info) {
  longjmp(reinterpret_cast<ErrorManager*>(info->err)->back, 1);
}

void quiet(j_common_ptr, int) {}

void limit_scans(j_common_ptr info) {
  if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans)
    error_exit(info);
}

// The decoder's state lives in the caller's frame and is only reached through these pointers, so a
// longjmp back into run() finds it as it was last written.
struct JpegRun {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  jpeg_progress_mgr progress{};
  std::vector<uint8_t> pixels;
};

int32_t run(JpegRun* run, std::string_view bytes) {
  jpeg_decompress_struct* info = &run->info;
  if (setjmp(run->errors.back) != 0) return ZOR_IMAGE_WRONG_FORMAT;
  jpeg_create_decompress(info);
  info->progress = &run->progress;
  jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(info, TRUE);
  if (info->image_width > (1u << 15) || info->image_height > (1u << 15) ||
      static_cast<int64_t>(info->image_width) * info->image_height > kMaxDecodedPixels) {
    return ZOR_IMAGE_NO_MEMORY;
  }
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  if (info->output_components != 3) return ZOR_IMAGE_WRONG_FORMAT;
  const size_t stride = size_t(info->output_width) * 3;
  run->pixels.resize(stride * info->output_height);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = run->pixels.data() + stride * info->output_scanline;
    if (jpeg_read_scanlines(info, &row, 1) != 1) return ZOR_IMAGE_WRONG_FORMAT;
  }
  jpeg_finish_decompress(info);
  return ZOR_IMAGE_OK;
}

}  // namespace

int32_t decode_jpeg(HostBitmap& bmp, std::string_view bytes) {
  JpegRun decoding;
  decoding.info.err = jpeg_std_error(&decoding.errors.base);
  decoding.errors.base.error_exit = error_exit;
  decoding.errors.base.emit_message = quiet;
  decoding.progress.progress_monitor = limit_scans;
  int32_t answer = ZOR_IMAGE_NO_MEMORY;
  try {
    answer = run(&decoding, bytes);
  } catch (const std::bad_alloc&) {
  }
  if (answer == ZOR_IMAGE_OK) {
    bmp.width = static_cast<int32_t>(decoding.info.output_width);
    bmp.height = static_cast<int32_t>(decoding.info.output_height);
    bmp.depth = ZOR_DEPTH_RGB;
    bmp.pixels = std::move(decoding.pixels);
  }
  jpeg_destroy_decompress(&decoding.info);
  return answer;
}

}  // namespace zorhost
