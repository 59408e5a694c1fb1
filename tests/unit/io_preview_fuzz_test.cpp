// The preview on hostile input: thousands of seeded mutations (cut short, bits flipped, runs overwritten)
// of a JPEG, a PNG, a TIFF and a zip archive, an empty image, a file gone between listing and preview, a
// name that is not UTF-8, and a corrupt archive browsed. Nothing may crash or hang, and every preview
// must end in a sensible message.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "bitmaps/bitmap_impl.h"
#include "io_browser/file_preview.h"
#include "io_test_support.h"
#include "nexal/iostreams.h"
#include "scratch_folder.h"
#include "with_host.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class RecordingView : public io_browser::PreviewView {
 public:
  void ShowImage(const BaseBitmap& bitmap) override { images.emplace_back(bitmap.GetBw(), bitmap.GetBh()); }
  void ShowText(const String& shown, int32_t activePage) override {
    text = shown.ToUtf8();
    page = activePage;
  }
  std::vector<std::pair<int32_t, int32_t>> images;
  std::string text;
  int32_t page = 0;
};

class PreviewFuzz : public testing::Test {
 protected:
  void SetUp() override { test_support::ResolveCoreIo(); }

  RecordingView Preview(const nexal::Url& url) {
    RecordingView view;
    String previewText;
    const auto start = Clock::now();
    io_browser::RunFilePreview(url, previewText, view);
    slowest_ = std::max(slowest_, Clock::now() - start);
    return view;
  }

  // The preview of a file holding bytes says its size and then one of: the text of its first bytes, an
  // image with what its Exif reader said, or that it could not be decoded.
  void ExpectSensible(const std::string& bytes, const RecordingView& view, const std::string& what) {
    const std::string head = "Size: " + std::to_string(bytes.size()) + "\nContent:\n";
    ASSERT_TRUE(view.text.starts_with(head)) << what << ": " << view.text.substr(0, 200);
    const std::string rest = view.text.substr(head.size());
    if (rest.starts_with("Image loaded successfully.")) {
      EXPECT_EQ(view.page, io_browser::kPreviewImagePage) << what;
      ASSERT_EQ(view.images.size(), 1u) << what;
      EXPECT_GT(view.images[0].first, 0) << what;
      EXPECT_TRUE(rest.find("\n\n ", 26) == 26 || rest.substr(26).starts_with("<< Error reading exif data"))
          << what << ": " << rest.substr(0, 200);
      ++decoded_;
      return;
    }
    EXPECT_EQ(view.page, io_browser::kPreviewTextPage) << what;
    EXPECT_TRUE(view.images.empty()) << what;
    if (rest == "<< Error reading file >>") {
      ++refused_;
      return;
    }
    std::string shown;
    io_browser::AppendProbeText(std::string_view(bytes).substr(0, 2000), shown);
    EXPECT_EQ(rest, shown) << what << " is neither an image nor shown as text";
    ++as_text_;
  }

  test_support::WithHost host_{test_support::RealHostTable()};
  test_support::ScratchFolder scratch_;
  Clock::duration slowest_{};
  int decoded_ = 0, refused_ = 0, as_text_ = 0;
};

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

TEST_F(PreviewFuzz, MutatedImagesAndArchivesNeverCrashOrHang) {
  const fs::path exif = fs::path(RELKIT_SOURCE_DIR) / "tests/data/exif";
  const std::string jpeg = test_support::FileBytes(exif / "Canon_40D.jpg");
  std::vector<uint8_t> gradient;
  for (int i = 0; i < 16 * 16; ++i)
    gradient.insert(gradient.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 128});
  const std::string png = test_support::PngBytes(16, 16, PNG_FORMAT_RGB, gradient);
  HostBitmap bitmap;
  bitmap.width = bitmap.height = 16;
  bitmap.depth = 24;
  bitmap.pixels.assign(gradient.begin(), gradient.end());
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
        const RecordingView view = Preview(browse.GetUrl());
        const bool opened_it = view.text.starts_with("Size: ");
        opened += opened_it;
        EXPECT_TRUE(opened_it || view.text.starts_with("<< Error opening file: "))
            << view.text.substr(0, 200);
      }
    }
    fs::remove(file);
  }
  EXPECT_GT(listed, 100);
  EXPECT_GT(opened, 50);
  EXPECT_LT(slowest_, std::chrono::seconds(10)) << "one preview took far too long";
}

TEST_F(PreviewFuzz, EmptyVanishedOddlyNamedAndCorruptArchives) {
  // an empty file named as an image goes down the image path and fails to decode, on the Text page
  RecordingView view = Preview(nexal::Url::FromPath(scratch_.write("empty.jpg", "").string()));
  EXPECT_EQ(view.text, "Size: 0\nContent:\n<< Error reading file >>");
  EXPECT_EQ(view.page, io_browser::kPreviewTextPage);

  // a name that is not UTF-8 is listed, named and previewed
  const fs::path odd = scratch_.write("caf\xE9.txt", "hi");
  const fs::path doomed = scratch_.write("doomed.txt", "soon gone");
  nexal::IoBrowse browse;
  ASSERT_FALSE(nexal::Url::FromPath(scratch_.path().string()).Browse(&browse));
  std::vector<nexal::Url> entries;
  for (; browse.HasEntry(); browse.Next()) entries.push_back(browse.GetUrl());
  bool saw_odd = false;
  for (const nexal::Url& entry : entries) {
    if (entry.GetName() != "caf\xE9.txt") continue;
    saw_odd = true;
    EXPECT_EQ(Preview(entry).text, "Size: 2\nContent:\nhi");
  }
  EXPECT_TRUE(saw_odd);

  // a file removed between the listing and the preview
  fs::remove(doomed);
  EXPECT_EQ(Preview(nexal::Url::FromPath(doomed.string())).text,
            "<< Error opening file: cannot open " + doomed.string() + ": No such file or directory >>");

  // a corrupt archive: the listing fails with the archive named, and so does a preview inside it
  const fs::path corrupt =
      scratch_.write("corrupt.zip", std::string("PK\x03\x04", 4) + std::string(300, '\x7F'));
  const nexal::Url inside = nexal::Url::InZip(nexal::Url::FromPath(corrupt.string()));
  const nexal::Error error = inside.Browse(&browse);
  EXPECT_NE(std::string(error.Message()).find("cannot open the archive " + corrupt.string()),
            std::string::npos)
      << error.Message();
  EXPECT_TRUE(
      Preview(inside.Append("a.txt")).text.starts_with("<< Error opening file: cannot open the archive "));
}

}  // namespace
