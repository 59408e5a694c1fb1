// What a HostBitmap is inside zorhost: 8-bit RGB pixels, rows top to bottom, no padding.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "zor_api.h"

struct HostBitmap {
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;            // 0 until initialised
  std::vector<uint8_t> pixels;  // width * height * 3

  uint8_t* row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * width * 3; }
  const uint8_t* row(int32_t y) const { return pixels.data() + static_cast<size_t>(y) * width * 3; }
};

namespace zorhost {

// Makes pixels bytes long and zero, in memory set up for images of many megabytes (bitmap_memory.cpp).
void init_pixels(std::vector<uint8_t>& pixels, size_t bytes);

// Writes 8-bit RGB TIFF through a temporary file in the same folder that is renamed at the end.
int32_t save_tiff(const HostBitmap& bmp, const std::filesystem::path& file);
// Reads 8-bit RGB, RGBA, grey or palette TIFF into bmp (depth 24); other files are refused. The file
// is read strip by strip into the bitmap's rows; a failed load leaves bmp as it was.
int32_t load_tiff(HostBitmap& bmp, const std::filesystem::path& file);

const HostBitmapTable* bitmaps_table();

}  // namespace zorhost
