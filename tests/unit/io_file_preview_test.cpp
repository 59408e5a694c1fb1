// The browser's file preview on zorhost's core I/O; hostile input must never crash or hang.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bitmaps/bitmap_impl.h"
#include "host_test_support.h"
#include "io_browser/file_preview.h"
#include "io_test_support.h"
#include "nexal/iostreams.h"
#include "scratch_folder.h"
#include "with_host.h"

namespace {

namespace fs = std::filesystem;
using io_browser::AppendProbeText;
using Clock = std::chrono::steady_clock;

std::vector<int32_t> g_pointers;

std::string Rendered(std::string_view bytes) {
  std::string text;
  AppendProbeText(bytes, text);
  return text;
}

class FakeView : public io_browser::PreviewView {
 public:
  void ShowImage(const BaseBitmap& bitmap) override { images.emplace_back(bitmap.GetBw(), bitmap.GetBh()); }
  void ShowText(const String& text, int32_t activePage) override {
    shown.push_back(text.ToUtf8(ZOR_STRING_UTF8_VERBATIM));
    page = activePage;
  }
  std::vector<std::pair<int32_t, int32_t>> images;
  std::vector<std::string> shown;
  int32_t page = 0;
};

class FilePreview : public testing::Test {
 protected:
  void SetUp() override {
    g_pointers.clear();
    host_.gui.set_mouse_pointer = [](int32_t pointer) { g_pointers.push_back(pointer); };
  }

  // The preview of url: the text it showed (once, and the same as the dialog's string), its page.
  std::string Preview(const nexal::Url& url) {
    view_ = FakeView();
    String previewText = "left over from the last preview";
    const auto start = Clock::now();
    io_browser::RunFilePreview(url, previewText, view_);
    slowest_ = std::max(slowest_, Clock::now() - start);
    EXPECT_EQ(view_.shown.size(), 1u);
    EXPECT_EQ(g_pointers, (std::vector<int32_t>{3, 2})) << "busy before, normal after";
    g_pointers.clear();
    if (view_.shown.empty()) return {};
    EXPECT_EQ(previewText.ToUtf8(ZOR_STRING_UTF8_VERBATIM), view_.shown[0]);
    return view_.shown[0];
  }
  std::string PreviewFile(const std::string& name, const std::string& bytes) {
    return Preview(nexal::Url::FromPath(scratch_.write(name, bytes).string()));
  }

  // The preview of a file holding bytes says its size and then one of: the text of its first bytes, an
  // image with what its Exif reader said, or that it could not be decoded.
  void ExpectSensible(const std::string& bytes, const std::string& text, const std::string& what) {
    const std::string head = "Size: " + std::to_string(bytes.size()) + "\nContent:\n";
    ASSERT_TRUE(text.starts_with(head)) << what << ": " << text.substr(0, 200);
    const std::string rest = text.substr(head.size());
    if (rest.starts_with("Image loaded successfully.")) {
      EXPECT_EQ(view_.page, io_browser::kPreviewImagePage) << what;
      ASSERT_EQ(view_.images.size(), 1u) << what;
      EXPECT_GT(view_.images[0].first, 0) << what;
      EXPECT_TRUE(rest.find("\n\n ", 26) == 26 || rest.substr(26).starts_with("<< Error reading exif data"))
          << what << ": " << rest.substr(0, 200);
      ++decoded_;
      return;
    }
    EXPECT_EQ(view_.page, io_browser::kPreviewTextPage) << what;
    EXPECT_TRUE(view_.images.empty()) << what;
    if (rest == "<< Error reading file >>") {
      ++refused_;
      return;
    }
    EXPECT_EQ(rest, Rendered(std::string_view(bytes).substr(0, 2000)))
        << what << " is neither an image nor shown as text";
    ++as_text_;
  }

