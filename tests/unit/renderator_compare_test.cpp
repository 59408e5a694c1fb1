// Image comparison through the host's bitmaps and TIFF files: the ratio, the difference image written
// into the reference bitmap, size mismatches, and totals beyond 32 bits.
#include "renderator/renderator_compare.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "renderator/renderator_report.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;
using PixelFunction = std::function<uint8_t(int32_t x, int32_t y, int32_t channel)>;

class RenderatorCompare : public ::testing::Test {
 protected:
  static BaseBitmap Make(int32_t width, int32_t height, const PixelFunction& pixel) {
    BaseBitmap bitmap;
    EXPECT_EQ(bitmap.Init(width, height, 24, 0), ZOR_IMAGE_OK);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x)
        for (int32_t c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = pixel(x, y, c);
      EXPECT_TRUE(bitmap.SetPixelRow(0, y, width, row.data()));
    }
    return bitmap;
  }

  Filename Save(const std::string& name, int32_t width, int32_t height, const PixelFunction& pixel) {
    BaseBitmap bitmap = Make(width, height, pixel);
    const Filename file((folder_ / name).c_str());
    BaseContainer options;
    EXPECT_EQ(bitmap.Save(file, ZOR_FILTER_TIFF, &options, 0), ZOR_IMAGE_OK);
    return file;
  }

  // every byte of the bitmap, row after row
  static std::vector<uint8_t> Bytes(const BaseBitmap& bitmap) {
    const int32_t width = bitmap.GetBw();
    std::vector<uint8_t> bytes(size_t(width) * 3 * size_t(bitmap.GetBh()));
    for (int32_t y = 0; y < bitmap.GetBh(); ++y)
      bitmap.GetPixelRow(0, y, width, &bytes[size_t(y) * width * 3]);
    return bytes;
  }

  test_support::WithHost host_{test_support::RealHostTable()};
  test_support::ScratchFolder scratch_;
  const fs::path folder_ = scratch_.path();
};

const PixelFunction kBlack = [](int32_t, int32_t, int32_t) -> uint8_t { return 0; };
const PixelFunction kWhite = [](int32_t, int32_t, int32_t) -> uint8_t { return 255; };

TEST_F(RenderatorCompare, RatioAndDifferenceImage) {
  const PixelFunction gradient = [](int32_t x, int32_t y, int32_t c) {
    return uint8_t(x * 7 + y * 3 + c * 50);
  };
  const Filename same = Save("same.tif", 40, 30, gradient);
  const Filename white = Save("white.tif", 40, 30, kWhite);

  BaseBitmap rendered = Make(40, 30, gradient);
  BaseBitmap reference;
  double diff = -1.0;
  ASSERT_TRUE(CompareImages(rendered, same, reference, diff));
  EXPECT_EQ(diff, 0.0);
  EXPECT_EQ(Bytes(reference), std::vector<uint8_t>(40 * 30 * 3, 0));
  EXPECT_EQ(Bytes(rendered), Bytes(Make(40, 30, gradient)));  // the new image is left alone

  BaseBitmap black = Make(40, 30, kBlack);
  BaseBitmap whiteReference;
  ASSERT_TRUE(CompareImages(black, white, whiteReference, diff));
  EXPECT_EQ(diff, 1.0);
  EXPECT_EQ(Bytes(whiteReference), std::vector<uint8_t>(40 * 30 * 3, 255));

  // one pixel, one channel, 255 apart in a 10 x 10 image; the new image may be the brighter one
  const Filename dark = Save("dark.tif", 10, 10, kBlack);
  BaseBitmap onePixel = Make(10, 10, [](int32_t x, int32_t y, int32_t c) -> uint8_t {
    return x == 3 && y == 7 && c == 1 ? 255 : 0;
  });
  BaseBitmap darkReference;
  ASSERT_TRUE(CompareImages(onePixel, dark, darkReference, diff));
  EXPECT_DOUBLE_EQ(diff, 255.0 / 76500.0);
  EXPECT_EQ(PercentText(diff).ToUtf8(), "+0.33%    ");
  std::vector<uint8_t> expected(10 * 10 * 3, 0);
  expected[(7 * 10 + 3) * 3 + 1] = 255;
  EXPECT_EQ(Bytes(darkReference), expected);

  // the difference image saved and loaded again keeps its bytes
  BaseContainer options;
  const Filename saved((folder_ / "0001d.tif").c_str());
  ASSERT_EQ(darkReference.Save(saved, ZOR_FILTER_TIFF, &options, 0), ZOR_IMAGE_OK);
  BaseBitmap loaded;
  ASSERT_EQ(loaded.Load(saved), ZOR_IMAGE_OK);
  EXPECT_EQ(Bytes(loaded), expected);
}

TEST_F(RenderatorCompare, FailsOnOtherSizesAndMissingReference) {
  BaseBitmap rendered = Make(640, 480, kBlack);
  double diff = -1.0;
  for (const Filename& reference : {Save("wide.tif", 641, 480, kBlack), Save("tall.tif", 640, 481, kBlack),
                                    Filename((folder_ / "none.tif").c_str())}) {
    BaseBitmap difference;
    EXPECT_FALSE(CompareImages(rendered, reference, difference, diff)) << reference.GetString().ToUtf8();
  }
}

TEST_F(RenderatorCompare, LargeImageTotalExceeds32Bits) {
  // 4000 x 3000 with a difference of 200 in every byte but a strip of 7s: the total is about 7.2e9
  const int32_t width = 4000;
  const int32_t height = 3000;
  const Filename reference = Save("big.tif", width, height,
                                  [](int32_t x, int32_t, int32_t) -> uint8_t { return x < 100 ? 7 : 200; });
  BaseBitmap rendered = Make(width, height, kBlack);
  BaseBitmap difference;
  double diff = 0.0;
  ASSERT_TRUE(CompareImages(rendered, reference, difference, diff));
  const double total = (100.0 * 7 + 3900.0 * 200) * 3 * height;
  ASSERT_GT(total, 4294967295.0);
  EXPECT_DOUBLE_EQ(diff, total / (765.0 * width * height));

  // the row work on its own: whole and partial vector blocks, and lanes flushed before they overflow
  std::vector<uint8_t> image(200001, 0);
  std::vector<uint8_t> other(200001, 255);
  EXPECT_EQ(DifferenceRow(image.data(), other.data(), int64_t(other.size())), uint64_t(200001) * 255);
  std::mt19937 random(7);
  for (int64_t length : {0, 1, 15, 16, 17, 4111, 4112, 4113, 12003}) {
    std::vector<uint8_t> a(length);
    std::vector<uint8_t> b(length);
    for (auto& v : a) v = uint8_t(random());
    for (auto& v : b) v = uint8_t(random());
    std::vector<uint8_t> expected(length);
    uint64_t expectedSum = 0;
    for (int64_t k = 0; k < length; ++k) {
      expected[k] = uint8_t(std::abs(int(a[k]) - int(b[k])));
      expectedSum += expected[k];
    }
    EXPECT_EQ(DifferenceRow(a.data(), b.data(), length), expectedSum) << length;
    EXPECT_EQ(b, expected) << length;
  }
}

}  // namespace
