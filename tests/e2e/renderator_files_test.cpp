// The Renderator's files when the process is killed in the middle of a run.

#include <cstdio>

#include "e2e/run_folders.h"

namespace {

class RenderatorFiles : public e2e::RunFoldersTest {
 protected:
  RenderatorFiles() : RunFoldersTest("renderator_files_") {}
};

TEST_F(RenderatorFiles, AKilledRunLeavesEveryFileWholeAndTheReportComplete) {
  constexpr int kScenes = 1000;
  for (int i = 0; i < kScenes; ++i)  // small enough that a run of hundreds takes seconds
    WriteScene("s" + std::to_string(10000 + i) + ".zor", e2e::SmallScene(8, 6));
  e2e::Command command{e2e::HostCommandLine(root_)};
  command.args.insert(command.args.end(), {"--headless", "-renderator", scenes_.string()});
  const pid_t host = e2e::Start(command, root_ / "out1.txt", root_ / "err1.txt");
  const fs::path report = Result(1) / "_result.txt";
  // kill it in the middle: once the report shows 40 scenes done
  for (int i = 0; i < 60000 && e2e::Count(e2e::ReadFile(report), "CREATED") < 40; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(host, SIGKILL);
  ASSERT_EQ(e2e::Wait(host), 128 + SIGKILL)
      << "the run ended before it could be killed: " << e2e::ReadFile(root_ / "err1.txt");

  // the report is one of the reports the run wrote in full: the header and a line for every scene
  const std::string text = e2e::ReadFile(report);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = e2e::Lines(text);
  ASSERT_EQ(lines.size(), size_t(kScenes) + 1);
  EXPECT_EQ(e2e::Words(lines[0]).at(1), "Status");
  int created = 0;
  for (int i = 1; i <= kScenes; ++i) {
    const std::vector<std::string> words = e2e::Words(lines[i]);
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
