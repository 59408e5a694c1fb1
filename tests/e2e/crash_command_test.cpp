// "Crash ZOR" in a real zorhost: the command is registered first, its write to address 0 kills the
// process with the hardware's fault, and the host's crash report names the module that faulted.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class CrashCommand : public e2e::RunFoldersTest {
 protected:
  CrashCommand() : RunFoldersTest("crash_command_e2e_") {}

  struct Run {
    int exit_status = -1;  // -1 when killed by a signal
    int signal = 0;
    std::string err;
  };

  Run zorhost(const std::vector<std::string>& arguments) {
    std::string line = std::string("'") + ZORHOST_PATH + "' --prefs '" + (root_ / "prefs").string() +
                       "' --module '" + RELKIT_MODULE_PATH + "' --headless --set g_nexalRelkitTools=true";
    for (const std::string& argument : arguments) line += " '" + argument + "'";
    // exec, so that the status is zorhost's own and not a shell's report of it
    line = "exec " + line + " >/dev/null 2>'" + (root_ / "err.txt").string() + "' </dev/null";
    const int raw = std::system(line.c_str());
    Run run;
    if (WIFEXITED(raw)) run.exit_status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) run.signal = WTERMSIG(raw);
    run.err = e2e::ReadFile(root_ / "err.txt");
    return run;
  }

  std::vector<fs::path> reports() const {
    std::vector<fs::path> found;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(root_ / "prefs" / "crashes", ignored)) {
      found.push_back(entry.path());
    }
    return found;
  }
};

}  // namespace

TEST_F(CrashCommand, CrashZorDiesOfTheFaultAndTheReportNamesTheModule) {
  // registered first of all the tools, and nothing crashes until it runs
  const std::string transcript = (root_ / "transcript.jsonl").string();
  Run quiet = zorhost({"--transcript", transcript, "--command", "Renderator"});
  // 5: headless, the Renderator's settings dialog had nobody to answer it
  EXPECT_EQ(quiet.exit_status, 5) << quiet.err;
  const size_t crash = quiet.err.find("relkit.zdl64: command 1022343 Crash ZOR");
  ASSERT_NE(crash, std::string::npos) << quiet.err;
  EXPECT_LT(crash, quiet.err.find("command 1001198 Renderator")) << quiet.err;
  EXPECT_TRUE(reports().empty());
  EXPECT_TRUE(contains(e2e::ReadFile(transcript), "\"event\":\"command\""))
      << "a command that returns is recorded";

  for (const char* command : {"Crash ZOR", "1022343"}) {
    fs::remove_all(root_ / "prefs" / "crashes");
    Run run = zorhost({"--transcript", transcript, "--command", command, "--command", "Renderator"});
    EXPECT_EQ(run.signal, SIGSEGV) << command << ": exit " << run.exit_status << "\n" << run.err;
    EXPECT_TRUE(contains(run.err, "zorhost: crashed with SIGSEGV in ") && contains(run.err, "relkit.zdl64"))
        << run.err;

    const std::vector<fs::path> written = reports();
    ASSERT_EQ(written.size(), 1u) << run.err;
    EXPECT_TRUE(contains(run.err, "crash report: " + written[0].string())) << run.err;
    const std::string report = e2e::ReadFile(written[0]);
    EXPECT_TRUE(contains(report, "signal: 11 (SIGSEGV)\n")) << report;
    EXPECT_TRUE(contains(report, "\naddress: 0x0\n")) << report;
    // the module line, not only the backtrace, names the module whose code faulted
    const size_t module = report.find("\nmodule: ");
    ASSERT_NE(module, std::string::npos) << report;
    const std::string module_line = report.substr(module + 1, report.find('\n', module + 1) - module - 1);
    EXPECT_TRUE(contains(module_line, "relkit.zdl64")) << report;
    // nothing after the fault ran: neither command came back
    EXPECT_FALSE(contains(e2e::ReadFile(transcript), "\"event\":\"command\"")) << e2e::ReadFile(transcript);
  }
}
