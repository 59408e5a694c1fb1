// TIFF files written with libtiff directly, for tests and benchmarks that need images the host did not
// write: 8-bit RGB ones, and any layout a reader must cope with.
#pragma once
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
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

// A TIFF whose directory comes first and whose one strip of samples follows it, cut after keep bytes
// of the samples. (libtiff itself writes the directory last, so cutting its files loses the directory
// before any pixel.)
inline std::string TiffDirectoryFirst(uint16_t photometric, uint16_t samples, uint32_t w, uint32_t h,
                                      size_t keep) {
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  const uint32_t data_bytes = uint32_t(std::min<uint64_t>(uint64_t(w) * h * samples, UINT32_MAX));
  // the bits (258) and the strip's offset (273) are filled in below
  std::vector<Entry> entries = {{256, 4, 1, w},           {257, 4, 1, h},
                                {258, 3, samples, 0},     {259, 3, 1, COMPRESSION_NONE},
                                {262, 3, 1, photometric}, {273, 4, 1, 0},
                                {277, 3, 1, samples},     {278, 4, 1, h},
                                {279, 4, 1, data_bytes},  {284, 3, 1, PLANARCONFIG_CONTIG}};
  if (samples == 4) entries.push_back({338, 3, 1, EXTRASAMPLE_UNASSALPHA});
  const uint32_t bits_at = 8 + 2 + uint32_t(entries.size()) * 12 + 4;  // just after the directory
  const uint32_t data_at = bits_at + 2 * samples;
  for (Entry& e : entries) {
    if (e.tag == 258) e.value = samples == 1 ? 8 : bits_at;
    if (e.tag == 273) e.value = data_at;
  }
  std::string file;
  auto put16 = [&](uint32_t v) { file.append({char(v & 0xff), char((v >> 8) & 0xff)}); };
  auto put32 = [&](uint32_t v) { put16(v & 0xffff), put16(v >> 16); };
  file += "II", put16(42), put32(8), put16(uint32_t(entries.size()));
  for (const Entry& e : entries) {
    put16(e.tag), put16(e.type), put32(e.count);
    e.type == 3 && e.count == 1 ? (put16(e.value), put16(0)) : put32(e.value);  // a short is padded
  }
  put32(0);
  for (uint16_t i = 0; i < samples; ++i) put16(8);
  for (size_t i = 0; i < std::min<size_t>(keep, data_bytes); ++i) file += char(i * 7);
  return file;
}

// What libtiff's whole-image reader makes of a file, top row first, as 8-bit RGB, and the file's size;
// empty when it cannot read the file whole.
inline std::vector<uint8_t> ReadTiffRgb(const std::filesystem::path& file, uint32_t& width,
                                        uint32_t& height) {
  width = height = 0;
  TIFF* tiff = TIFFOpen(file.c_str(), "r");
  if (!tiff) return {};
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  std::vector<uint32_t> raster(size_t(width) * height);
  const bool ok =
      width > 0 && TIFFReadRGBAImageOriented(tiff, width, height, raster.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(tiff);
  if (!ok) return {};
  std::vector<uint8_t> rgb;
  for (uint32_t p : raster)
    rgb.insert(rgb.end(), {uint8_t(TIFFGetR(p)), uint8_t(TIFFGetG(p)), uint8_t(TIFFGetB(p))});
  return rgb;
}

}  // namespace test_support
