// The browser's file preview, run in-process against zorhost's core I/O with a fake view: the size line
// and the text rendering of the first 2000 bytes, camera JPEGs with their Exif data, files that fail to
// decode, and URLs that do not open.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io_browser/file_preview.h"
#include "io_test_support.h"
#include "scratch_folder.h"
#include "with_host.h"

namespace {

namespace fs = std::filesystem;
using io_browser::AppendProbeText;

std::vector<int32_t> g_pointers;

// zorhost's table with a mouse pointer that remembers what it was set to
const HostFunctionTable* TableRecordingPointers() {
  static HostGuiTable gui = *test_support::RealHostTable()->gui;
  static HostFunctionTable table = [] {
    HostFunctionTable made = *test_support::RealHostTable();
    gui.set_mouse_pointer = [](int32_t pointer) { g_pointers.push_back(pointer); };
    made.gui = &gui;
    return made;
  }();
  return &table;
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
  void SetUp() override { g_pointers.clear(); }

  // The preview of url: the text it showed (once, and the same as the dialog's string), its page.
  std::string Preview(const nexal::Url& url) {
    view_ = FakeView();
    String previewText = "left over from the last preview";
    io_browser::RunFilePreview(url, previewText, view_);
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

  test_support::WithHost host_{TableRecordingPointers()};
  test_support::CoreIoResolved resolved_;
  test_support::ScratchFolder scratch_;
  FakeView view_;
};

std::string Rendered(std::string_view bytes) {
  std::string text;
  AppendProbeText(bytes, text);
  return text;
}

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
  EXPECT_EQ(Rendered(std::string(40, '\xE9')), [] {
    std::string escaped;
    for (int i = 0; i < 40; ++i) escaped += " 0xE9";
    return escaped + "\n";
  }());
}

TEST_F(FilePreview, TextFilesShowSizeAndTheFirst2000Bytes) {
  EXPECT_EQ(PreviewFile("empty", ""), "Size: 0\nContent:\n");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);

  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += static_cast<char>('a' + i % 26);
  std::string expected = "Size: 3000\nContent:\n";
  for (int line = 0; line < 10; ++line)
    expected += long_text.substr(static_cast<size_t>(line) * 200, 200) + "\n";
  EXPECT_EQ(PreviewFile("long.txt", long_text), expected);

  EXPECT_EQ(PreviewFile("mixed.dat", std::string("Tab\there\0\xE9\r\nok", 14)),
            "Size: 14\nContent:\nTab\there 0x00 0xE9\r\nok");
  // bytes that look like the host's text escapes are shown as they are
  EXPECT_EQ(PreviewFile("escapes.txt", "a\\u0041 \\U0001F600"), "Size: 18\nContent:\na\\u0041 \\U0001F600");
  EXPECT_TRUE(view_.images.empty());
}

TEST_F(FilePreview, CameraJpegsShowThePictureAndTheirExifData) {
  const fs::path data = fs::path(RELKIT_SOURCE_DIR) / "tests/data/exif";
  const std::string text = Preview(nexal::Url::FromPath((data / "Canon_40D.jpg").string()));
  EXPECT_TRUE(text.starts_with("Size: 7958\nContent:\nImage loaded successfully.\n\n ")) << text;
  for (const char* line :
       {"Image Make: Canon", "Image Model: Canon EOS 40D", "Image DateTime: 2008:07:31 10:38:11",
        "EXIF DateTimeOriginal: 2008:05:30 15:56:01"})
    EXPECT_NE(text.find(std::string(line) + "\n"), std::string::npos) << line << " in\n" << text;
  EXPECT_EQ(view_.page, io_browser::kPreviewImagePage);
  EXPECT_EQ(view_.images, (std::vector<std::pair<int32_t, int32_t>>{{100, 68}}));

  // the same file inside an archive previews the same way
  std::ifstream in(data / "Nikon_D70.jpg", std::ios::binary);
  const std::string nikon(std::istreambuf_iterator<char>(in), {});
  const fs::path archive = scratch_.path() / "photos.zip";
  ASSERT_TRUE(test_support::WriteZip(archive, {{"cam/nikon.jpg", nikon}}));
  const std::string zipped =
      Preview(nexal::Url::InZip(nexal::Url::FromPath(archive.string())).Append("cam").Append("nikon.jpg"));
  EXPECT_NE(zipped.find("Image loaded successfully.\n\n "), std::string::npos) << zipped;
  EXPECT_NE(zipped.find("Image Model: NIKON D70"), std::string::npos);
  EXPECT_EQ(view_.images.size(), 1u);

  // an Exif block with no picture after it is a JPEG that does not decode: the Text page says so
  EXPECT_EQ(Preview(nexal::Url::FromPath((data / "exifonly_canon_makernote_variant_1.jpg").string())),
            "Size: 2026\nContent:\n<< Error reading file >>");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);
  EXPECT_TRUE(view_.images.empty());

  // a picture without Exif data: shown, and the metadata says there is none
  EXPECT_TRUE(Preview(nexal::Url::FromPath((data / "invalid_image01137.jpg").string()))
                  .ends_with("Image loaded successfully.<< Error reading exif data >>"));
}

TEST_F(FilePreview, AUrlThatDoesNotOpenShowsOnlyTheFrameworksError) {
  const fs::path missing = scratch_.path() / "missing.txt";
  EXPECT_EQ(Preview(nexal::Url::FromPath(missing.string())),
            "<< Error opening file: cannot open " + missing.string() + ": No such file or directory >>");
  EXPECT_EQ(Preview(nexal::Url::Parse("http://example.org/a.txt")),
            "<< Error opening file: no I/O handler serves the scheme \"http\" (http://example.org/a.txt) >>");
  EXPECT_EQ(Preview(nexal::Url::FromPath(scratch_.path().string())),
            "<< Error opening file: cannot open " + scratch_.path().string() + ": it is a folder >>");
  EXPECT_EQ(view_.page, io_browser::kPreviewTextPage);
}

}  // namespace
