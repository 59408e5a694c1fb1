// An unattended run's exit status tells the truth: batch work that failed through a host service, or
// that told a user something in a message box nobody can read in a headless run, does not end with 0,
// and the last line on stderr names the cause.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace {

namespace fs = std::filesystem;

const char* kScene = R"({ "zor": 1, "renderSettings": { "5008": 8.0, "5009": 6.0, "5300": 1 },
  "videoPosts": [], "camera": { "position": [0, 2, -6], "target": [0, 0.8, 0], "fov": 40 },
  "lights": [ { "type": "point", "position": [4, 6, -4], "intensity": 40 } ],
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ] })";

struct Finished {
  int status = -1;
  std::string err;
  std::string last_line;  // the last line of stderr
};

// Runs args with stdout and stderr read through pipes, so that a file-size limit on the child does not
// cut what it says; limit 0: none.
Finished Spawn(std::vector<std::string> args, rlim_t limit) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    if (limit > 0) {
      const rlimit small{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &small);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  Finished run;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  for (int open = 2; open > 0;) {
    ::poll(fds, 2, -1);
    for (pollfd& p : fds) {
      if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(p.fd, buffer, sizeof buffer);
      if (n > 0) {
        if (p.fd == err[0]) run.err.append(buffer, static_cast<size_t>(n));
        continue;
      }
      ::close(p.fd);
      p.fd = -1;
      --open;
    }
  }
  run.status = e2e::WaitForProcess(pid);
  const std::vector<std::string> lines = e2e::Lines(run.err);
  if (!lines.empty()) run.last_line = lines.back();
  return run;
}

class ExitStatus : public e2e::RunFoldersTest {
 protected:
  ExitStatus() : RunFoldersTest("zorhost_exit_status_") {}

