// Loading TIFF files of the forms other programs write: the pixels must be those of libtiff's own
// whole-image RGBA reader, whichever way the file is laid out, and a damaged file must fail without
// touching the bitmap.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scene_test_support.h"

namespace {

using scene_test::Filename;
using scene_test::ScratchFolder;

const HostBitmapTable* bitmaps() {
  return zorhost::bitmaps_table();
}

struct Form {
  std::string name;
  uint16_t photometric = PHOTOMETRIC_RGB;
  uint16_t samples = 3;
  uint16_t bits = 8;
  uint16_t planar = PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  uint32_t rows_per_strip = 1;
  uint32_t tile = 0;         // edge of square tiles, 0 for strips
  uint16_t alpha = 0;        // extra sample kind when samples is 4
  bool wide_palette = true;  // palette entries use the 16-bit range
};

// Random samples, so that a swapped channel, row or column shows.
void write_form(const std::filesystem::path& file, const Form& f, uint32_t w, uint32_t h) {
  std::mt19937 random(w * 31 + h);
  TIFF* t = TIFFOpen(file.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, f.samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, f.bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, f.photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, f.planar);
  TIFFSetField(t, TIFFTAG_COMPRESSION, f.compression);
  TIFFSetField(t, TIFFTAG_ORIENTATION, f.orientation);
  if (f.samples == 4) TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &f.alpha);
  std::vector<uint16_t> map[3];
  if (f.photometric == PHOTOMETRIC_PALETTE) {
    for (auto& channel : map) {
      channel.resize(size_t(1) << f.bits);
      for (auto& entry : channel) entry = uint16_t(f.wide_palette ? random() : random() % 256);
    }
    TIFFSetField(t, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  const uint32_t planes = f.planar == PLANARCONFIG_SEPARATE ? f.samples : 1;
  if (f.tile) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, f.tile);
    TIFFSetField(t, TIFFTAG_TILELENGTH, f.tile);
    std::vector<uint8_t> tile(TIFFTileSize(t));
    for (uint32_t s = 0; s < planes; ++s)
      for (uint32_t y = 0; y < h; y += f.tile)
        for (uint32_t x = 0; x < w; x += f.tile) {
          for (auto& byte : tile) byte = uint8_t(random());
          ASSERT_GT(TIFFWriteTile(t, tile.data(), x, y, 0, uint16_t(s)), 0);
        }
  } else {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, f.rows_per_strip);
    std::vector<uint8_t> row(TIFFScanlineSize(t));
    for (uint32_t s = 0; s < planes; ++s)
      for (uint32_t y = 0; y < h; ++y) {
        for (auto& byte : row) byte = uint8_t(random());
        ASSERT_EQ(TIFFWriteScanline(t, row.data(), y, uint16_t(s)), 1);
      }
  }
  TIFFClose(t);
}

// What libtiff's whole-image reader makes of the file, top row first, as 8-bit RGB.
std::vector<uint8_t> rgba_reading(const std::filesystem::path& file, uint32_t w, uint32_t h) {
  TIFF* t = TIFFOpen(file.c_str(), "r");
  if (!t) return {};
  std::vector<uint32_t> raster(size_t(w) * h);
  const bool ok = TIFFReadRGBAImageOriented(t, w, h, raster.data(), ORIENTATION_TOPLEFT, 0);
  TIFFClose(t);
  if (!ok) return {};
  std::vector<uint8_t> rgb;
  for (uint32_t p : raster)
    rgb.insert(rgb.end(), {uint8_t(TIFFGetR(p)), uint8_t(TIFFGetG(p)), uint8_t(TIFFGetB(p))});
  return rgb;
}

