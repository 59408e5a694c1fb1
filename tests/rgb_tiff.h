// 8-bit RGB TIFF files written with libtiff directly, for tests and benchmarks that need result
// images the host did not write.
#pragma once
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace test_support {

// pixel(x, y, rgb) fills the three samples of one pixel. False when the file cannot be written.
template <class Pixel>
bool WriteRgbTiff(const std::filesystem::path& path, int width, int height, Pixel pixel) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
  std::vector<uint8_t> row(size_t(width) * 3);
  bool ok = true;
  for (int y = 0; y < height && ok; ++y) {
    for (int x = 0; x < width; ++x) pixel(x, y, &row[size_t(x) * 3]);
    ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
  }
  TIFFClose(tiff);
  return ok;
}

}  // namespace test_support
