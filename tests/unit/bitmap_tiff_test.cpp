// Bitmaps in memory and saved as TIFF files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

#include "scene_test_support.h"

namespace {

using scene_test::Filename;
using scene_test::ScratchFolder;

const HostBitmapTable* bitmaps() {
  return zorhost::bitmaps_table();
}

TEST(BitmapTiff, RowsAreBoundsChecked) {
  HostBitmap* bmp = bitmaps()->alloc();
  EXPECT_EQ(bitmaps()->init(bmp, 4, 4, 32, 0), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_NE(bitmaps()->init(bmp, 0, 4, 24, 0), ZOR_IMAGE_OK);
  uint8_t buffer[64] = {};
  EXPECT_FALSE(bitmaps()->get_row(bmp, 0, 0, 1, buffer, 3, ZOR_COLOR_MODE_RGB));  // not initialised
  ASSERT_EQ(bitmaps()->init(bmp, 4, 3, 24, 0), ZOR_IMAGE_OK);
  EXPECT_EQ(bitmaps()->width(bmp), 4);
  EXPECT_EQ(bitmaps()->height(bmp), 3);
  EXPECT_EQ(bitmaps()->depth(bmp), 24);
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
  ASSERT_EQ(bitmaps()->save(bmp, file, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
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
  EXPECT_EQ(test_support::NamesIn(dir.path()), std::vector<std::string>{"0001.tif"});

  bitmaps()->free(loaded);
  bitmaps()->free(bmp);
}

TEST(BitmapTiff, SaveReplacesTheFileInOneStep) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  *bmp = test_support::PatternBitmap(8, 8);
  auto final_path = dir.path() / "image.tif";
  std::ofstream(final_path) << "the previous image";
  // a second name for the old file: an in-place rewrite would change what it sees, a rename does not
  std::filesystem::create_hard_link(final_path, dir.path() / "old_link");
  ASSERT_EQ(bitmaps()->save(bmp, Filename(final_path), ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  EXPECT_EQ(test_support::ReadFile(dir.path() / "old_link"), "the previous image");
  EXPECT_EQ(test_support::NamesIn(dir.path()), (std::vector<std::string>{"image.tif", "old_link"}));

  // a save into a folder that does not exist fails and leaves nothing behind
  Filename nowhere(dir.path() / "missing" / "image.tif");
  EXPECT_NE(bitmaps()->save(bmp, nowhere, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
  bitmaps()->free(bmp);
}

}  // namespace
