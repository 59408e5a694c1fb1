// A headless run logged with 2>&1 says how far it came once per scene: the progress is on the console
// (stdout) and stderr, not a terminal, keeps the status bar to itself; a run that ends early still
// names the scene it ended at.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* kScene = R"({ "zor": 1, "renderSettings": { "5008": 32.0, "5009": 24.0, "5300": 1 },
  "videoPosts": [], "camera": { "position": [0, 2, -6], "target": [0, 0.8, 0], "fov": 40 },
  "lights": [ { "type": "point", "position": [4, 6, -4], "intensity": 40 } ],
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ] })";

class HeadlessStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("headless_status_e2e_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "scenes");
    for (const char* name : {"a.zor", "b.zor", "c.zor"}) std::ofstream(root_ / "scenes" / name) << kScene;
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // zorhost's stdout and stderr in one log, for a headless Renderator run
  std::string run(const std::string& arguments) {
    const fs::path err = root_ / "err.txt";
    const std::string line = std::string(ZORHOST_PATH) + " --prefs '" + (root_ / "prefs").string() +
                             "' --module '" + RELKIT_MODULE_PATH +
                             "' --headless --set g_nexalRelkitTools=true -renderator " + arguments + " > '" +
                             err.string() + "' 2>&1";
    const int status = std::system(line.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << line;
    return read_file(err);
  }

  fs::path root_;
};

TEST_F(HeadlessStatus, ALogHasEverySceneOnceAndAnEarlyEndNamesItsScene) {
  const std::string scenes = "'" + (root_ / "scenes").string() + "'";
  const fs::path reference = root_ / "scenes" / "_renderator_16.050_1";
  const std::string build = run(scenes);
  const auto count = [](const std::string& log, const std::string& line) {
    size_t n = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(build, "[1/3 - 33%] Processing file a.zor...\n"), 1u) << build;
  EXPECT_EQ(count(build, "[3/3 - 100%] Processing file c.zor...\n"), 1u) << build;
  EXPECT_EQ(count(build, "[33%]"), 0u) << build;
  EXPECT_EQ(build.find('\r'), std::string::npos) << "no terminal, no line redrawn in place";

  // the reference image of the second scene is gone: the comparison ends there
  ASSERT_TRUE(fs::remove(reference / "0002.tif"));
  const std::string compare = run(scenes + " '" + reference.string() + "'");
  EXPECT_EQ(count(compare, "[2/3 - 66%] Comparing file b.zor...\n"), 1u) << compare;
  EXPECT_EQ(compare.find("[3/3"), std::string::npos) << compare;
}

}  // namespace
