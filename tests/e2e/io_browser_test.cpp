// The I/O handler browser in a real zorhost, driven by a UI script.

#include <cctype>

#include "e2e/run_folders.h"
#include "zip_writer.h"

namespace {

using e2e::Contains;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kTitle = "IoHandler Test";
const std::filesystem::path kCameraJpeg =
    std::filesystem::path(RELKIT_SOURCE_DIR) / "tests" / "data" / "exif" / "Canon_40D.jpg";

// "file://" and the path, escaped as the framework writes it.
std::string FileUrl(const fs::path& path) {
  std::string url = "file://";
  for (const unsigned char c : path.string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      url.push_back(static_cast<char>(c));
    } else {
      static const char* kHex = "0123456789ABCDEF";
      url += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return url;
}

class IoBrowserDialog : public e2e::RunFoldersTest {
 protected:
  IoBrowserDialog() : RunFoldersTest("io_browser_e2e_") {}

  void SetUp() override {
    RunFoldersTest::SetUp();
    data_ = root_ / "data";
    fs::create_directories(data_ / "alpha");
    std::ofstream(data_ / "alpha" / "inner.txt") << "inside";
    ASSERT_TRUE(test_support::WriteZip(data_ / "bravo.zip",
                                       {{"one.txt", "first entry"}, {"two.txt", "second entry"}}));
    // a tab and a line end as they are, a control byte and a byte above 127 escaped
    std::ofstream(data_ / "charlie.txt", std::ios::binary) << std::string("Hello\tWorld\n\x01\xE9") + "end";
    fs::copy_file(kCameraJpeg, data_ / "delta.jpg");
    std::ofstream(data_ / ".echo") << "hidden";
  }

  e2e::HostOutcome Run(const json& steps) {
    return e2e::RunHost(root_, {"--command", "ioBrowserManager"}, steps);
  }

  static json Act(json body) {
    body["title"] = kTitle;
    return json{{"act", body}};
  }

  fs::path data_;
};

// The values a gadget of the browser took, in order.
std::vector<json> GadgetValues(const e2e::HostOutcome& run, int id) {
  std::vector<json> values;
  for (const json& e : run.Events("gadget", "id", id)) values.push_back(e["value"]);
  return values;
}

std::vector<std::string> Names(const Rows& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.empty() ? "" : row[0]);
  return names;
}

TEST_F(IoBrowserDialog, ListsNavigatesAndPreviews) {
  const std::string folder = FileUrl(data_);
  const json steps = json::array({
      Act({{"set", {{1001, folder}}}}),
      Act({{"set", {{1002, true}}}}),
      Act({{"treeDoubleClick", 1}}),                        // alpha
      Act({{"click", {1004}}}),                             // back to the folder
      Act({{"treeDoubleClick", 2}}),                        // bravo.zip
      Act({{"set", {{1001, folder}}}, {"treeSelect", 3}}),  // charlie.txt
      Act({{"treeSelect", 4}}),                             // delta.jpg
      Act({{"treeDoubleClick", 3}}),                        // a file that is no archive: nothing happens
      Act({{"set", {{1003, FileUrl(data_ / "missing.txt")}}}}),
      Act({{"set", {{1001, FileUrl(data_ / "nowhere")}}}}),  // a location that cannot be listed
      Act({{"set", {{1001, "no url"}}}}),
      Act({{"set", {{1001, "handler://"}}}, {"click", {1004}}}),
  });
  const e2e::HostOutcome run = Run(steps);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(run.Complained("UI script")) << run.err;

  std::vector<Rows> trees;
  for (const json& e : run.Events("tree", "title", kTitle)) trees.push_back(e["rows"].get<Rows>());
  ASSERT_GE(trees.size(), 9u) << run.err;
  // opened at "handler://": the handlers, the file scheme among them
  EXPECT_EQ(std::ranges::count(Names(trees[0]), "[DIR] file"), 1) << json(Names(trees[0])).dump();

  const std::vector<std::string> plain = {"[DIR] alpha", "[FILE] bravo.zip", "[FILE] charlie.txt",
                                          "[FILE] delta.jpg"};
  std::vector<std::string> withHidden = plain;
  withHidden.insert(withHidden.begin(), "[FILE] .echo [HIDDEN]");
  const std::vector<std::vector<std::string>> expected = {
      plain,      withHidden, {"[FILE] inner.txt"}, withHidden, {"[FILE] one.txt", "[FILE] two.txt"},
      withHidden, {}};
  size_t at = 1;
  for (const auto& names : expected) {
    while (at < trees.size() && Names(trees[at]) != names) ++at;
    ASSERT_LT(at, trees.size()) << "never listed " << json(names).dump();
    ++at;
  }
  // the folder's rows have their cells (what each says, the unit tests say): charlie.txt's size
  ASSERT_EQ(trees[1].size(), 4u);
  EXPECT_EQ(trees[1][2].at(1), "17");

  std::vector<std::string> texts;
  for (const json& value : GadgetValues(run, 10004))
    if (value.is_string()) texts.push_back(value.get<std::string>());
  ASSERT_GE(texts.size(), 3u);
  const std::string& text = texts[texts.size() - 3];
  EXPECT_TRUE(Contains(text, "Size: 17\nContent:\nHello\tWorld\n 0x01 0xE9end")) << text;
  const std::string& image = texts[texts.size() - 2];
  EXPECT_TRUE(Contains(image, "Image loaded successfully.")) << image;
  EXPECT_TRUE(Contains(texts.back(), "<< Error opening file: ")) << texts.back();

  const std::vector<json> pages = GadgetValues(run, 10002);
  EXPECT_NE(std::find(pages.begin(), pages.end(), json(10005)), pages.end()) << json(pages).dump();
  EXPECT_EQ(pages.back(), json(10003)) << "the error shows on the Text page";
  EXPECT_FALSE(GadgetValues(run, 10006).empty()) << "the bitmap button got the picture";

  // the module says nothing of a location it cannot list; zorhost says why
  EXPECT_TRUE(run.Complained("zorhost: cannot list " + FileUrl(data_ / "nowhere") + ": ")) << run.err;
  EXPECT_TRUE(run.Complained("zorhost: cannot list no url: ")) << run.err;

  // ".." at "handler://" stays there: the handlers are listed again
  EXPECT_EQ(trees.back(), trees[0]);
}

}  // namespace
