// zorhost as a user runs it: exit statuses and the one-line reasons for bad inputs, and a clean run
// of the real module.

#include <functional>

#include "e2e/run_folders.h"

namespace {

class Zorhost : public e2e::RunFoldersTest {
 protected:
  Zorhost() : RunFoldersTest("zorhost_e2e_") {}

  e2e::Outcome Host(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = {ZORHOST_PATH, "--prefs", (root_ / "prefs").string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    return e2e::Run({args});
  }
};

}  // namespace

TEST_F(Zorhost, EveryOutcomeHasItsExitStatusAndItsWords) {
  const std::string missing = (root_ / "missing.zdl64").string();
  const std::string text = (root_ / "x.zdl64").string();
  std::ofstream(text) << "not a library\n";
  const std::string module = RELKIT_MODULE_PATH;
  const std::string libm = "/lib/x86_64-linux-gnu/libm.so.6";
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> said;  // on stderr, or on stdout for status 0
    std::string absent;             // from stderr; empty: no check
  } cases[] = {
      {e2e::Args("--module", missing), 3, e2e::Args(missing + ": no such file"), ""},
      {e2e::Args("--module=" + text), 3, e2e::Args(text + ": not a loadable module"), ""},
      {e2e::Args("--module", libm), 3, e2e::Args("zor_main"), ""},
      {e2e::Args("--module", module, "--host-version", "15000"), 3,
       e2e::Args("host API version 15000 is too old for this module"), ""},
      {e2e::Args("--frobnicate"), 2, e2e::Args("zorhost: unknown option --frobnicate\n"), ""},
      {e2e::Args("--headless", "--ui", root_), 2,
       e2e::Args("zorhost: UI script " + root_.string() + ": is a folder, not a file\n"), ""},
      // without the tools switch a command asked for says how to turn it on; with it on, no such hint
      {e2e::Args("--module", module, "--headless", "--command", "Renderatr"), 2,
       e2e::Args("Renderatr", "--set g_nexalRelkitTools=true"), ""},
      {e2e::Args("--module", module, "--headless", "--set", "g_nexalRelkitTools=true", "--command",
                 "Renderatr"),
       2, e2e::Args("Renderatr"), "--set g_nexalRelkitTools=true"},
      // nobody at a terminal and nothing to answer dialogs: said, not waited for
      {e2e::Args("--module", module, "--command", "Renderator"), 2,
       e2e::Args("no driver answers dialogs", "--ui FILE", "--ui-server"), ""},
      {e2e::Args("--ui-server", "0", "--headless"), 2, e2e::Args("cannot be combined with --headless"), ""},
      {e2e::Args("--ui-server", "localhost:65536"), 2, e2e::Args("port from 0 to 65535"), ""},
      {e2e::Args("--help"), 0, e2e::Args("--check-leaks", "-createdistribution"), ""},
      {e2e::Args("--version"), 0, e2e::Args("zorhost 1.0\nhost API version 16050\n"), ""},
      // the module answers -help with its usage, and then the argument is not a stray one
      {e2e::Args("--module", module, "--headless", "-help"), 0, e2e::Args("Renderator Options:"),
       "was not used"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    if (c.arguments.back() == libm && !fs::exists(libm)) continue;
    const e2e::Outcome run = Host(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::string& said = c.status == 0 ? run.out : run.err;
    for (const std::string& part : c.said) {
      // a reason that ends its line is all of stderr; a version, the start of stdout
      if (part.ends_with('\n')) {
        EXPECT_EQ(said.substr(0, c.status == 0 ? part.size() : std::string::npos), part);
      } else {
        EXPECT_TRUE(e2e::Contains(said, part)) << said;
      }
    }
    if (!c.absent.empty()) {
      EXPECT_FALSE(run.Complained(c.absent)) << run.err;
    }
  }
}

TEST_F(Zorhost, RealModuleRunsHeadlessAndCleanly) {
  e2e::Outcome run = Host({"--module", RELKIT_MODULE_PATH, "--headless", "--check-leaks", "--set",
                           "g_nexalRelkitTools=true", "--set", "g_noSuchVariable=1", "stray-argument"});
  // headless, an argument no module took is a usage error, named on the last line
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_TRUE(run.err.ends_with("zorhost: exit 2: no module took the argument 'stray-argument'\n"))
      << run.err;
  EXPECT_TRUE(run.Complained("zorhost: warning: argument 'stray-argument' was not used")) << run.err;
  EXPECT_TRUE(run.Complained("g_noSuchVariable")) << run.err;
  EXPECT_FALSE(run.Complained("leak")) << run.err;
  // "Crash ZOR" is registered first of all the tools
  const size_t crash = run.err.find("zorhost: relkit.zdl64: command 1022343 Crash ZOR");
  EXPECT_LT(crash, run.err.find("zorhost: relkit.zdl64: command 1001198 Renderator")) << run.err;

  // headless without a UI script, the Renderator's settings dialog has nobody to answer it; a command
  // that returns is recorded, and nothing crashed
  const e2e::HostOutcome alone = e2e::RunHost(root_, {"--headless", "--command", "Renderator"});
  EXPECT_EQ(alone.status, 5) << alone.err;
  EXPECT_TRUE(alone.Complained("opened in a headless run without a UI script (--ui FILE): refused\n"))
      << alone.err;
  EXPECT_TRUE(alone.Complained("exit 5: the dialog of command \"Renderator\" had nobody to answer it"))
      << alone.err;
  EXPECT_FALSE(alone.Events("command").empty());
  EXPECT_TRUE(CrashReports().empty());

  // modules are found below the start-up folder
  fs::create_directories(root_ / "startup" / "plugins" / "relkit");
  fs::create_symlink(RELKIT_MODULE_PATH, root_ / "startup" / "plugins" / "relkit" / "relkit.zdl64");
  run = Host({"--startup", (root_ / "startup").string(), "--headless", "--set=g_nexalRelkitTools=1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.Complained("command 1001198 Renderator")) << run.err;
}

// UI scripts a careless or hostile author wrote: each ends the run with the usage status and a line
// that names the file and the step, never with a crash or an "internal error", and the Renderator's
// settings dialog is never confirmed by them, so nothing is stored. (What each wrong value is called
// is the UI script's own unit tests' matter.)
TEST_F(Zorhost, BadUiScriptsEndWithStatusTwoAndStoreNothing) {
  const fs::path stored = root_ / "prefs" / "settings" / "1001198.json";
  const char* wrong_values[] = {
      // ids the dialog does not have: a typo must not pass for an answer
      R"([{"dialog": {"set": [[1001, "/r"], [1999, "/s"]], "press": "ok"}}])",
      R"([{"dialog": {"click": [1999], "press": "ok"}}])",
  };
  for (const char* steps : wrong_values) {
    SCOPED_TRACE(steps);
    // a second command would only meet a stopped script: it does not run
    const e2e::Outcome run =
        e2e::RunHost(root_, {"--command", "Renderator", "--command", "Renderator"}, steps);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_TRUE(run.Complained("UI script " + (root_ / "ui").string())) << run.err;
    EXPECT_TRUE(run.Complained("step 1: ") && run.Complained(": has no gadget 1999")) << run.err;
    EXPECT_FALSE(run.Complained("internal error") || run.Complained("has stopped")) << run.err;
    EXPECT_FALSE(fs::exists(stored));
  }

  // the same dialog answered well stores what it was given
  const e2e::Outcome run = e2e::RunHost(
      root_, {"--command", "Renderator"},
      nlohmann::json::parse(R"([{"dialog": {"set": [[1001, "/reference"], [1004, 2]], "press": "ok"}}])"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(e2e::Contains(e2e::ReadFile(stored), "/reference")) << e2e::ReadFile(stored);
}

// An unattended run's exit status tells the truth: batch work that failed through a host service, or
// that told a user something in a message box nobody can read in a headless run, does not end with 0,
// and the last line on stderr names the cause.
TEST_F(Zorhost, FailedBatchWorkEndsWithItsStatusAndItsCause) {
  const auto names = [](int count, std::vector<std::string> also = {}) {
    for (int i = 0; i < count; ++i) also.push_back("s" + std::to_string(100 + i) + ".zor");
    return also;
  };
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
  const json unread = nullptr;
  const auto message = [](const json& text) { return json::array({{{"message", text}}}); };
  const auto lines_whole = [&](const e2e::Outcome&) {
    // what was kept of the transcript is whole lines
    const std::string kept = e2e::ReadFile(transcript);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), '\n');
    for (const std::string& line : e2e::Lines(kept))
      EXPECT_FALSE(json::parse(line, nullptr, false).is_discarded()) << line;
  };
  const auto not_forged = [&](const e2e::Outcome& run) {
    // named with its control byte escaped, and no line of the report is forged
    EXPECT_TRUE(run.Complained("left out " + scenes + "/b\\x0A2 ERROR 0.1 forged.zor")) << run.err;
    const std::vector<std::string> lines = e2e::Lines(e2e::ReadFile(report));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(e2e::Words(lines[1]).at(1), "CREATED");
  };
  const Case cases[] = {
      {"a message box nobody read", names(0), e2e::Args("-renderator", missing), unread, 0, 5,
       "zorhost: exit 5: a message box had no reader: Error creating resultdir"},
      {"an acknowledged message box", names(0), e2e::Args("-renderator", missing),
       message("Error creating resultdir"), 0, 0, ""},
      {"a message step with another text", names(0), e2e::Args("-renderator", missing),
       message("Error creating result folder"), 0, 2, ": step 1: expects the message box"},
      // a failed service goes before an unread message box
      {"the transcript on a full disk", names(0),
       e2e::Args("--transcript", "/dev/full", "-renderator", missing), unread, 0, 6,
       "zorhost: exit 6: cannot write the transcript /dev/full: No space left on device"},
      // images of 8 x 6 pixels fit in 2000 bytes, the report of 30 scenes does not
      {"a report that cannot be written in full", names(30), e2e::Args("-renderator", scenes), unread, 2000,
       6, "zorhost: exit 6: cannot write " + report + ": File too large"},
      // the image (296 bytes) and the report fit, the transcript of the run does not
      {"a transcript past a file-size limit", names(1),
       e2e::Args("--transcript", transcript, "-renderator", scenes), unread, 310, 6,
       "zorhost: exit 6: cannot write the transcript " + transcript + ": File too large", lines_whole},
      {"a scene name a report line cannot hold", names(1, {"b\n2 ERROR 0.1 forged.zor"}),
       e2e::Args("-renderator", scenes), unread, 0, 6,
       "zorhost: exit 6: left out 1 file name a report line cannot hold", not_forged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(scenes_);
    for (const std::string& name : c.scenes) WriteScene(name, e2e::SmallScene(8, 6));
    std::vector<std::string> arguments = {"--headless"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const e2e::Outcome run = e2e::RunHost(root_, arguments, c.ui, c.limit);
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::string last = e2e::LastLine(run.err);
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
