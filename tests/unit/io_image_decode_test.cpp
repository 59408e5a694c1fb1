// zorhost's images from memory and its file identification: PNG, JPEG and TIFF decode to the right
// pixels, a header that asks for an absurd image is refused before anything is allocated for it, and
// identification tells scenes and images from their bytes.
#include <gtest/gtest.h>

#include "bitmaps/image_decode.h"
#include "files/filename_impl.h"
#include "files/identify.h"
#include "host_test_support.h"
#include "io_test_support.h"
#include "rgb_tiff.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using zorhost::decode_image;

const fs::path kExif = fs::path(RELKIT_SOURCE_DIR) / "tests/data/exif";

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

TEST(ImageDecode, PngJpegAndTiffBecomeRgbPixels) {
  // RGB, and grey with alpha: alpha is dropped, grey widened
  const std::string rgb = test_support::PngBytes(2, 1, PNG_FORMAT_RGB, {255, 0, 0, 0, 0, 255});
  HostBitmap bmp;
  ASSERT_EQ(decode_image(bmp, rgb), ZOR_IMAGE_OK);
  EXPECT_EQ(bmp.width, 2);
  EXPECT_EQ(bmp.height, 1);
  EXPECT_EQ(bmp.depth, 24);
  EXPECT_EQ(bmp.pixels, (std::vector<uint8_t>{255, 0, 0, 0, 0, 255}));
  ASSERT_EQ(decode_image(bmp, test_support::PngBytes(1, 2, PNG_FORMAT_GA, {10, 255, 200, 0})), ZOR_IMAGE_OK);
  EXPECT_EQ(bmp.pixels, (std::vector<uint8_t>{10, 10, 10, 200, 200, 200}));

  ASSERT_EQ(decode_image(bmp, test_support::FileBytes(kExif / "Canon_40D.jpg")), ZOR_IMAGE_OK);
  EXPECT_EQ(bmp.width, 100);
  EXPECT_EQ(bmp.height, 68);
  EXPECT_EQ(bmp.pixels.size(), 100u * 68 * 3);

  test_support::ScratchFolder scratch;
  const HostBitmap written = test_support::PatternBitmap(3, 2);
  ASSERT_EQ(zorhost::save_tiff(written, scratch.path() / "x.tif"), ZOR_IMAGE_OK);
  const std::string tiff = test_support::FileBytes(scratch.path() / "x.tif");
  ASSERT_EQ(decode_image(bmp, tiff), ZOR_IMAGE_OK);
  EXPECT_EQ(bmp.pixels, written.pixels);

  // what fails leaves the bitmap as it was
  EXPECT_EQ(decode_image(bmp, rgb.substr(0, rgb.size() - 20)), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_EQ(decode_image(bmp, tiff.substr(0, 12)), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_EQ(decode_image(bmp, test_support::FileBytes(kExif / "exifonly_canon_makernote_variant_1.jpg")),
            ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_EQ(decode_image(bmp, "GIF89a"), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_EQ(decode_image(bmp, ""), ZOR_IMAGE_WRONG_FORMAT);
  EXPECT_EQ(bmp.pixels, written.pixels);
}

TEST(ImageDecode, HeadersAskingForAbsurdImagesAreRefused) {
  HostBitmap bmp;
  // PNG: 20000 x 20000 (400 M pixels) in a valid header
  std::string png = test_support::PngBytes(2, 1, PNG_FORMAT_RGB, {1, 2, 3, 4, 5, 6});
  PutBig32(png, 16, 20000);
  PutBig32(png, 20, 20000);
  PutBig32(png, 29, Crc32(std::string_view(png).substr(12, 17)));
  EXPECT_EQ(decode_image(bmp, png), ZOR_IMAGE_NO_MEMORY);
  // PNG past the side limit
  PutBig32(png, 16, 1u << 20);
  PutBig32(png, 29, Crc32(std::string_view(png).substr(12, 17)));
  EXPECT_EQ(decode_image(bmp, png), ZOR_IMAGE_WRONG_FORMAT);

  // JPEG: the frame header says 60000 x 60000
  std::string jpeg = test_support::FileBytes(kExif / "Nikon_D70.jpg");
  // the main frame header, found by walking the segments (the Exif thumbnail holds one of its own)
  size_t frame = 2;
  while (frame + 4 < jpeg.size() && static_cast<uint8_t>(jpeg[frame]) == 0xFF &&
         (static_cast<uint8_t>(jpeg[frame + 1]) < 0xC0 || static_cast<uint8_t>(jpeg[frame + 1]) > 0xC2))
    frame += 2 + (static_cast<uint8_t>(jpeg[frame + 2]) << 8 | static_cast<uint8_t>(jpeg[frame + 3]));
  ASSERT_LT(frame + 9, jpeg.size());
  ASSERT_EQ(static_cast<uint8_t>(jpeg[frame]), 0xFF);
  jpeg[frame + 5] = jpeg[frame + 7] = static_cast<char>(0xEA);
  jpeg[frame + 6] = jpeg[frame + 8] = 0x60;
  EXPECT_EQ(decode_image(bmp, jpeg), ZOR_IMAGE_NO_MEMORY);

  // TIFF: a directory that says 30000 x 30000 (the one strip it names is not there)
  EXPECT_EQ(decode_image(bmp, test_support::TiffDirectoryFirst(PHOTOMETRIC_RGB, 3, 30000, 30000, 0)),
            ZOR_IMAGE_NO_MEMORY);
  EXPECT_EQ(bmp.width, 0) << "nothing was decoded into the bitmap";
}

TEST(FileIdentification, ScenesAndImagesFromTheirBytesAndNames) {
  const HostFilename text{"/x/readme.txt"};
  const HostFilename png_name{"/x/picture.png"};
  const std::string scene = "\xEF\xBB\xBF  {\n \"zor\" : 1, \"fps\": 30 }";
  const std::string png = test_support::PngBytes(1, 1, PNG_FORMAT_RGB, {1, 2, 3});
  auto identify = [](const HostFilename& name, const std::string& probe, int32_t flags) {
    return zorhost::files_identify(&name, probe.data(), static_cast<int32_t>(probe.size()), flags);
  };
  EXPECT_EQ(identify(text, scene, 7), 1);
  EXPECT_EQ(identify(text, png, 7), 2) << "the bytes decide, not the name";
  EXPECT_EQ(identify(text, png, 6), 2);
  EXPECT_EQ(identify(text, scene, 6), 0) << "only the classes asked for";
  EXPECT_EQ(identify(text, "{\"zorro\": 1}", 7), 0);
  EXPECT_EQ(identify(text, "plain words", 7), 0);
  EXPECT_EQ(zorhost::files_identify(&png_name, nullptr, 0, 6), 4) << "no bytes: the name tells";
  EXPECT_EQ(zorhost::files_identify(&text, nullptr, 0, 6), 0);
  EXPECT_TRUE(zorhost::files_identify_class(&text, scene.data(), static_cast<int32_t>(scene.size()), 1));
  EXPECT_FALSE(zorhost::files_identify_class(&text, png.data(), static_cast<int32_t>(png.size()), 1));

  // the second test reads the name: a path, a URL, a memory block
  test_support::ScratchFolder scratch;
  const fs::path scene_file = scratch.write("a.zor", scene);
  const HostFilename scene_path{scene_file.string()};
  EXPECT_TRUE(zorhost::files_recognises(&scene_path));
  const HostFilename scene_url{"file://" + scene_file.string()};
  EXPECT_TRUE(zorhost::files_recognises(&scene_url));
  HostFilename memory{};
  zorhost::files_fn_set_memory_read(&memory, png.data(), static_cast<int64_t>(png.size()));
  EXPECT_TRUE(zorhost::files_recognises(&memory));
  const HostFilename words{scratch.write("w.zor", "just words").string()};
  EXPECT_FALSE(zorhost::files_recognises(&words));
  const HostFilename missing{(scratch.path() / "missing.png").string()};
  EXPECT_FALSE(zorhost::files_recognises(&missing));
}

}  // namespace
