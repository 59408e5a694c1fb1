// zorhost -createdistribution on a copy of the build's start-up folder (the GUI script, its symbol
// header, and the SDK headers in the frameworks folder beside it).
#include "e2e/run_folders.h"

namespace {

class Distribution : public e2e::RunFoldersTest {
 protected:
  Distribution() : RunFoldersTest("zorhost_distribution_") {}

  void SetUp() override {
    RunFoldersTest::SetUp();
    const fs::path built = fs::path(ZORHOST_PATH).parent_path();
    fs::create_directories(Resource());
    for (const char* name : {"gui.tpn", "tarponsymbols.h"})
      fs::copy_file(built / "resource" / name, Resource() / name);
    fs::copy(built.parent_path() / "frameworks", root_ / "frameworks", fs::copy_options::recursive);
  }

  fs::path Resource() const { return root_ / "startup" / "resource"; }

  e2e::HostOutcome Run() { return e2e::RunHost(root_, {"--headless", "-createdistribution"}); }
};

TEST_F(Distribution, MakesBothFilesAndFailsWhereEitherCannotBeMade) {
  // an old compiled script is replaced
  std::ofstream(Resource() / "gui.tpb") << "stale";
  std::ofstream(root_ / "frameworks" / "orvane.framework" / "mark.h") << "#define E2E_MARK 42\n";
  e2e::HostOutcome run = Run();
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> console = e2e::Lines(run.out);
  ASSERT_GE(console.size(), 3u);
  EXPECT_EQ(console.front(), "Created gui.tpb");
  EXPECT_EQ(console.back(), "Created tarponsymbols.h");
  EXPECT_NE(e2e::ReadFile(Resource() / "gui.tpb"), "stale");
  const std::vector<std::string> header = e2e::Lines(e2e::ReadFile(Resource() / "tarponsymbols.h"));
  ASSERT_GE(header.size(), 3u);
  for (const char* line : {"ZOR_HOST_API_VERSION=16050,", "ZOR_ACTION_BIND=1,", "E2E_MARK=42,"})
    EXPECT_TRUE(std::find(header.begin(), header.end(), line) != header.end()) << line;
  // the count on the console is the number of symbol lines (the SDK has none of the never-written names)
  EXPECT_EQ(std::to_string(header.size() - 3) + " defines in files", console[console.size() - 2]);

  // a syntax error leaves no compiled script and is the run's failure, and the last line names the place
  std::ofstream(Resource() / "gui.tpn", std::ios::app) << "\nthis is ( not a script\n";
  run = Run();
  EXPECT_EQ(run.status, 6) << run.err;
  EXPECT_EQ(run.out, "Error: Compiling gui.tpb\n");
  EXPECT_TRUE(e2e::LastLine(run.err).starts_with("zorhost: exit 6: cannot compile " +
                                                 (Resource() / "gui.tpn").string() + ":"))
      << run.err;
  EXPECT_FALSE(fs::exists(Resource() / "gui.tpb"));

  // a folder in the header's place cannot be written (the script no longer includes it)
  std::ofstream(Resource() / "gui.tpn") << "native menu_end();\n";
  fs::remove(Resource() / "tarponsymbols.h");
  fs::create_directory(Resource() / "tarponsymbols.h");
  run = Run();
  EXPECT_EQ(run.status, 6) << run.err;
  EXPECT_EQ(run.out, "Created gui.tpb\nError: Creating tarponsymbols.h\n");
  EXPECT_TRUE(fs::is_directory(Resource() / "tarponsymbols.h")) << "the folder is not deleted";
  EXPECT_TRUE(e2e::LastLine(run.err).starts_with("zorhost: exit 6: cannot write " +
                                                 (Resource() / "tarponsymbols.h").string()))
      << run.err;
}

}  // namespace
