// Bitmaps in memory and as TIFF files: rows, bounds, the save through a temporary file, and loading
// whatever a user may point the host at.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scene_test_support.h"

namespace {

using scene_test::Filename;
using scene_test::ScratchFolder;

const HostBitmapTable* bitmaps() {
  return zorhost::bitmaps_table();
}

// A bitmap whose every byte is different from its neighbours, so that swapped channels, rows or
// columns show.
void fill_pattern(HostBitmap* bmp, int w, int h) {
  ASSERT_EQ(bitmaps()->init(bmp, w, h, 24, 0), ZOR_IMAGE_OK);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7 + y);
      row[3 * x + 1] = static_cast<uint8_t>(y * 11 + 3);
      row[3 * x + 2] = static_cast<uint8_t>(x ^ y);
    }
    ASSERT_TRUE(bitmaps()->set_row(bmp, 0, y, w, row.data(), 3, ZOR_COLOR_MODE_RGB));
  }
}

// Writes a TIFF with libtiff directly, for the kinds of image the host did not write itself.
void write_tiff(const std::filesystem::path& file, int samples, int bits, int photometric,
                const std::vector<uint8_t>& data, int w, int h) {
  TIFF* t = TIFFOpen(file.c_str(), "w");
  ASSERT_NE(t, nullptr);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (samples == 4) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  size_t row_bytes = static_cast<size_t>(w) * samples * bits / 8;
  for (int y = 0; y < h; ++y) {
    TIFFWriteScanline(t, const_cast<uint8_t*>(data.data() + y * row_bytes), y, 0);
  }
  TIFFClose(t);
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

TEST(BitmapTiff, SaveAndLoadRoundTrip) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  fill_pattern(bmp, 37, 21);
  Filename file(dir.path() / "0001.tif");
  ASSERT_EQ(bitmaps()->save(bmp, file.name, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  EXPECT_NE(bitmaps()->save(bmp, file.name, 1234, nullptr, 0), ZOR_IMAGE_OK);  // only TIFF

  HostBitmap* loaded = bitmaps()->alloc();
  ASSERT_EQ(bitmaps()->load(loaded, file.name, -1, 0), ZOR_IMAGE_OK);
  EXPECT_EQ(bitmaps()->width(loaded), 37);
  EXPECT_EQ(bitmaps()->height(loaded), 21);
  EXPECT_EQ(bitmaps()->depth(loaded), 24);
  EXPECT_EQ(loaded->pixels, bmp->pixels);

  // ImageMagick reads the file as the same 8-bit RGB image
  if (std::system("command -v identify > /dev/null 2>&1") == 0) {
    std::string command =
        "identify -format '%w %h %[channels] %z' '" + (dir.path() / "0001.tif").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    EXPECT_EQ(std::string(line).substr(0, 8), "37 21 sr");
    EXPECT_NE(std::string(line).find(" 8"), std::string::npos) << line;
  } else {
    GTEST_LOG_(INFO) << "identify not found, the file was not checked with ImageMagick";
  }
  bitmaps()->free(loaded);
  bitmaps()->free(bmp);
}

TEST(BitmapTiff, SaveReplacesTheFileInOneStep) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();
  fill_pattern(bmp, 8, 8);
  auto final_path = dir.path() / "image.tif";
  std::ofstream(final_path) << "the previous image";
  // a second name for the old file: an in-place rewrite would change what it sees, a rename does not
  std::filesystem::create_hard_link(final_path, dir.path() / "old_link");
  Filename file(final_path);
  ASSERT_EQ(bitmaps()->save(bmp, file.name, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  std::ifstream old_file(dir.path() / "old_link");
  std::string old_text((std::istreambuf_iterator<char>(old_file)), {});
  EXPECT_EQ(old_text, "the previous image");
  // nothing else is left in the folder
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"image.tif", "old_link"}));

  // a save into a folder that does not exist fails and leaves nothing behind
  Filename nowhere(dir.path() / "missing" / "image.tif");
  EXPECT_NE(bitmaps()->save(bmp, nowhere.name, ZOR_FILTER_TIFF, nullptr, 0), ZOR_IMAGE_OK);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
  bitmaps()->free(bmp);
}

TEST(BitmapTiff, LoadAcceptsGreyAndAlphaAndRefusesTheRest) {
  ScratchFolder dir;
  HostBitmap* bmp = bitmaps()->alloc();

  std::vector<uint8_t> grey = {0, 50, 100, 150, 200, 250};
  write_tiff(dir.path() / "grey.tif", 1, 8, PHOTOMETRIC_MINISBLACK, grey, 3, 2);
  Filename grey_name(dir.path() / "grey.tif");
  ASSERT_EQ(bitmaps()->load(bmp, grey_name.name, -1, 0), ZOR_IMAGE_OK);
  uint8_t row[9];
  ASSERT_TRUE(bitmaps()->get_row(bmp, 0, 1, 3, row, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_EQ((std::vector<uint8_t>(row, row + 9)),
            (std::vector<uint8_t>{150, 150, 150, 200, 200, 200, 250, 250, 250}));

  std::vector<uint8_t> rgba = {10, 20, 30, 255, 40, 50, 60, 255};
  write_tiff(dir.path() / "rgba.tif", 4, 8, PHOTOMETRIC_RGB, rgba, 2, 1);
  Filename rgba_name(dir.path() / "rgba.tif");
  ASSERT_EQ(bitmaps()->load(bmp, rgba_name.name, -1, 0), ZOR_IMAGE_OK);
  ASSERT_TRUE(bitmaps()->get_row(bmp, 0, 0, 2, row, 3, ZOR_COLOR_MODE_RGB));
  EXPECT_EQ((std::vector<uint8_t>(row, row + 6)), (std::vector<uint8_t>{10, 20, 30, 40, 50, 60}));

  std::vector<uint8_t> deep(2 * 2 * 3 * 2, 0x7f);
  write_tiff(dir.path() / "deep.tif", 3, 16, PHOTOMETRIC_RGB, deep, 2, 2);
  Filename deep_name(dir.path() / "deep.tif");
  EXPECT_EQ(bitmaps()->load(bmp, deep_name.name, -1, 0), ZOR_IMAGE_WRONG_FORMAT);

  auto garbage = dir.write("garbage.tif", std::string(5000, '\x42'));
  Filename garbage_name(garbage);
  EXPECT_EQ(bitmaps()->load(bmp, garbage_name.name, -1, 0), ZOR_IMAGE_WRONG_FORMAT);
  // a TIFF header followed by nonsense
  auto truncated = dir.write("truncated.tif", std::string("II*\0\x08\0\0\0", 8) + std::string(40, '\xff'));
  Filename truncated_name(truncated);
  EXPECT_EQ(bitmaps()->load(bmp, truncated_name.name, -1, 0), ZOR_IMAGE_WRONG_FORMAT);
  Filename folder_name(dir.path());
  EXPECT_EQ(bitmaps()->load(bmp, folder_name.name, -1, 0), ZOR_IMAGE_NOT_EXISTING);
  Filename missing(dir.path() / "nothing.tif");
  EXPECT_EQ(bitmaps()->load(bmp, missing.name, -1, 0), ZOR_IMAGE_NOT_EXISTING);
  // failed loads leave the bitmap as the last good load made it
  EXPECT_EQ(bitmaps()->width(bmp), 2);
  EXPECT_EQ(bitmaps()->height(bmp), 1);
  bitmaps()->free(bmp);
}

}  // namespace
