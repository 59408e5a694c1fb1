// The Renderator's files when the process is killed in the middle of a run.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"

namespace {

namespace fs = std::filesystem;

using e2e::Lines;
using e2e::ReadFile;
using e2e::Words;

class RenderatorFiles : public e2e::RunFoldersTest {
 protected:
  RenderatorFiles() : RunFoldersTest("renderator_files_") {}

  // Starts zorhost headless on a Renderator run; its output goes to out<tag>.txt and err<tag>.txt.
  pid_t Start(const std::string& scenes, const std::string& tag) {
    e2e::Command command{e2e::HostCommandLine(root_)};
    command.args.insert(command.args.end(), {"--headless", "-renderator", scenes});
    return e2e::Start(command, root_ / ("out" + tag + ".txt"), root_ / ("err" + tag + ".txt"));
  }
};

TEST_F(RenderatorFiles, AKilledRunLeavesEveryFileWholeAndTheReportComplete) {
  constexpr int kScenes = 1000;
  for (int i = 0; i < kScenes; ++i)  // small enough that a run of hundreds takes seconds
    WriteScene("s" + std::to_string(10000 + i) + ".zor", e2e::SmallScene(8, 6));
  const pid_t host = Start(scenes_.string(), "1");
  const fs::path report = Result(1) / "_result.txt";
  // kill it in the middle: once the report shows 40 scenes done
  int done = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (done < 40 && std::chrono::steady_clock::now() < end) {
    const std::string text = ReadFile(report);
    done = int(e2e::Count(text, "CREATED"));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(host, SIGKILL);
  const int status = e2e::Wait(host);
  ASSERT_EQ(status, 128 + SIGKILL) << "the run ended before it could be killed: "
                                   << ReadFile(root_ / "err1.txt");

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
      EXPECT_TRUE(e2e::Contains(name, ".zorhost-tmp")) << name;
      continue;
    }
    if (entry.path().extension() != ".tif") continue;
    ++images;
    EXPECT_EQ(e2e::TiffSize(entry.path()), (std::pair<uint32_t, uint32_t>{8, 6})) << name;
  }
  EXPECT_GE(images, created);
  std::printf("killed after %d of %d scenes; %d images on disk\n", created, kScenes, images);
}

}  // namespace
