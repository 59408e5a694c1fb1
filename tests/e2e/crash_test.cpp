// Real faults in a real zorhost: in a module's start, in the "Crash ZOR" command, and where a scene run
// with --allow-faults asks for one. The process dies of the fault's own signal, and the one crash report
// in the prefs folder, named on stderr, says where and why.

#include "e2e/run_folders.h"

namespace {

class Crash : public e2e::RunFoldersTest {
 protected:
  Crash() : RunFoldersTest("crash_e2e_") {}

  // The one crash report of a run that died of SIGSEGV, checked for what every report says, or "".
  std::string OnlyReport(const e2e::Outcome& run, const std::string& module) {
    EXPECT_EQ(run.signal, SIGSEGV) << "exit " << run.status << "\n" << run.err;
    EXPECT_TRUE(run.Complained("zorhost: crashed with SIGSEGV in ") && run.Complained(module)) << run.err;
    const std::vector<fs::path> reports = CrashReports();
    if (reports.size() != 1) {
      ADD_FAILURE() << reports.size() << " crash reports\n" << run.err;
      return "";
    }
    const std::string name = reports[0].filename().string();
    EXPECT_TRUE(name.size() > 20 && name.ends_with(".txt")) << name;  // <time>-<pid>.txt
    EXPECT_TRUE(run.Complained("crash report: " + reports[0].string())) << run.err;
    const std::string report = e2e::ReadFile(reports[0]);
    // the module line, not only the backtrace, names the object whose code faulted
    const size_t at = report.find("\nmodule: ");
    EXPECT_TRUE(at != std::string::npos &&
                e2e::Contains(report.substr(at, report.find('\n', at + 1) - at), module))
        << report;
    fs::remove_all(root_ / "prefs" / "crashes");
    return report;
  }
};

TEST_F(Crash, AModuleThatFaultsDiesOfTheSignalAndTheReportNamesIt) {
  const e2e::Outcome start = e2e::Run({{ZORHOST_PATH, "--prefs", (root_ / "prefs").string(), "--module",
                                        CRASHING_MODULE_PATH, "--headless"}});
  OnlyReport(start, "crashing_module.zdl64");

  const e2e::HostOutcome run =
      e2e::RunHost(root_, {"--headless", "--command", "Crash ZOR", "--command", "Renderator"});
  OnlyReport(run, "relkit.zdl64");
  // nothing after the fault ran: neither command came back
  EXPECT_TRUE(run.Events("command").empty());
}

TEST_F(Crash, AFaultASceneAskedForNamesTheThreadTheSceneAndTheCause) {
  const struct {
    const char* place;
    const char* thread;
    const char* activity;
  } cases[] = {{"render", "render worker", "rendering "}, {"load", "main thread", "loading "}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.place);
    fs::remove_all(scenes_);
    WriteScene("a.zor", e2e::SmallScene());
    WriteScene("b.zor", e2e::SceneWithFaults({{"crash", c.place}}));
    const e2e::HostOutcome run =
        e2e::RunHost(root_, {"--headless", "--allow-faults", "-renderator", scenes_.string()});
    EXPECT_TRUE(run.Said("Processing file b.zor")) << run.out << "the crash comes with b.zor, not before";
    const std::string scene = (scenes_ / "b.zor").string();
    const std::string report = OnlyReport(run, "zorhost + 0x");
    for (const std::string& line :
         {std::string("thread: ") + c.thread + "\n", "activity: " + std::string(c.activity) + scene + "\n",
          "cause: the scene asked for this fault (faults.crash \"" + std::string(c.place) +
              "\", obeyed because of --allow-faults)\n"})
      EXPECT_TRUE(e2e::Contains(report, line)) << line << "\n" << report;
    EXPECT_FALSE(e2e::Contains(report, "crash check:")) << "the Renderator is no crash-checking run";
    EXPECT_TRUE(run.Complained("at address 0x0 (" + std::string(c.thread) + ", " + c.activity + scene +
                               ", a fault the scene asked for); crash report: "))
        << run.err;
  }
}

}  // namespace
