// Thresholds per scene (JSON rules beside the scenes) and SSIM on hand-made results; SSIM vs scikit-image.
#include <cmath>
#include <functional>

#include "e2e/run_folders.h"
#include "rgb_tiff.h"

namespace {

using e2e::Outcome;
using e2e::ReadFile;

// Pixel x, y's channel c of the picture the scenes start from: smooth light and dark with some grain.
uint8_t Texture(int x, int y, int c) {
  const double v = 128 + 70 * std::sin(x * 0.31 + c) * std::cos(y * 0.23) + ((x * 7 + y * 13 + c * 5) % 17);
  return uint8_t(std::clamp(v, 0.0, 255.0));
}

class RelkitReportRules : public e2e::RunFoldersTest {
 protected:
  RelkitReportRules() : RunFoldersTest("relkit_report_rules_") {}

  using Pixel = std::function<uint8_t(int x, int y, int c)>;
  static constexpr int kWidth = 64, kHeight = 48;

  // Scene names (below the scene folder) with their new images; every reference is Texture.
  void Folders(const std::vector<std::pair<std::string, Pixel>>& scenes) {
    base_ = Result(1), result_ = Result(2);
    fs::create_directories(base_), fs::create_directories(result_);
    std::string baseReport = e2e::kReportHeader, resultReport = e2e::kReportHeader;
    for (size_t k = 0; k < scenes.size(); ++k) {
      std::string number = std::to_string(k + 1), path = (scenes_ / scenes[k].first).string();
      number.resize(10, ' ');
      baseReport += number + "CREATED   1.00" + std::string(36, ' ') + path + "\n";
      resultReport += number + "OK        1.00      1.00      0.00%     None      " + path + "\n";
      Write(base_ / Image(k, "tif"), Texture);
      Write(result_ / Image(k, "tif"), scenes[k].second);
    }
    std::ofstream(base_ / "_result.txt") << baseReport;
    std::ofstream(result_ / "_result.txt") << resultReport;
  }

  // the image of scene k (from 0) in a result folder, as a TIFF or as raw bytes (rgb)
  static std::string Image(size_t k, const char* extension) {
    const std::string number = std::to_string(k + 1);
    return std::string(4 - number.size(), '0') + number + "." + extension;
  }

  // the image as a TIFF for check and as raw bytes beside it (NAME.rgb) for the reference SSIM
  static void Write(const fs::path& tiff, const Pixel& pixel) {
    std::string raw;  // row by row, as the TIFF is written
    ASSERT_TRUE(test_support::WriteRgbTiff(tiff, kWidth, kHeight, [&](int x, int y, uint8_t* rgb) {
      for (int c = 0; c < 3; ++c) raw += char(rgb[c] = pixel(x, y, c));
    }));
    std::ofstream(fs::path(tiff).replace_extension(".rgb"), std::ios::binary) << raw;
  }

  Outcome Check(std::vector<std::string> args = {}) const {
    args.insert(args.begin(), {RELKIT_REPORT_PATH, "check", result_.string(), "--reference", base_.string()});
    return e2e::Run({.args = args, .timeout_seconds = 120});
  }

  json Summary() const { return json::parse(ReadFile(result_ / "_summary.json")); }

  fs::path base_, result_;
};

// one pixel in twenty brighter by 60: 5 % of the pixels differ, a FAIL by default
uint8_t Noisy(int x, int y, int c) {
  return (x + y * 64) % 20 == 0 ? uint8_t(std::min(255, Texture(x, y, c) + 60)) : Texture(x, y, c);
}

TEST_F(RelkitReportRules, ARuleLetsOneNoisyScenePassWhileTheSameChangeFailsAnother) {
  Folders({{"glass/a.zor", Noisy}, {"glass/b.zor", Noisy}, {"glass/deep/c.zor", Noisy}, {"d/e.zor", Noisy}});
  std::ofstream(scenes_ / "relkit-thresholds.json") << R"({"rules": [
      {"match": "**/a.zor", "warn-pixels": 10, "fail-pixels": 10},
      {"match": "glass/*.zor", "pixel-threshold": 100},
      {"match": "?/**/e.zor", "pixel-threshold": 255, "fail-ssim": 0.99}]})";
  const Outcome check = Check();
  EXPECT_EQ(check.status, 1) << check.err;
  const json summary = Summary();
  EXPECT_EQ(summary["thresholdsFile"], (scenes_ / "relkit-thresholds.json").string());
  // the first matching rule applies; "*" stays within a folder; a limit of the similarity asks for it
  const std::vector<std::pair<const char*, const char*>> expected = {
      {"PASS", "**/a.zor"}, {"PASS", "glass/*.zor"}, {"FAIL", "default"}, {"FAIL", "?/**/e.zor"}};
  for (size_t k = 0; k < expected.size(); ++k) {
    const json& scene = summary["scenes"][k];
    EXPECT_EQ(scene["status"], expected[k].first) << scene.dump();
    EXPECT_EQ(scene["rule"], expected[k].second) << scene.dump();
    EXPECT_EQ(scene.contains("ssim"), k == 3) << scene.dump();
  }
  EXPECT_TRUE(e2e::Contains(summary["scenes"][3]["reasons"].dump(), "SSIM")) << summary["scenes"][3].dump();
  const std::string junit = ReadFile(result_ / "_junit.xml");
  EXPECT_TRUE(e2e::Contains(junit, "thresholds: rule &quot;glass/*.zor&quot;")) << junit;
  if (const auto dom = e2e::PageInChromium(result_ / "_report.html", root_ / "chromium")) {
    EXPECT_TRUE(e2e::Contains(*dom, "rule: **/a.zor")) << *dom;
  }

  // a file named on the command line replaces the one beside the scenes; no rule: the defaults apply
  std::ofstream(root_ / "none.json") << R"({"rules": []})";
  EXPECT_EQ(Check({"--thresholds", (root_ / "none.json").string()}).status, 1);
  const json defaults = Summary();
  for (const json& scene : defaults["scenes"])
    EXPECT_TRUE(scene["status"] == "FAIL" && scene["rule"] == "default") << scene.dump();
}

