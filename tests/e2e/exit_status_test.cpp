// An unattended run's exit status tells the truth: batch work that failed through a host service, or
// that told a user something in a message box nobody can read in a headless run, does not end with 0,
// and the last line on stderr names the cause.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ExitStatus : public e2e::RunFoldersTest {
 protected:
  ExitStatus() : RunFoldersTest("zorhost_exit_status_") {}

  // the names of count scenes
  static std::vector<std::string> Scenes(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("s" + std::to_string(100 + i) + ".zor");
    return names;
  }
};

TEST_F(ExitStatus, FailedBatchWorkEndsWithItsStatusAndItsCause) {
  const std::string scenes = scenes_.string();
  const std::string missing = (root_ / "no" / "such" / "folder").string();
  const std::string transcript = (root_ / "transcript.jsonl").string();
  const std::string report = (Result(1) / "_result.txt").string();
  struct Case {
    const char* what;
    std::vector<std::string> scenes;  // small scenes in the scene folder
    std::vector<std::string> arguments;
    json ui;
    rlim_t limit;
    int status;
    // for 5 and 6 the start of stderr's last line, else a text stderr holds; empty: no check
    std::string said;
    std::function<void(const e2e::Outcome&)> check = nullptr;
  };
  const Case cases[] = {
      {"a message box nobody read",
       {},
       {"-renderator", missing},
       nullptr,
       0,
       5,
       "zorhost: exit 5: a message box had no reader: Error creating resultdir"},
      {"an acknowledged message box",
       {},
       {"-renderator", missing},
       json::array({{{"message", "Error creating resultdir"}}}),
       0,
       0,
       ""},
      {"a message step with another text",
       {},
       {"-renderator", missing},
       json::array({{{"message", "Error creating result folder"}}}),
       0,
       2,
       ": step 1: expects the message box"},
      {"a message step that is no text",
       {},
       {"-renderator", missing},
       json::array({{{"message", 3}}}),
       0,
       2,
       ": step 1 {\"message\":3}: \"message\" must be"},
      // a failed service goes before an unread message box
      {"the transcript on a full disk",
       {},
       {"--transcript", "/dev/full", "-renderator", missing},
       nullptr,
       0,
       6,
       "zorhost: exit 6: cannot write the transcript /dev/full: No space left on device"},
      // images of 8 x 6 pixels fit in 2000 bytes, the report of 30 scenes does not
      {"a report that cannot be written in full",
       Scenes(30),
       {"-renderator", scenes},
       nullptr,
       2000,
       6,
       "zorhost: exit 6: cannot write " + report + ": File too large"},
      // the image (296 bytes) and the report fit, the transcript of the run does not
      {"a transcript past a file-size limit",
       Scenes(1),
       {"--transcript", transcript, "-renderator", scenes},
       nullptr,
       310,
       6,
       "zorhost: exit 6: cannot write the transcript " + transcript + ": File too large",
       [&](const e2e::Outcome&) {
         // what was kept of it is whole lines
         const std::string kept = e2e::ReadFile(transcript);
         ASSERT_FALSE(kept.empty());
         EXPECT_EQ(kept.back(), '\n');
         for (const std::string& line : e2e::Lines(kept))
           EXPECT_FALSE(json::parse(line, nullptr, false).is_discarded()) << line;
       }},
      {"a scene name a report line cannot hold",
       {"s100.zor", "b\n2 ERROR 0.1 forged.zor"},
       {"-renderator", scenes},
       nullptr,
       0,
       6,
       "zorhost: exit 6: left out 1 file name a report line cannot hold",
       [&](const e2e::Outcome& run) {
         // named with its control byte escaped, and no line of the report is forged
         EXPECT_TRUE(run.Complained("left out " + scenes + "/b\\x0A2 ERROR 0.1 forged.zor")) << run.err;
         const std::vector<std::string> lines = e2e::Lines(e2e::ReadFile(report));
         ASSERT_EQ(lines.size(), 2u);
         EXPECT_EQ(e2e::Words(lines[1]).at(1), "CREATED");
       }},
      {"a clean run", Scenes(2), {"-renderator", scenes}, nullptr, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(scenes_);
    for (const std::string& name : c.scenes) WriteScene(name, e2e::SmallScene(8, 6));
    std::vector<std::string> arguments = {"--headless"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const e2e::Outcome run = e2e::RunHost(root_, arguments, c.ui, c.limit);
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::vector<std::string> said = e2e::Lines(run.err);
    const std::string last = said.empty() ? "" : said.back();
    if (c.status >= 5) {
      EXPECT_EQ(last.substr(0, c.said.size()), c.said) << run.err;
    } else {
      EXPECT_TRUE(run.Complained(c.said)) << run.err;
    }
    if (c.status == 0) {
      EXPECT_FALSE(e2e::Contains(last, "zorhost: exit")) << run.err;
    }
    if (c.check) c.check(run);
  }
}

}  // namespace
