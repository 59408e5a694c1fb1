// TIFF files written with libtiff directly, for tests and benchmarks that need images the host did not
// write: 8-bit RGB ones, and any layout a reader must cope with.
#pragma once
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace test_support {

// How a file is laid out; the defaults are 8-bit RGB in strips of 16 rows.
struct TiffLayout {
  uint16_t photometric = PHOTOMETRIC_RGB;
  uint16_t samples = 3;
  uint16_t bits = 8;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint32_t rows_per_strip = 16;
  uint32_t tile = 0;                        // edge of square tiles, 0 for strips
  uint16_t alpha = EXTRASAMPLE_UNASSALPHA;  // the extra sample's kind when samples is 4
  const uint16_t* palette = nullptr;        // red, green, then blue entries, 2^bits each
};

// fill(bytes) fills each scanline, or each tile, in the order they are written (plane by plane).
// False when the file cannot be written.
template <class Fill>
bool WriteTiff(const std::filesystem::path& path, const TiffLayout& layout, uint32_t width, uint32_t height,
               Fill fill) {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return false;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout.bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout.photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, layout.planar);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, layout.compression);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, layout.orientation);
  if (layout.samples == 4) TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &layout.alpha);
  if (layout.palette) {
    const size_t entries = size_t(1) << layout.bits;
    TIFFSetField(tiff, TIFFTAG_COLORMAP, layout.palette, layout.palette + entries,
                 layout.palette + 2 * entries);
  }
  const uint32_t planes = layout.planar == PLANARCONFIG_SEPARATE ? layout.samples : 1;
  bool ok = true;
  if (layout.tile) {
    TIFFSetField(tiff, TIFFTAG_TILEWIDTH, layout.tile);
    TIFFSetField(tiff, TIFFTAG_TILELENGTH, layout.tile);
    std::vector<uint8_t> bytes(TIFFTileSize(tiff));
    for (uint32_t plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < height; y += layout.tile)
        for (uint32_t x = 0; x < width && ok; x += layout.tile) {
          fill(bytes);
          ok = TIFFWriteTile(tiff, bytes.data(), x, y, 0, uint16_t(plane)) > 0;
        }
  } else {
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, layout.rows_per_strip);
    std::vector<uint8_t> bytes(TIFFScanlineSize(tiff));
    for (uint32_t plane = 0; plane < planes; ++plane)
      for (uint32_t y = 0; y < height && ok; ++y) {
        fill(bytes);
        ok = TIFFWriteScanline(tiff, bytes.data(), y, uint16_t(plane)) == 1;
      }
  }
  TIFFClose(tiff);
  return ok;
}

// pixel(x, y, rgb) fills the three samples of one pixel. False when the file cannot be written.
template <class Pixel>
bool WriteRgbTiff(const std::filesystem::path& path, int width, int height, Pixel pixel) {
  int y = 0;
  return WriteTiff(path, {}, uint32_t(width), uint32_t(height), [&](std::vector<uint8_t>& row) {
    for (int x = 0; x < width; ++x) pixel(x, y, &row[size_t(x) * 3]);
    ++y;
  });
}

}  // namespace test_support