TEST_F(RelkitReportRules, ABadThresholdsFileIsNamedWithItsRuleAndKeyAndNothingIsWritten) {
  Folders({{"a.zor", Texture}});
  const fs::path file = scenes_ / "relkit-thresholds.json";
  // the file and what the complaint says
  const std::vector<std::pair<const char*, std::vector<std::string>>> cases = {
      {R"({"rules": [{"match": "a.zor"})", {"not JSON"}},
      {R"({"rules": [{"match": "a"}, {"match": "b", "fial-pixels": 1}]})",
       {"rules[1]", "fial-pixels", "unknown"}},
      {R"({"rules": [{"match": "a", "fail-pixels": 150}]})", {"rules[0]", "fail-pixels", "150", "0 to 100"}},
      {R"({"rules": [{"match": "a", "fail-on-time": 1}]})", {"rules[0]", "fail-on-time", "true or false"}},
      {R"({"rules": [{"match": "a"}, {"match": ["a"]}]})", {"rules[1]", "match"}},
      {R"({"rule": []})", {"unknown key", "rule"}},
  };
  for (const auto& [content, says] : cases) {
    SCOPED_TRACE(content);
    std::ofstream(file) << content;
    const Outcome bad = Check();
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.Complained(file.string())) << bad.err;
    for (const std::string& word : says) EXPECT_TRUE(bad.Complained(word)) << bad.err;
    EXPECT_FALSE(fs::exists(result_ / "_summary.json"));
    EXPECT_FALSE(fs::exists(result_ / "_report_files"));
  }
  fs::remove(file);
  const Outcome missing = Check({"--thresholds", (root_ / "absent.json").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(missing.Complained((root_ / "absent.json").string())) << missing.err;
}

TEST_F(RelkitReportRules, SsimAgreesWithScikitImage) {
  const std::vector<std::pair<std::string, Pixel>> pairs = {
      {"same.zor", Texture},
      {"noise.zor",
       [](int x, int y, int c) {
         return uint8_t(std::clamp(Texture(x, y, c) + ((x * 31 + y * 17 + c * 7) % 41) - 20, 0, 255));
       }},
      {"shift.zor", [](int x, int y, int c) { return Texture(x + 1, y, c); }},
      {"colour.zor",
       [](int x, int y, int c) {
         return c == 0 ? uint8_t(Texture(x, y, c) * 3 / 4 + 40) : Texture(x, y, c);
       }},
  };
  Folders(pairs);
  const Outcome check = Check({"--ssim", "--fail-ssim", "0.9", "--pixel-threshold", "255"});
  EXPECT_TRUE(check.status == 0 || check.status == 1) << check.err;
  const json summary = Summary();

  std::vector<std::string> args = e2e::Args("/usr/bin/python3", RELKIT_TESTS_DIR "/ssim_reference.py",
                                            std::to_string(kWidth), std::to_string(kHeight));
  for (size_t k = 0; k < pairs.size(); ++k)
    args.insert(args.end(), {(result_ / Image(k, "rgb")).string(), (base_ / Image(k, "rgb")).string()});
  const Outcome reference = e2e::Run({.args = args, .timeout_seconds = 120});
  if (reference.status != 0 && e2e::Contains(reference.err, "No module named"))
    GTEST_SKIP() << "scikit-image is not installed (python3-skimage): " << reference.err;
  ASSERT_EQ(reference.status, 0) << reference.err;
  std::istringstream values(reference.out);
  for (size_t k = 0; k < pairs.size(); ++k) {
    double expected = 0;
    ASSERT_TRUE(values >> expected) << reference.out;
    const json& scene = summary["scenes"][k];
    ASSERT_TRUE(scene.contains("ssim")) << scene.dump();
    EXPECT_NEAR(scene["ssim"].get<double>(), expected, 1e-4) << pairs[k].first;
    // the limit applies: only a similarity under it fails
    EXPECT_EQ(scene["status"], expected < 0.9 ? "FAIL" : "PASS") << pairs[k].first << " " << expected;
  }
  EXPECT_EQ(summary["scenes"][0]["ssim"].get<double>(), 1.0);
}

}  // namespace