TEST(TiffRead, EveryFormGivesThePixelsOfTheWholeImageReader) {
  ScratchFolder dir;
  const std::vector<Form> forms = {
      {.name = "rgb, one row a strip"},
      {.name = "rgb, strips not dividing the height", .rows_per_strip = 7},
      {.name = "rgb, one strip", .rows_per_strip = 1000},
      {.name = "rgb, lzw", .compression = COMPRESSION_LZW, .rows_per_strip = 5},
      {.name = "rgb, planes", .planar = PLANARCONFIG_SEPARATE, .rows_per_strip = 4},
      {.name = "rgb, tiles", .tile = 16},
      {.name = "rgb, bottom first", .orientation = ORIENTATION_BOTLEFT, .rows_per_strip = 6},
      {.name = "rgb, bottom first right to left", .orientation = ORIENTATION_BOTRIGHT, .rows_per_strip = 4},
      {.name = "rgb, right to left", .orientation = ORIENTATION_TOPRIGHT, .rows_per_strip = 3},
      {.name = "rgba", .samples = 4, .rows_per_strip = 5, .alpha = EXTRASAMPLE_UNASSALPHA},
      {.name = "rgba, associated", .samples = 4, .alpha = EXTRASAMPLE_ASSOCALPHA},
      {.name = "grey", .photometric = PHOTOMETRIC_MINISBLACK, .samples = 1, .rows_per_strip = 4},
      {.name = "grey, lzw, one strip",
       .photometric = PHOTOMETRIC_MINISBLACK,
       .samples = 1,
       .compression = COMPRESSION_LZW,
       .rows_per_strip = 1000},
      {.name = "grey, bottom first",
       .photometric = PHOTOMETRIC_MINISBLACK,
       .samples = 1,
       .orientation = ORIENTATION_BOTLEFT,
       .rows_per_strip = 5},
      {.name = "palette", .photometric = PHOTOMETRIC_PALETTE, .samples = 1, .rows_per_strip = 3},
      {.name = "palette, 8-bit entries",
       .photometric = PHOTOMETRIC_PALETTE,
       .samples = 1,
       .wide_palette = false},
      {.name = "palette, 16 colours",
       .photometric = PHOTOMETRIC_PALETTE,
       .samples = 1,
       .bits = 4,
       .rows_per_strip = 2},
  };
  const uint32_t w = 37;
  const uint32_t h = 23;
  HostBitmap* bmp = bitmaps()->alloc();
  for (const Form& form : forms) {
    SCOPED_TRACE(form.name);
    const auto file = dir.path() / "image.tif";
    write_form(file, form, w, h);
    const std::vector<uint8_t> expected = rgba_reading(file, w, h);
    ASSERT_EQ(expected.size(), size_t(w) * h * 3);
    Filename name(file);
    ASSERT_EQ(bitmaps()->load(bmp, name.name, -1, 0), ZOR_IMAGE_OK);
    EXPECT_EQ(bitmaps()->width(bmp), int32_t(w));
    EXPECT_EQ(bitmaps()->height(bmp), int32_t(h));
    EXPECT_EQ(bmp->pixels, expected);
  }
  bitmaps()->free(bmp);
}

// A TIFF whose directory comes first and whose one strip of samples follows it, cut after keep bytes
// of the samples. (libtiff itself writes the directory last, so cutting its files loses the directory
// before any pixel.)
std::string cut_tiff(uint16_t photometric, uint16_t samples, uint32_t w, uint32_t h, size_t keep) {
  struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
  };
  const uint32_t data_bytes = w * h * samples;
  std::vector<Entry> entries = {{256, 4, 1, w},
                                {257, 4, 1, h},
                                {258, 3, samples, 0},  // value filled below
                                {259, 3, 1, COMPRESSION_NONE},
                                {262, 3, 1, photometric},
                                {273, 4, 1, 0},  // value filled below
                                {277, 3, 1, samples},
                                {278, 4, 1, h},
                                {279, 4, 1, data_bytes},
                                {284, 3, 1, PLANARCONFIG_CONTIG}};
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
  file += "II";
  put16(42);
  put32(8);
  put16(uint32_t(entries.size()));
  for (const Entry& e : entries) {
    put16(e.tag);
    put16(e.type);
    put32(e.count);
    if (e.type == 3 && e.count == 1) {
      put16(e.value);
      put16(0);
    } else {
      put32(e.value);
    }
  }
  put32(0);
  for (uint16_t i = 0; i < samples; ++i) put16(8);
  for (size_t i = 0; i < std::min<size_t>(keep, data_bytes); ++i) file += char(i * 7);
  return file;
}

TEST(TiffRead, FilesCutShortFailAndLeaveTheBitmapAlone) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  ASSERT_EQ(bitmaps()->init(bmp, 5, 4, 24, 0), ZOR_IMAGE_OK);
  std::vector<uint8_t> row(15);
  for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(i * 17 + 1);
  for (int y = 0; y < 4; ++y)
    ASSERT_TRUE(bitmaps()->set_row(bmp, 0, y, 5, row.data(), 3, ZOR_COLOR_MODE_RGB));
  const std::vector<uint8_t> before = bmp->pixels;

  // rgb and grey are decoded into the rows directly, rgba through the conversion
  const uint32_t w = 300;
  const uint32_t h = 200;
  for (auto [photometric, samples] : {std::pair<uint16_t, uint16_t>{PHOTOMETRIC_RGB, 3},
                                      {PHOTOMETRIC_MINISBLACK, 1},
                                      {PHOTOMETRIC_RGB, 4}}) {
    const size_t data_bytes = size_t(w) * h * samples;
    // the uncut file loads: what fails below fails for the cut alone
    Filename whole(dir.write("whole.tif", cut_tiff(photometric, samples, w, h, data_bytes)));
    HostBitmap* check = bitmaps()->alloc();
    EXPECT_EQ(bitmaps()->load(check, whole.name, -1, 0), ZOR_IMAGE_OK) << samples << " samples";
    bitmaps()->free(check);
    for (size_t keep : {size_t(0), data_bytes / 10, data_bytes / 2, data_bytes - 1}) {
      SCOPED_TRACE(std::to_string(samples) + " samples, " + std::to_string(keep) + " bytes of pixels");
      Filename cut(dir.write("cut.tif", cut_tiff(photometric, samples, w, h, keep)));
      EXPECT_EQ(bitmaps()->load(bmp, cut.name, -1, 0), ZOR_IMAGE_WRONG_FORMAT);
      EXPECT_EQ(bitmaps()->width(bmp), 5);
      EXPECT_EQ(bitmaps()->height(bmp), 4);
      EXPECT_EQ(bmp->pixels, before);
    }
  }
  bitmaps()->free(bmp);
}

}  // namespace
