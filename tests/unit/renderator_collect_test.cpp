// Scene collection over folders that links make hostile: loops, a folder reachable twice, a link met
// before the folder it points to. Every scene is collected once, under its own path, and every link
// passed over is named.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/host_table.h"
#include "renderator/renderator_run.h"
#include "scratch_folder.h"
#include "with_host.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;

class RenderatorCollect : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(list_.Allocate()); }
  void TearDown() override { list_.Release(); }

  void Scene(const fs::path& relative) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "{}";
  }
  void Link(const fs::path& relative, const fs::path& target) {
    fs::create_directories((root_ / relative).parent_path());
    fs::create_directory_symlink(target, root_ / relative);
  }

  // the collected paths relative to the root, sorted, and what the collection printed
  std::pair<std::vector<std::string>, std::string> Collect(const fs::path& folder) {
    testing::internal::CaptureStdout();
    CollectScenes(Filename(folder.c_str()), list_);
    std::fflush(stdout);
    const std::string printed = testing::internal::GetCapturedStdout();
    std::vector<std::string> found;
    for (int32_t i = 0; i < list_.GetCount(); ++i)
      found.push_back(fs::path(list_[i].file.GetString().ToUtf8()).lexically_relative(root_).string());
    std::sort(found.begin(), found.end());
    return {found, printed};
  }

  test_support::WithHost host_{test_support::RealHostTable()};
  test_support::ScratchFolder scratch_;
  const fs::path root_ = scratch_.path();
  ResultList list_;
};

TEST_F(RenderatorCollect, LinksNeverLeadToAFolderTwice) {
  Scene("loop/a.zor");
  Link("loop/self", ".");
  Link("loop/up", "../loop");
  Scene("loop/sub/b.zor");
  Link("loop/sub/back", "..");
  // listed before the folder it points to, and pointing down a level: the real path wins
  Link("loop/a_first", "sub");
  // a folder outside, reached only through a link (twice): collected once, through the first link
  Scene("outside/c.zor");
  Link("loop/sub/out1", "../../outside");
  Link("loop/sub/out2", "../../outside");
  Link("loop/dangling", "../nowhere");

  const auto [found, printed] = Collect(root_ / "loop");
  ASSERT_EQ(found.size(), 3u) << printed;
  EXPECT_EQ(found[0], "loop/a.zor");
  EXPECT_EQ(found[1], "loop/sub/b.zor");
  EXPECT_TRUE(found[2] == "loop/sub/out1/c.zor" || found[2] == "loop/sub/out2/c.zor") << found[2];
  for (const char* link : {"loop/self", "loop/up", "loop/a_first", "loop/sub/back"}) {
    EXPECT_NE(printed.find("Skipped link " + (root_ / link).string() + ": folder already visited"),
              std::string::npos)
        << link << "\n"
        << printed;
  }
  EXPECT_EQ(printed.find("dangling"), std::string::npos) << "a dangling link is no folder: " << printed;
}

TEST_F(RenderatorCollect, AFolderThatCannotBeListedIsNamed) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions are not enforced for root";
  Scene("scenes/a.zor");
  Scene("scenes/locked/b.zor");
  fs::permissions(root_ / "scenes/locked", fs::perms::none);
  testing::internal::CaptureStderr();
  const auto [found, printed] = Collect(root_ / "scenes");
  const std::string said = testing::internal::GetCapturedStderr();
  fs::permissions(root_ / "scenes/locked", fs::perms::owner_all);
  EXPECT_EQ(found, std::vector<std::string>{"scenes/a.zor"});
  EXPECT_NE(printed.find("Skipped folder " + (root_ / "scenes/locked").string() + ": it cannot be listed"),
            std::string::npos)
      << printed;
  EXPECT_NE(said.find("Permission denied"), std::string::npos) << said;
}

}  // namespace