  test_support::PatchedHost host_;
  test_support::CoreIoResolved resolved_;
  test_support::ScratchFolder scratch_;
  FakeView view_;
  Clock::duration slowest_{};
  int decoded_ = 0, refused_ = 0, as_text_ = 0;
};

TEST(FilePreviewText, EscapesWrapsAndResetsColumns) {
  // tab, LF and CR are themselves; NUL, other control bytes and every byte from 128 are escaped
  EXPECT_EQ(Rendered(std::string("a\tb\0c\x1F\xE9\x7F\r\n", 10)), "a\tb 0x00c 0x1F 0xE9\x7F\r\n");
  // a line break after every 200 columns
  EXPECT_EQ(Rendered(std::string(450, 'x')),
            std::string(200, 'x') + "\n" + std::string(200, 'x') + "\n" + std::string(50, 'x'));
  // CR and LF start the count again
  EXPECT_EQ(Rendered(std::string(150, 'a') + "\r" + std::string(150, 'b')),
            std::string(150, 'a') + "\r" + std::string(150, 'b'));
  EXPECT_EQ(Rendered(std::string(150, 'a') + "\n" + std::string(200, 'b')),
            std::string(150, 'a') + "\n" + std::string(200, 'b') + "\n");
  // an escape counts five columns: one that passes 200 ends the line after it
  EXPECT_EQ(Rendered(std::string(198, 'y') + "\xE9y"), std::string(198, 'y') + " 0xE9\ny");
  std::string escaped;
  for (int i = 0; i < 40; ++i) escaped += " 0xE9";
  EXPECT_EQ(Rendered(std::string(40, '\xE9')), escaped + "\n");
}

TEST_F(FilePreview, TextFilesShowSizeAndTheFirst2000Bytes) {
  EXPECT_EQ(PreviewFile("empty", ""), "Size: 0\nContent:\n");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);

  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += static_cast<char>('a' + i % 26);
  EXPECT_EQ(PreviewFile("long.txt", long_text),
            "Size: 3000\nContent:\n" + Rendered(long_text.substr(0, 2000)));
  // bytes that look like the host's text escapes are shown as they are
  EXPECT_EQ(PreviewFile("escapes.txt", "a\\u0041 \\U0001F600"), "Size: 18\nContent:\na\\u0041 \\U0001F600");
  EXPECT_TRUE(view_.images.empty());
}

TEST_F(FilePreview, CameraJpegsShowThePictureAndTheirExifData) {
  const std::string text =
      Preview(nexal::Url::FromPath((test_support::kExifData / "Canon_40D.jpg").string()));
  EXPECT_TRUE(text.starts_with("Size: 7958\nContent:\nImage loaded successfully.\n\n ")) << text;
  EXPECT_TRUE(test_support::Contains(text, "Image DateTime: 2008:07:31 10:38:11\n"));
  EXPECT_EQ(view_.page, io_browser::kPreviewImagePage);
  EXPECT_EQ(view_.images, (std::vector<std::pair<int32_t, int32_t>>{{100, 68}}));

  // the same file inside an archive previews the same way
  const fs::path archive = scratch_.path() / "photos.zip";
  ASSERT_TRUE(test_support::WriteZip(
      archive, {{"cam/nikon.jpg", test_support::FileBytes(test_support::kExifData / "Nikon_D70.jpg")}}));
  const std::string zipped =
      Preview(nexal::Url::InZip(nexal::Url::FromPath(archive.string())).Append("cam").Append("nikon.jpg"));
  EXPECT_TRUE(test_support::Contains(zipped, "Image loaded successfully.\n\n "));
  EXPECT_TRUE(test_support::Contains(zipped, "Image Model: NIKON D70"));
  EXPECT_EQ(view_.images.size(), 1u);

  // a picture without Exif data: shown, and the metadata says there is none
  EXPECT_TRUE(Preview(nexal::Url::FromPath((test_support::kExifData / "invalid_image01137.jpg").string()))
                  .ends_with("Image loaded successfully.<< Error reading exif data >>"));
}

std::string Mutated(const std::string& base, std::mt19937& random) {
  std::string bytes = base;
  auto pick = [&](size_t bound) { return std::uniform_int_distribution<size_t>(0, bound)(random); };
  switch (pick(3)) {
    case 0:  // cut short
      bytes.resize(pick(bytes.size()));
      break;
    case 1:  // a few bits flipped
      for (size_t flips = 1 + pick(15); flips > 0 && !bytes.empty(); --flips)
        bytes[pick(bytes.size() - 1)] ^= static_cast<char>(1 << pick(7));
      break;
    case 2:  // a run overwritten
      for (size_t at = pick(bytes.size()), n = pick(64); n > 0 && at < bytes.size(); --n, ++at)
        bytes[at] = static_cast<char>(pick(255));
      break;
    default:  // both
      bytes[pick(bytes.size() - 1)] ^= static_cast<char>(1 << pick(7));
      bytes.resize(pick(bytes.size()));
      break;
  }
  return bytes;
}

