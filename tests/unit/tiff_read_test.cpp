// Bitmaps in memory and as TIFF files: saved in strips, and loaded from every layout with the pixels of
// libtiff's whole-image reader; bad files fail cleanly.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "rgb_tiff.h"
#include "scene_test_support.h"

namespace {

using scene_test::Filename;
using scene_test::ScratchFolder;
using test_support::TiffLayout;

const HostBitmapTable* bitmaps() {
  return zorhost::bitmaps_table();
}

// Random samples, so that a swapped channel, row or column shows.
void write_random(const std::filesystem::path& file, TiffLayout layout, bool wide_palette, uint32_t w,
                  uint32_t h) {
  std::mt19937 random(w * 31 + h);
  std::vector<uint16_t> palette(3 << layout.bits);
  for (auto& entry : palette) entry = uint16_t(wide_palette ? random() : random() % 256);
  if (layout.photometric == PHOTOMETRIC_PALETTE) layout.palette = palette.data();
  ASSERT_TRUE(test_support::WriteTiff(file, layout, w, h, [&](std::vector<uint8_t>& bytes) {
    for (auto& byte : bytes) byte = uint8_t(random());
  }));
}

TEST(TiffRead, EveryFormGivesThePixelsOfTheWholeImageReader) {
  ScratchFolder dir;
  constexpr uint16_t kGrey = PHOTOMETRIC_MINISBLACK, kPalette = PHOTOMETRIC_PALETTE;
  const struct {
    const char* name;
    TiffLayout layout;
    bool wide_palette = true;  // palette entries use the 16-bit range
  } forms[] = {
      {"rgb, one row a strip", {.rows_per_strip = 1}},
      {"rgb, strips not dividing the height", {.rows_per_strip = 7}},
      {"rgb, one strip", {.rows_per_strip = 1000}},
      {"rgb, lzw", {.compression = COMPRESSION_LZW, .rows_per_strip = 5}},
      {"rgb, planes", {.planar = PLANARCONFIG_SEPARATE, .rows_per_strip = 4}},
      {"rgb, tiles", {.tile = 16}},
      {"rgb, bottom first", {.orientation = ORIENTATION_BOTLEFT, .rows_per_strip = 6}},
      {"rgb, bottom first right to left", {.orientation = ORIENTATION_BOTRIGHT, .rows_per_strip = 4}},
      {"rgb, right to left", {.orientation = ORIENTATION_TOPRIGHT, .rows_per_strip = 3}},
      {"rgba", {.samples = 4, .rows_per_strip = 5}},
      {"rgba, associated", {.samples = 4, .rows_per_strip = 1, .alpha = EXTRASAMPLE_ASSOCALPHA}},
      {"grey", {.photometric = kGrey, .samples = 1, .rows_per_strip = 4}},
      {"grey, lzw, one strip",
       {.photometric = kGrey, .samples = 1, .compression = COMPRESSION_LZW, .rows_per_strip = 1000}},
      {"grey, bottom first",
       {.photometric = kGrey, .samples = 1, .orientation = ORIENTATION_BOTLEFT, .rows_per_strip = 5}},
      {"palette", {.photometric = kPalette, .samples = 1, .rows_per_strip = 3}},
      {"palette, 8-bit entries", {.photometric = kPalette, .samples = 1, .rows_per_strip = 1}, false},
      {"palette, 16 colours", {.photometric = kPalette, .samples = 1, .bits = 4, .rows_per_strip = 2}},
  };
  const uint32_t w = 37, h = 23;
  HostBitmap* bmp = bitmaps()->alloc();
  for (const auto& form : forms) {
    SCOPED_TRACE(form.name);
    const auto file = dir.path() / "image.tif";
    write_random(file, form.layout, form.wide_palette, w, h);
    uint32_t read_w = 0, read_h = 0;
    const std::vector<uint8_t> expected = test_support::ReadTiffRgb(file, read_w, read_h);
    ASSERT_EQ(expected.size(), size_t(w) * h * 3);
    ASSERT_EQ(bitmaps()->load(bmp, Filename(file), -1, 0), ZOR_IMAGE_OK);
    EXPECT_EQ(bitmaps()->width(bmp), int32_t(w));
    EXPECT_EQ(bitmaps()->height(bmp), int32_t(h));
    EXPECT_EQ(bmp->pixels, expected);
  }
  bitmaps()->free(bmp);
}

TEST(TiffRead, DamagedAndUnsupportedFilesFailAndLeaveTheBitmapAlone) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  *bmp = test_support::PatternBitmap(5, 4);
  const std::vector<uint8_t> before = bmp->pixels;
  struct Bad {
    std::string what;
    std::filesystem::path file;
    int32_t status = ZOR_IMAGE_WRONG_FORMAT;
  };
  std::vector<Bad> bad = {
      {"garbage", dir.write("garbage.tif", std::string(5000, '\x42'))},
      {"a header and nonsense",
       dir.write("header.tif", std::string("II*\0\x08\0\0\0", 8) + std::string(40, '\xff'))},
      {"a folder", dir.path(), ZOR_IMAGE_NOT_EXISTING},
      {"a missing file", dir.path() / "nothing.tif", ZOR_IMAGE_NOT_EXISTING},
      {"16 bits a sample", dir.path() / "deep.tif"},
  };
  ASSERT_TRUE(test_support::WriteTiff(bad.back().file, {.bits = 16}, 2, 2, [](auto&) {}));
  // rgb and grey are decoded into the rows directly, rgba through the conversion
  const uint32_t w = 300, h = 200;
  for (auto [photometric, samples] : {std::pair<uint16_t, uint16_t>{PHOTOMETRIC_RGB, 3},
                                      {PHOTOMETRIC_MINISBLACK, 1},
                                      {PHOTOMETRIC_RGB, 4}}) {
    const size_t data_bytes = size_t(w) * h * samples;
    // the uncut file loads: what fails below fails for the cut alone
    HostBitmap whole;
    const auto file =
        dir.write("whole.tif", test_support::TiffDirectoryFirst(photometric, samples, w, h, data_bytes));
    EXPECT_EQ(bitmaps()->load(&whole, Filename(file), -1, 0), ZOR_IMAGE_OK) << samples << " samples";
    for (size_t keep : {size_t(0), data_bytes / 10, data_bytes / 2, data_bytes - 1}) {
      const std::string name =
          std::to_string(samples) + " samples, " + std::to_string(keep) + " bytes of pixels";
      bad.push_back({name, dir.write(name + ".tif",
                                     test_support::TiffDirectoryFirst(photometric, samples, w, h, keep))});
    }
  }
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    EXPECT_EQ(bitmaps()->load(bmp, Filename(b.file), -1, 0), b.status);
    EXPECT_EQ(bitmaps()->width(bmp), 5);
    EXPECT_EQ(bitmaps()->height(bmp), 4);
    EXPECT_EQ(bmp->pixels, before);
  }
  bitmaps()->free(bmp);
}

