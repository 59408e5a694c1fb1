// zorhost as a user runs it: exit statuses and the one-line reasons for bad inputs, and a clean run
// of the real module.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"

namespace fs = std::filesystem;

namespace {

using e2e::Contains;

class Zorhost : public e2e::RunFoldersTest {
 protected:
  Zorhost() : RunFoldersTest("zorhost_e2e_") {}

  // zorhost with --prefs in the test folder and these arguments only
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
      {{"--module", missing}, 3, {missing + ": no such file"}, ""},
      {{"--module=" + text}, 3, {text + ": not a loadable module"}, ""},
      {{"--module", libm}, 3, {"zor_main"}, ""},
      {{"--module", module, "--host-version", "15000"},
       3,
       {"host API version 15000 is too old for this module"},
       ""},
      {{"--frobnicate"}, 2, {"zorhost: unknown option --frobnicate\n"}, ""},
      {{"--headless", "--ui", root_.string()},
       2,
       {"zorhost: UI script " + root_.string() + ": is a folder, not a file\n"},
       ""},
      // without the tools switch a command asked for says how to turn it on; with it on, no such hint
      {{"--module", module, "--headless", "--command", "Renderatr"},
       2,
       {"Renderatr", "--set g_nexalRelkitTools=true"},
       ""},
      {{"--module", module, "--headless", "--set", "g_nexalRelkitTools=true", "--command", "Renderatr"},
       2,
       {"Renderatr"},
       "--set g_nexalRelkitTools=true"},
      {{"--help"}, 0, {"--check-leaks", "-createdistribution"}, ""},
      {{"-h"}, 0, {"--check-leaks", "-createdistribution"}, ""},
      {{"--version"}, 0, {"zorhost 1.0\nhost API version 16050\n"}, ""},
      // the module answers -help with its usage, and then the argument is not a stray one
      {{"--module", module, "--headless", "-help"}, 0, {"Renderator Options:"}, "was not used"},
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
        EXPECT_TRUE(Contains(said, part)) << said;
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

  // without the tools switch the module loads but registers nothing
  run = Host({"--module", RELKIT_MODULE_PATH, "--headless"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(run.Complained("command 1001198")) << run.err;

  // headless without a UI script, the Renderator's settings dialog has nobody to answer it; a command
  // that returns is recorded, and nothing crashed
  const e2e::HostOutcome alone = e2e::RunHost(root_, {"--headless", "--command", "Renderator"});
  EXPECT_EQ(alone.status, 5) << alone.err;
  EXPECT_TRUE(
      alone.Complained("zorhost: the dialog of command \"Renderator\" was opened in a headless run "
                       "without a UI script (--ui FILE): refused\n"))
      << alone.err;
  EXPECT_TRUE(
      alone.Complained("zorhost: exit 5: the dialog of command \"Renderator\" had nobody to answer it"))
      << alone.err;
  EXPECT_TRUE(std::any_of(alone.transcript.begin(), alone.transcript.end(),
                          [](const nlohmann::json& e) { return e.value("event", "") == "command"; }));
  EXPECT_TRUE(CrashReports().empty());
}

TEST_F(Zorhost, ModulesAreFoundBelowTheStartupFolder) {
  fs::create_directories(root_ / "startup" / "plugins" / "relkit");
  fs::create_symlink(RELKIT_MODULE_PATH, root_ / "startup" / "plugins" / "relkit" / "relkit.zdl64");
  const e2e::Outcome run =
      Host({"--startup", (root_ / "startup").string(), "--headless", "--set=g_nexalRelkitTools=1"});
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
      R"([{"dialog": {"set": [[1004, 77]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1000, 1e400]], "press": "ok"}}])",
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
    EXPECT_TRUE(run.Complained("step 1") || run.Complained("line 1, column")) << run.err;
    EXPECT_FALSE(run.Complained("internal error") || run.Complained("has stopped")) << run.err;
    EXPECT_FALSE(fs::exists(stored));
  }

  // the same dialog answered well stores what it was given
  const e2e::Outcome run = e2e::RunHost(
      root_, {"--command", "Renderator"},
      nlohmann::json::parse(R"([{"dialog": {"set": [[1001, "/reference"], [1004, 2]], "press": "ok"}}])"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(e2e::ReadFile(stored), "/reference")) << e2e::ReadFile(stored);
}
