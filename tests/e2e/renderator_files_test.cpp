// The Renderator's files and folders against what goes wrong around a run: the process killed in the
// middle, scene folders that links make endless, a result folder that cannot be made.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace {

namespace fs = std::filesystem;

using e2e::kResultPrefix;
using e2e::Lines;
using e2e::ReadFile;
using e2e::Words;

// A scene small enough that a run of hundreds takes seconds.
const char* kTinyScene = R"({ "zor": 1, "renderSettings": { "5008": 8.0, "5009": 6.0, "5300": 1 },
  "camera": { "position": [0, 2, -6], "target": [0, 0, 0], "fov": 40 },
  "lights": [ { "type": "point", "position": [4, 6, -4], "color": [1, 1, 1], "intensity": 40 } ],
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ] })";

class RenderatorFiles : public e2e::RunFoldersTest {
 protected:
  RenderatorFiles() : RunFoldersTest("renderator_files_") {}

  // Starts zorhost headless on a Renderator run; its output goes to out<tag>.txt and err<tag>.txt.
  pid_t Start(const std::vector<std::string>& runArgs, const std::string& tag) {
    std::vector<std::string> args = e2e::HostCommandLine(root_);
    args.insert(args.end(), {"--headless", "-renderator"});
    args.insert(args.end(), runArgs.begin(), runArgs.end());
    return e2e::SpawnProcess(args, root_ / ("out" + tag + ".txt"), root_ / ("err" + tag + ".txt"));
  }
  static int Wait(pid_t pid) { return e2e::WaitForProcess(pid); }
  // waits at most seconds, then kills
  static int WaitOrKill(pid_t pid, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string Out(const std::string& tag) { return ReadFile(root_ / ("out" + tag + ".txt")); }
  std::string Err(const std::string& tag) { return ReadFile(root_ / ("err" + tag + ".txt")); }

  void WriteScenes(const fs::path& folder, int count) {
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i)
      std::ofstream(folder / ("s" + std::to_string(10000 + i) + ".zor")) << kTinyScene;
  }
  fs::path Result(int n) const { return scenes_ / (kResultPrefix + std::to_string(n)); }
};

TEST_F(RenderatorFiles, AKilledRunLeavesEveryFileWholeAndTheReportComplete) {
  constexpr int kScenes = 1000;
  WriteScenes(scenes_, kScenes);
  const pid_t host = Start({scenes_.string()}, "1");
  const fs::path report = Result(1) / "_result.txt";
  // kill it in the middle: once the report shows 40 scenes done
  int done = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (done < 40 && std::chrono::steady_clock::now() < end) {
    const std::string text = ReadFile(report);
    done = 0;
    for (size_t at = text.find("CREATED"); at != std::string::npos; at = text.find("CREATED", at + 1)) ++done;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(host, SIGKILL);
  const int status = Wait(host);
  ASSERT_EQ(status, 128 + SIGKILL) << "the run ended before it could be killed: " << Err("1");

  // the report is one of the reports the run wrote in full: the header and a line for every scene
  const std::string text = ReadFile(report);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), size_t(kScenes) + 1);
  EXPECT_EQ(Words(lines[0]).at(1), "Status");
  int created = 0;
  for (int i = 1; i <= kScenes; ++i) {
    const std::vector<std::string> words = Words(lines[i]);
    ASSERT_GE(words.size(), 4u) << lines[i];
    EXPECT_EQ(words[0], std::to_string(i));
    EXPECT_TRUE(words[1] == "CREATED" || words[1] == "PENDING") << lines[i];
    if (words[1] == "CREATED") {
      ++created;
      EXPECT_EQ(words.back(), (scenes_ / ("s" + std::to_string(10000 + i - 1) + ".zor")).string());
    }
  }
  EXPECT_GE(created, 40);
  // every image under its final name is whole; a temporary may remain of the write in progress
  int images = 0;
  for (const auto& entry : fs::directory_iterator(Result(1))) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.') {
      EXPECT_NE(name.find(".zorhost-tmp"), std::string::npos) << name;
      continue;
    }
    if (entry.path().extension() != ".tif") continue;
    ++images;
    TIFF* tif = TIFFOpen(entry.path().c_str(), "r");
    ASSERT_NE(tif, nullptr) << name;
    std::vector<uint32_t> raster(8 * 6);
    EXPECT_EQ(TIFFReadRGBAImage(tif, 8, 6, raster.data(), 0), 1) << name;
    TIFFClose(tif);
  }
  EXPECT_GE(images, created);
  std::printf("killed after %d of %d scenes; %d images on disk\n", created, kScenes, images);
}

TEST_F(RenderatorFiles, HostileFoldersEndWithAnAnswer) {
  // a folder that links make endless: each scene once, each loop named
  WriteScenes(scenes_ / "loop", 1);
  fs::create_directory_symlink(".", scenes_ / "loop" / "self");
  fs::create_directory_symlink("../loop", scenes_ / "loop" / "up");
  const int status = WaitOrKill(Start({(scenes_ / "loop").string()}, "loop"), 60);
  ASSERT_EQ(status, 0) << "still running after a minute, or failed: " << Err("loop");
  const fs::path result = scenes_ / "loop" / (kResultPrefix + "1");
  EXPECT_EQ(Lines(ReadFile(result / "_result.txt")).size(), 2u);
  const std::string out = Out("loop");
  EXPECT_NE(out.find("Skipped link " + (scenes_ / "loop" / "self").string() + ": folder already visited"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Skipped link " + (scenes_ / "loop" / "up").string() + ": folder already visited"),
            std::string::npos)
      << out;

  // a result folder that cannot be made: the module's message and the host's reason; a headless run
  // in which nobody read the message fails
  std::ofstream(root_ / "file") << "not a folder";
  EXPECT_EQ(WaitOrKill(Start({(root_ / "file" / "scenes").string()}, "nofolder"), 60), 5);
  const std::string err = Err("nofolder");
  EXPECT_NE(err.find("MessageBox: Error creating resultdir"), std::string::npos) << err;
  EXPECT_NE(err.find("cannot create folder " + (root_ / "file" / "scenes" / (kResultPrefix + "1")).string() +
                     ": Not a directory"),
            std::string::npos)
      << err;
}

}  // namespace