  void Scenes(int count) {
    for (int i = 0; i < count; ++i)
      std::ofstream(scenes_ / ("s" + std::to_string(100 + i) + ".zor")) << kScene;
  }
  // the build's GUI script, its symbol header and the SDK headers, as -createdistribution finds them
  void StartupContent() {
    const fs::path built = fs::path(ZORHOST_PATH).parent_path();
    fs::create_directories(Resource());
    for (const char* name : {"gui.tpn", "tarponsymbols.h"})
      fs::copy_file(built / "resource" / name, Resource() / name, fs::copy_options::overwrite_existing);
    fs::copy(built.parent_path() / "frameworks", root_ / "frameworks",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  fs::path Resource() const { return root_ / "startup" / "resource"; }
  fs::path Result() const { return scenes_ / (e2e::kResultPrefix + "1"); }

  Finished Host(const std::vector<std::string>& arguments, const nlohmann::json& ui = nullptr,
                rlim_t limit = 0) {
    std::vector<std::string> args = e2e::HostCommandLine(root_);
    args.push_back("--headless");
    if (!ui.is_null()) {
      std::ofstream(root_ / "ui.json") << ui.dump();
      args.insert(args.end(), {"--ui", (root_ / "ui.json").string()});
    }
    args.insert(args.end(), arguments.begin(), arguments.end());
    return Spawn(args, limit);
  }
};

TEST_F(ExitStatus, FailedBatchWorkEndsWithItsStatusAndItsCause) {
  const std::string scenes = scenes_.string();
  const std::string missing = (root_ / "no" / "such" / "folder").string();
  const std::string transcript = (root_ / "transcript.jsonl").string();
  const nlohmann::json acknowledged = nlohmann::json::array({{{"message", "Error creating resultdir"}}});
  const nlohmann::json misread = nlohmann::json::array({{{"message", "Error creating result folder"}}});
  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::vector<std::string> arguments;
    nlohmann::json ui;
    rlim_t limit;
    int status;
    // for 5 and 6 the start of stderr's last line, else a text stderr holds; empty: no check
    std::string said;
    std::function<void(const Finished&)> check = [](const Finished&) {};
  };
  const Case cases[] = {
      {"a message box nobody read",
       [] {},
       {"-renderator", missing},
       nullptr,
       0,
       5,
       "zorhost: exit 5: a message box had no reader: Error creating resultdir"},
      {"an acknowledged message box", [] {}, {"-renderator", missing}, acknowledged, 0, 0, ""},
      {"a message step with another text",
       [] {},
       {"-renderator", missing},
       misread,
       0,
       2,
       "zorhost: UI script " + (root_ / "ui.json").string() + ": step 1: expects the message box"},
      {"a message step that is no text",
       [] {},
       {"-renderator", missing},
       nlohmann::json::parse(R"([{"message": 3}])"),
       0,
       2,
       "zorhost: UI script " + (root_ / "ui.json").string() +
           ": step 1 {\"message\":3}: \"message\" must be"},
      // a failed service goes before an unread message box
      {"the transcript on a full disk",
       [] {},
       {"--transcript", "/dev/full", "-renderator", missing},
       nullptr,
       0,
       6,
       "zorhost: exit 6: cannot write the transcript /dev/full: No space left on device"},
      {"a symbol header that cannot be written",
       [&] {
         StartupContent();
         std::ofstream(Resource() / "gui.tpn") << "native menu_end();\n";
         fs::remove(Resource() / "tarponsymbols.h");
         fs::create_directory(Resource() / "tarponsymbols.h");
       },
       {"-createdistribution"},
       nullptr,
       0,
       6,
       "zorhost: exit 6: cannot write " + (Resource() / "tarponsymbols.h").string()},
      // images of 8 x 6 pixels fit in 2000 bytes, the report of 30 scenes does not
      {"a report that cannot be written in full",
       [&] { Scenes(30); },
       {"-renderator", scenes},
       nullptr,
       2000,
       6,
       "zorhost: exit 6: cannot write " + (Result() / "_result.txt").string() + ": File too large"},
      // the image (296 bytes) and the report fit, the transcript of the run does not
      {"a transcript past a file-size limit",
       [&] { Scenes(1); },
       {"--transcript", transcript, "-renderator", scenes},
       nullptr,
       310,
       6,
       "zorhost: exit 6: cannot write the transcript " + transcript + ": File too large",
       [&](const Finished&) {
         // what was kept of it is whole lines
         const std::string kept = e2e::ReadFile(transcript);
         ASSERT_FALSE(kept.empty());
         EXPECT_EQ(kept.back(), '\n');
         for (const std::string& line : e2e::Lines(kept))
           EXPECT_FALSE(nlohmann::json::parse(line, nullptr, false).is_discarded()) << line;
       }},
      {"a scene name a report line cannot hold",
       [&] {
         Scenes(1);
         std::ofstream(scenes_ / "b\n2 ERROR 0.1 forged.zor") << kScene;
       },
       {"-renderator", scenes},
       nullptr,
       0,
       6,
       "zorhost: exit 6: left out 1 file name a report line cannot hold",
       [&](const Finished& run) {
         // named with its control byte escaped, and no line of the report is forged
         EXPECT_NE(run.err.find("left out " + scenes + "/b\\x0A2 ERROR 0.1 forged.zor"), std::string::npos)
             << run.err;
         const std::vector<std::string> report = e2e::Lines(e2e::ReadFile(Result() / "_result.txt"));
         ASSERT_EQ(report.size(), 2u);
         EXPECT_EQ(e2e::Words(report[1]).at(1), "CREATED");
       }},
      {"a clean run", [&] { Scenes(2); }, {"-renderator", scenes}, nullptr, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(scenes_);
    fs::create_directories(scenes_);
    fs::remove_all(root_ / "startup");
    fs::create_directories(root_ / "startup");
    c.prepare();
    const Finished run = Host(c.arguments, c.ui, c.limit);
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.status >= 5) {
      EXPECT_EQ(run.last_line.substr(0, c.said.size()), c.said) << run.err;
    } else {
      EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    if (c.status == 0) {
      EXPECT_EQ(run.last_line.find("zorhost: exit"), std::string::npos) << run.err;
    }
    c.check(run);
  }
}

}  // namespace
