// A fixture for tests that run zorhost on scenes: a start-up folder, a prefs folder and a scene folder
// below a root of the test's own (named after the process and the test), kept when the test failed;
// with the one small scene the tests render and what a run leaves in the prefs folder.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>

#include "e2e/host_process.h"

namespace e2e {

// A sphere on a floor in a red material, lit by one point light, rendered by the standard engine at
// width x height; tests change what they need.
inline json SmallScene(int width = 32, int height = 24) {
  json scene = json::parse(R"({"zor": 1, "fps": 30, "minTime": [0, 1],
    "videoPosts": [{"type": 1001015, "flags": 0, "settings": {}}],
    "camera": {"position": [0, 2, -6], "target": [0, 0.8, 0], "fov": 40},
    "lights": [{"type": "point", "position": [4, 6, -4], "color": [1, 1, 1], "intensity": 40}],
    "materials": {"red": {"color": [0.8, 0.1, 0.1], "reflect": 0.1}},
    "objects": [{"type": "sphere", "center": [0, 1, 0], "radius": 1, "material": "red"},
                {"type": "plane", "point": [0, 0, 0], "normal": [0, 1, 0]}]})");
  scene["renderSettings"] = {{"5008", double(width)}, {"5009", double(height)}, {"5300", 0}};
  return scene;
}

// SmallScene asking for these faults (obeyed with --allow-faults)
inline json SceneWithFaults(const json& faults) {
  json scene = SmallScene();
  scene["faults"] = faults;
  return scene;
}

// The DOM headless Chromium makes of a page (with "?QUERY" after its URL when given), its profile in
// profile_folder; nullopt when Chromium is not installed. Other flags (a screenshot) replace --dump-dom.
inline std::optional<std::string> PageInChromium(const std::filesystem::path& page,
                                                 const std::filesystem::path& profile_folder,
                                                 const std::string& query = "",
                                                 std::vector<std::string> flags = {"--dump-dom"}) {
  if (!OnPath("chromium")) return std::nullopt;
  // XDG_CONFIG_HOME too, or Chromium keeps its crash reports in the user's settings
  const std::string profile = profile_folder.string();
  const std::string url =
      "file://" + std::filesystem::absolute(page).string() + (query.empty() ? "" : "?" + query);
  flags.insert(flags.begin(),
               {"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile});
  flags.push_back(url);
  const Outcome dom = Run({.args = flags, .env = {"XDG_CONFIG_HOME=" + profile}, .timeout_seconds = 120});
  EXPECT_EQ(dom.status, 0) << dom.err;
  return dom.out;
}

// relkit-report with args (and the command's environment); killed if it hangs for two minutes
inline Outcome RunReport(std::vector<std::string> args, Command command = {}) {
  args.insert(args.begin(), RELKIT_REPORT_PATH);
  command.args = args;
  command.timeout_seconds = 120;
  return Run(command);
}

// a Renderator report's first line at the default host version
inline const std::string kReportHeader = "16.050    Status    Tnew      Told      Trel      Diff      Name\n";

class RunFoldersTest : public ::testing::Test {
 protected:
  explicit RunFoldersTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    root_ = fs::temp_directory_path() / (prefix_ + std::to_string(::getpid()) + "_" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    scenes_ = root_ / "scenes";
    for (const fs::path& folder : {root_ / "startup", root_ / "prefs", scenes_})
      fs::create_directories(folder);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // a scene file (or any text) below the scene folder, its folders made
  void WriteScene(const fs::path& relative, const json& scene) {
    fs::create_directories((scenes_ / relative).parent_path());
    std::ofstream(scenes_ / relative) << (scene.is_string() ? scene.get<std::string>() : scene.dump(2));
  }

  // the n-th result folder of Renderator runs on the scene folder
  fs::path Result(int n) const { return scenes_ / (kResultPrefix + std::to_string(n)); }

  // the crash reports zorhost left in the prefs folder
  std::vector<fs::path> CrashReports() const {
    std::vector<fs::path> reports;
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(root_ / "prefs" / "crashes", none))
      reports.push_back(entry.path());
    return reports;
  }

  fs::path root_;
  fs::path scenes_;

 private:
  std::string prefix_;
};

// The JUnit file checked by xmllint against the schema kept beside the tests; false when xmllint is
// not installed (libxml2-utils), so that the test can say what it did not check.
inline bool ExpectValidJunit(const fs::path& file) {
  if (!OnPath("xmllint")) return false;
  const Outcome lint = Run(
      {{"xmllint", "--noout", "--schema", std::string(RELKIT_TESTS_DIR) + "/e2e/junit.xsd", file.string()}});
  EXPECT_EQ(lint.status, 0) << file << " does not satisfy the JUnit schema\n" << lint.err;
  return true;
}

}  // namespace e2e
