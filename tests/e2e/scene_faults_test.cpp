// Scene faults end to end: zorhost renders scenes for the real module (the Renderator's command line)
// and, with --allow-faults, really crashes where a scene asks for it. The crash report in the prefs
// folder and the one stderr line name the fault, the thread, the scene and that the scene asked for it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string SceneWithFaults(const std::string& faults) {
  return R"({ "zor": 1, "renderSettings": { "5008": 64.0, "5009": 48.0, "5300": 0 },
  "camera": { "position": [0, 2, -6], "target": [0, 0.8, 0] },
  "lights": [ { "position": [4, 6, -4], "intensity": 40 } ],
  "objects": [ { "type": "sphere", "center": [0, 1, 0], "radius": 1 } ],
  "faults": )" +
         faults + " }";
}

struct HostRun {
  int status = -1;  // the exit status, or 128 + the signal that killed it
  std::string out;
  std::string err;
  double seconds = 0;
};

class SceneFaults : public e2e::RunFoldersTest {
 protected:
  SceneFaults() : RunFoldersTest("scene_faults_e2e_") {}

  HostRun Renderator(bool allow_faults) {
    const fs::path out = root_ / "out.txt", err = root_ / "err.txt";
    std::string line = Quote(ZORHOST_PATH) + " --startup " + Quote((root_ / "startup").string()) +
                       " --prefs " + Quote((root_ / "prefs").string()) + " --module " +
                       Quote(RELKIT_MODULE_PATH) + " --set g_nexalRelkitTools=true --headless" +
                       (allow_faults ? " --allow-faults" : "") + " -renderator " + Quote(scenes_.string()) +
                       " > " + Quote(out.string()) + " 2> " + Quote(err.string());
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system(line.c_str());
    HostRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = e2e::ReadFile(out);
    run.err = e2e::ReadFile(err);
    return run;
  }

  std::vector<fs::path> CrashReports() const {
    std::vector<fs::path> reports;
    if (!fs::exists(root_ / "prefs" / "crashes")) return reports;
    for (const auto& entry : fs::directory_iterator(root_ / "prefs" / "crashes"))
      reports.push_back(entry.path());
    return reports;
  }

  void Write(const std::string& name, const std::string& text) { std::ofstream(scenes_ / name) << text; }
};

}  // namespace

TEST_F(SceneFaults, ARenderCrashKillsTheHostOnARenderWorkerAndIsReported) {
  Write("a.zor", SceneWithFaults("{}"));
  Write("b.zor", SceneWithFaults(R"({ "crash": "render" })"));
  const HostRun run = Renderator(true);
  ASSERT_EQ(run.status, 128 + SIGSEGV) << run.err;
  const std::string scene = (scenes_ / "b.zor").string();
  EXPECT_TRUE(Contains(run.out, "Processing file b.zor"))
      << run.out << "the crash comes with b.zor, not before";

  const std::vector<fs::path> reports = CrashReports();
  ASSERT_EQ(reports.size(), 1u) << run.err;
  const std::string report = e2e::ReadFile(reports[0]);
  for (const std::string& line :
       {std::string("signal: 11 (SIGSEGV)\n"), std::string("address: 0x0\n"),
        std::string("thread: render worker\n"), "activity: rendering " + scene + "\n",
        std::string("cause: the scene asked for this fault (faults.crash \"render\", obeyed because of "
                    "--allow-faults)\n")}) {
    EXPECT_TRUE(Contains(report, line)) << line << "\n" << report;
  }
  EXPECT_TRUE(Contains(report, "module: ") && Contains(report, "zorhost + 0x")) << report;
  EXPECT_FALSE(Contains(report, "crash check:")) << "the Renderator is no crash-checking run";
  EXPECT_TRUE(Contains(run.err, "zorhost: crashed with SIGSEGV in ") &&
              Contains(run.err, "at address 0x0 (render worker, rendering " + scene +
                                    ", a fault the scene asked for); crash report: " + reports[0].string()))
      << run.err;
}

TEST_F(SceneFaults, ALoadCrashFaultsInsideTheLoader) {
  Write("a.zor", SceneWithFaults(R"({ "crash": "load" })"));
  const HostRun run = Renderator(true);
  ASSERT_EQ(run.status, 128 + SIGSEGV) << run.err;
  const std::vector<fs::path> reports = CrashReports();
  ASSERT_EQ(reports.size(), 1u) << run.err;
  const std::string report = e2e::ReadFile(reports[0]);
  EXPECT_TRUE(Contains(report, "thread: main thread\n")) << report;
  EXPECT_TRUE(Contains(report, "activity: loading " + (scenes_ / "a.zor").string() + "\n")) << report;
  EXPECT_TRUE(Contains(report, "faults.crash \"load\"")) << report;
}

TEST_F(SceneFaults, WithoutAllowFaultsEveryFaultIsIgnoredAndTheScenesRender) {
  Write("a.zor", SceneWithFaults(R"({ "crash": "render", "delayMs": 3000 })"));
  Write("b.zor", SceneWithFaults(R"({ "crash": "load", "lowMemoryEvents": 5 })"));
  const HostRun run = Renderator(false);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(CrashReports().empty());
  EXPECT_LT(run.seconds, 6) << "two renders of a.zor would take 6 s with the delay";
  EXPECT_TRUE(Contains(run.err, (scenes_ / "a.zor").string() + ": its faults are ignored")) << run.err;
  EXPECT_TRUE(fs::exists(scenes_ / (e2e::kResultPrefix + "1") / "0001.tif"));
  EXPECT_TRUE(fs::exists(scenes_ / (e2e::kResultPrefix + "1") / "0002.tif"));
}

TEST_F(SceneFaults, ADelayIsSpentOnEveryRender) {
  // the Renderator renders each scene twice (a small warm-up, then the image)
  Write("a.zor", SceneWithFaults(R"({ "delayMs": 1500 })"));
  const HostRun run = Renderator(true);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_GE(run.seconds, 3.0);
  EXPECT_TRUE(fs::exists(scenes_ / (e2e::kResultPrefix + "1") / "0001.tif"));
}

TEST_F(SceneFaults, AnUnknownPlaceToCrashMeansTheSceneIsNotLoaded) {
  Write("a.zor", SceneWithFaults(R"({ "crash": "explode" })"));
  const HostRun run = Renderator(true);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(CrashReports().empty());
  EXPECT_TRUE(Contains(run.out, "Scene not loaded: " + (scenes_ / "a.zor").string() +
                                    ": faults.crash: unknown place to crash \"explode\""))
      << run.out;
}
