// zorhost as a user runs it: exit statuses and the one-line reasons for bad inputs, and a clean run
// of the real module.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "unit/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Zorhost : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    static const test_support::ScratchFolder parent("zorhost_e2e_");
    folder_ = parent.path() / info->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "prefs");
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs zorhost with --prefs in the test folder; arguments are passed single-quoted.
  Outcome zorhost(const std::vector<std::string>& arguments, bool with_prefs = true) {
    std::string command = std::string("'") + ZORHOST_PATH + "'";
    if (with_prefs) command += " --prefs '" + (folder_ / "prefs").string() + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    command +=
        " >'" + (folder_ / "out.txt").string() + "' 2>'" + (folder_ / "err.txt").string() + "' </dev/null";
    const int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = read_file(folder_ / "out.txt");
    run.err = read_file(folder_ / "err.txt");
    return run;
  }

  fs::path folder_;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(Zorhost, BadModulesAndOptionsAreNamedWithTheirExitStatus) {
  const std::string missing = (folder_ / "missing.zdl64").string();
  Outcome run = zorhost({"--module", missing});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(contains(run.err, missing) && contains(run.err, "no such file")) << run.err;

  const fs::path text = folder_ / "x.zdl64";
  std::ofstream(text) << "not a library\n";
  run = zorhost({"--module=" + text.string()});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(contains(run.err, text.string()) && contains(run.err, "not a loadable module")) << run.err;

  const std::string libm = "/lib/x86_64-linux-gnu/libm.so.6";
  if (fs::exists(libm)) {
    run = zorhost({"--module", libm});
    EXPECT_EQ(run.status, 3);
    EXPECT_TRUE(contains(run.err, libm) && contains(run.err, "zor_main")) << run.err;
  }

  run = zorhost({"--module", RELKIT_MODULE_PATH, "--host-version", "15000"});
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(contains(run.err, "host API version 15000 is too old for this module")) << run.err;

  run = zorhost({"--frobnicate"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zorhost: unknown option --frobnicate\n");

  run = zorhost({"--module"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(contains(run.err, "--module")) << run.err;

  run = zorhost({"--module", RELKIT_MODULE_PATH, "--headless", "--command", "No Such Command"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_TRUE(contains(run.err, "No Such Command")) << run.err;

  for (const char* help : {"--help", "-h"}) {
    run = zorhost({help}, false);
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_TRUE(contains(run.out, "--check-leaks")) << run.out;
    EXPECT_TRUE(contains(run.out, "-createdistribution")) << run.out;
  }
  run = zorhost({"--version"}, false);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("zorhost 1.0\nhost API version 16050\n", 0), 0u) << run.out;

  // the module answers -help with its usage, and then the argument is not a stray one
  run = zorhost({"--module", RELKIT_MODULE_PATH, "--headless", "-help"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "Renderator Options:")) << run.out;
  EXPECT_FALSE(contains(run.err, "was not used")) << run.err;
}

TEST_F(Zorhost, RealModuleRunsHeadlessAndCleanly) {
  Outcome run = zorhost({"--module", RELKIT_MODULE_PATH, "--headless", "--check-leaks", "--set",
                         "g_nexalRelkitTools=true", "--set", "g_noSuchVariable=1", "stray-argument"});
  // headless, an argument no module took is a usage error, named on the last line
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_TRUE(run.err.ends_with("zorhost: exit 2: no module took the argument 'stray-argument'\n"))
      << run.err;
  EXPECT_TRUE(contains(run.err, "zorhost: relkit.zdl64: command 1001198 Renderator")) << run.err;
  EXPECT_TRUE(contains(run.err, "zorhost: warning: argument 'stray-argument' was not used")) << run.err;
  EXPECT_TRUE(contains(run.err, "g_noSuchVariable")) << run.err;
  EXPECT_FALSE(contains(run.err, "leak")) << run.err;

  // without the tools switch the module loads but registers nothing, and a command asked for says
  // how to turn the switch on; with it on, an unknown command has no such hint
  run = zorhost({"--module", RELKIT_MODULE_PATH, "--headless"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(contains(run.err, "command 1001198")) << run.err;
  for (const bool on : {false, true}) {
    std::vector<std::string> args = {"--module", RELKIT_MODULE_PATH, "--headless", "--command", "Renderatr"};
    if (on) args.insert(args.end(), {"--set", "g_nexalRelkitTools=true"});
    run = zorhost(args);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(contains(run.err, "--set g_nexalRelkitTools=true"), !on) << run.err;
  }
  // headless without a UI script, the Renderator's settings dialog has nobody to answer it
  run = zorhost({"--module", RELKIT_MODULE_PATH, "--headless", "--set", "g_nexalRelkitTools=true",
                 "--command", "Renderator"});
  EXPECT_EQ(run.status, 5) << run.err;
  EXPECT_TRUE(contains(
      run.err,
      "zorhost: the dialog of command \"Renderator\" was opened in a headless run without a UI script "
      "(--ui FILE): refused\n"))
      << run.err;
  EXPECT_TRUE(
      contains(run.err, "zorhost: exit 5: the dialog of command \"Renderator\" had nobody to answer it"))
      << run.err;
}

TEST_F(Zorhost, ModulesAreFoundBelowTheStartupFolder) {
  fs::create_directories(folder_ / "startup" / "plugins" / "relkit");
  fs::create_symlink(RELKIT_MODULE_PATH, folder_ / "startup" / "plugins" / "relkit" / "relkit.zdl64");
  const Outcome run =
      zorhost({"--startup", (folder_ / "startup").string(), "--headless", "--set=g_nexalRelkitTools=1"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.err, "command 1001198 Renderator")) << run.err;
}

TEST_F(Zorhost, AFaultInAModuleIsReportedAndEndsTheProcessWithItsSignal) {
  Outcome run = zorhost({"--module", CRASHING_MODULE_PATH, "--headless"});
  EXPECT_EQ(run.status, 128 + SIGSEGV) << run.err;
  EXPECT_TRUE(contains(run.err, "crashed with SIGSEGV in ") && contains(run.err, "crashing_module.zdl64"))
      << run.err;

  std::vector<fs::path> reports;
  for (const auto& entry : fs::directory_iterator(folder_ / "prefs" / "crashes"))
    reports.push_back(entry.path());
  ASSERT_EQ(reports.size(), 1u);
  const std::string name = reports[0].filename().string();
  EXPECT_TRUE(name.size() > 20 && name.substr(name.size() - 4) == ".txt") << name;  // <time>-<pid>.txt
  EXPECT_TRUE(contains(run.err, reports[0].string())) << run.err;
  const std::string report = read_file(reports[0]);
  EXPECT_TRUE(contains(report, "signal: 11 (SIGSEGV)")) << report;
  EXPECT_TRUE(contains(report, "address: 0x0\n")) << report;  // the null pointer the module wrote to
  EXPECT_TRUE(contains(report, "module: ") && contains(report, "crashing_module.zdl64")) << report;
  EXPECT_TRUE(contains(report, "backtrace:\n")) << report;
}

// UI scripts a careless or hostile author wrote: each ends the run with the usage status and a line
// that names the file and the step, never with a crash, a hang or an "internal error", and the
// Renderator's settings dialog is never confirmed by them, so nothing is stored.
TEST_F(Zorhost, BadUiScriptsEndWithStatusTwoAndStoreNothing) {
  const fs::path script = folder_ / "ui.json";
  const fs::path stored = folder_ / "prefs" / "settings" / "1001198.json";
  const auto renderator = [&](const std::string& steps, int commands = 1) {
    std::ofstream(script, std::ios::trunc) << steps;
    std::vector<std::string> arguments = {"--module", RELKIT_MODULE_PATH, "--set", "g_nexalRelkitTools=true",
                                          "--ui",     script.string()};
    for (int i = 0; i < commands; ++i) arguments.insert(arguments.end(), {"--command", "Renderator"});
    return zorhost(arguments);
  };
  const std::string wrong_values[] = {
      R"([{"dialog": {"set": [[1000, 5]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1001, "/r"], [1005, "yes"]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1004, 77]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1004, -5]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1004, 4294967297]], "press": "ok"}}])",
      R"([{"dialog": {"set": [[1000, 1e400]], "press": "ok"}}])",
      // ids the dialog does not have: a typo must not pass for an answer
      R"([{"dialog": {"set": [[1001, "/r"], [1999, "/s"]], "press": "ok"}}])",
      R"([{"dialog": {"click": [1999], "press": "ok"}}])",
      // the settings dialog closes only by a button: a wait for it would never end
      R"([{"dialog": {"wait": true}}])",
      "[{\"dialog\": {\"set\": [[1000, " + std::string(100000, '[') + std::string(100000, ']') +
          "]], \"press\": \"ok\"}}]",
  };
  for (const std::string& steps : wrong_values) {
    // a second command would only meet a stopped script: it does not run
    const Outcome run = renderator(steps, 2);
    const std::string shown = steps.substr(0, 60);
    EXPECT_EQ(run.status, 2) << shown << "\n" << run.err;
    EXPECT_TRUE(contains(run.err, "UI script " + script.string() + ": ")) << run.err;
    EXPECT_TRUE(contains(run.err, "step 1") || contains(run.err, "line 1, column")) << run.err;
    EXPECT_FALSE(contains(run.err, "internal error") || contains(run.err, "has stopped")) << run.err;
    EXPECT_FALSE(fs::exists(stored)) << shown;
  }

  Outcome run = zorhost({"--headless", "--ui", folder_.string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "zorhost: UI script " + folder_.string() + ": is a folder, not a file\n");
  run = zorhost({"--headless", "--ui", (folder_ / "none.json").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(contains(run.err, "none.json: does not exist")) << run.err;

  // the same dialog answered well stores what it was given
  run = renderator(R"([{"dialog": {"set": [[1001, "/reference"], [1004, 2]], "press": "ok"}}])");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(read_file(stored), "/reference")) << read_file(stored);
}