TEST(BitmapTiff, RowsAreBoundsChecked) {
  HostBitmap* bmp = bitmaps()->alloc();
  EXPECT_EQ(bitmaps()->init(bmp, 4, 4, 32, 0), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_NE(bitmaps()->init(bmp, 0, 4, 24, 0), ZOR_IMAGE_OK);
  uint8_t buffer[64] = {};
  EXPECT_FALSE(bitmaps()->get_row(bmp, 0, 0, 1, buffer, 3, ZOR_COLOR_MODE_RGB));  // not initialised
  ASSERT_EQ(bitmaps()->init(bmp, 4, 3, 24, 0), ZOR_IMAGE_OK);
  EXPECT_FALSE(bitmaps()->set_row(bmp, 0, 3, 4, buffer, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_FALSE(bitmaps()->set_row(bmp, 1, 0, 4, buffer, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_FALSE(bitmaps()->set_row(bmp, -1, 0, 1, buffer, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_FALSE(bitmaps()->get_row(bmp, 0, -1, 1, buffer, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_FALSE(bitmaps()->get_row(bmp, 0, 0, 1, buffer, 3, 1));  // only RGB is offered

  // a pixel increment of 4 leaves every fourth byte of the buffer alone
  uint8_t rgbx[8] = {1, 2, 3, 99, 4, 5, 6, 99};
  ASSERT_TRUE(bitmaps()->set_row(bmp, 2, 1, 2, rgbx, 4, ZOR_COLOR_MODE_RGB));
  uint8_t back[12] = {};
  ASSERT_TRUE(bitmaps()->get_row(bmp, 0, 1, 4, back, 3, ZOR_COLOR_MODE_RGB));
  const uint8_t expected[12] = {0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(0, std::memcmp(back, expected, 12));
  bitmaps()->free(bmp);
}

TEST(BitmapTiff, SaveAndLoadRoundTripInStripsOfManyRows) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  // 5.4 MB: a full strip of several megabytes and a shorter last one
  *bmp = test_support::PatternBitmap(1200, 1500);
  Filename file(dir.path() / "0001.tif");
  // a second name for an older file: an in-place rewrite would change what it sees, a rename does not
  std::ofstream(dir.path() / "0001.tif") << "the previous image";
  std::filesystem::create_hard_link(dir.path() / "0001.tif", dir.path() / "old_link");
  ASSERT_EQ(bitmaps()->save(bmp, file, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  EXPECT_EQ(test_support::ReadFile(dir.path() / "old_link"), "the previous image");
  EXPECT_NE(bitmaps()->save(bmp, file, 1234, nullptr, 0), ZOR_IMAGE_OK);  // only TIFF
  // libtiff reads the file as an 8-bit RGB image of two strips
  TIFF* tif = TIFFOpen((dir.path() / "0001.tif").c_str(), "r");
  ASSERT_NE(tif, nullptr);
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, photometric = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  EXPECT_EQ(std::vector<uint32_t>({TIFFNumberOfStrips(tif), width, height, bits, samples, photometric}),
            std::vector<uint32_t>({2, 1200, 1500, 8, 3, PHOTOMETRIC_RGB}));
  TIFFClose(tif);

  HostBitmap* loaded = bitmaps()->alloc();
  ASSERT_EQ(bitmaps()->load(loaded, file, -1, 0), ZOR_IMAGE_OK);
  EXPECT_EQ(bitmaps()->width(loaded), 1200);
  EXPECT_EQ(bitmaps()->height(loaded), 1500);
  EXPECT_EQ(bitmaps()->depth(loaded), 24);
  EXPECT_TRUE(loaded->pixels == bmp->pixels);
  EXPECT_EQ(test_support::NamesIn(dir.path()), (std::vector<std::string>{"0001.tif", "old_link"}));

  bitmaps()->free(loaded);
  bitmaps()->free(bmp);
}

}  // namespace