TEST_F(FilePreview, MutatedImagesAndArchivesNeverCrashOrHang) {
  const std::string jpeg = test_support::FileBytes(test_support::kExifData / "Canon_40D.jpg");
  const HostBitmap bitmap = test_support::PatternBitmap(16, 16);
  const std::string png = test_support::PngBytes(16, 16, PNG_FORMAT_RGB, bitmap.pixels);
  ASSERT_EQ(zorhost::save_tiff(bitmap, scratch_.path() / "seed.tif"), ZOR_IMAGE_OK);
  const std::string tiff = test_support::FileBytes(scratch_.path() / "seed.tif");
  const std::string text = "plain text\r\nwith\ttabs\n";
  ASSERT_TRUE(
      test_support::WriteZip(scratch_.path() / "seed.zip", {{"photo.jpg", jpeg}, {"dir/notes.txt", text}}));
  const std::string zip = test_support::FileBytes(scratch_.path() / "seed.zip");

  std::mt19937 random(20261206);
  const std::pair<const char*, const std::string*> seeds[] = {{"jpg", &jpeg}, {"png", &png}, {"tif", &tiff}};
  for (int round = 0; round < 2400; ++round) {
    const auto& [suffix, seed] = seeds[round % 3];
    const std::string bytes = Mutated(*seed, random);
    // a new file each round: overwriting one would make the file system write it out every time
    const fs::path file = scratch_.write("in" + std::to_string(round) + "." + suffix, bytes);
    ExpectSensible(bytes, Preview(nexal::Url::FromPath(file.string())), "round " + std::to_string(round));
    fs::remove(file);
    if (HasFatalFailure()) return;
  }
  // the mutations reached all three outcomes
  EXPECT_GT(decoded_, 100);
  EXPECT_GT(refused_, 100);
  EXPECT_GT(as_text_, 100);

  // archives: listing and previewing what is listed survives any damage
  int listed = 0, opened = 0;
  for (int round = 0; round < 600; ++round) {
    const fs::path file = scratch_.write("in" + std::to_string(round) + ".zip", Mutated(zip, random));
    const nexal::Url top = nexal::Url::InZip(nexal::Url::FromPath(file.string()));
    for (const nexal::Url& level : {top, top.Append("dir")}) {
      nexal::IoBrowse browse;
      if (level.Browse(&browse)) continue;
      for (; browse.HasEntry(); browse.Next()) {
        ++listed;
        if (browse.GetAttributes() & nexal::kIoFolder) continue;
        const std::string text = Preview(browse.GetUrl());
        const bool opened_it = text.starts_with("Size: ");
        opened += opened_it;
        EXPECT_TRUE(opened_it || text.starts_with("<< Error opening file: ")) << text.substr(0, 200);
      }
    }
    fs::remove(file);
  }
  EXPECT_GT(listed, 100);
  EXPECT_GT(opened, 50);
  EXPECT_LT(slowest_, std::chrono::seconds(10)) << "one preview took far too long";
}

TEST_F(FilePreview, UnopenableEmptyOddlyNamedAndCorruptFiles) {
  // a URL that does not open shows only the frameworks' error
  const fs::path missing = scratch_.path() / "missing.txt";
  EXPECT_EQ(Preview(nexal::Url::FromPath(missing.string())),
            "<< Error opening file: cannot open " + missing.string() + ": No such file or directory >>");
  EXPECT_EQ(Preview(nexal::Url::Parse("http://example.org/a.txt")),
            "<< Error opening file: no I/O handler serves the scheme \"http\" (http://example.org/a.txt) >>");
  EXPECT_EQ(Preview(nexal::Url::FromPath(scratch_.path().string())),
            "<< Error opening file: cannot open " + scratch_.path().string() + ": it is a folder >>");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);

  // an empty file named as an image goes down the image path and fails to decode, on the Text page
  EXPECT_EQ(PreviewFile("empty.jpg", ""), "Size: 0\nContent:\n<< Error reading file >>");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);

  // a name that is not UTF-8 is listed, named and previewed
  scratch_.write("caf\xE9.txt", "hi");
  nexal::IoBrowse browse;
  ASSERT_FALSE(nexal::Url::FromPath(scratch_.path().string()).Browse(&browse));
  nexal::Url odd;
  for (; browse.HasEntry(); browse.Next())
    if (browse.GetUrl().GetName() == "caf\xE9.txt") odd = browse.GetUrl();
  EXPECT_EQ(Preview(odd), "Size: 2\nContent:\nhi");

  // a corrupt archive: a preview inside it names the archive
  const fs::path corrupt =
      scratch_.write("corrupt.zip", std::string("PK\x03\x04", 4) + std::string(300, '\x7F'));
  EXPECT_TRUE(Preview(nexal::Url::InZip(nexal::Url::FromPath(corrupt.string())).Append("a.txt"))
                  .starts_with("<< Error opening file: cannot open the archive " + corrupt.string()));
}

}  // namespace
