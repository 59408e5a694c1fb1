// The Attachment Scanner end to end: a zorhost child process that really crashes on a scene, and the
// runs after it that continue where it stopped without redoing or losing what was finished.
#include <sys/stat.h>

#include <map>

#include "e2e/run_folders.h"

namespace {

using e2e::HostOutcome;
using e2e::ProcessedScenes;
using e2e::ReadFile;

// A file's identity: a rewrite through a temporary file and a rename gives a new one.
ino_t Inode(const fs::path& file) {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

class AttachmentScanner : public e2e::RunFoldersTest {
 protected:
  AttachmentScanner() : RunFoldersTest("attachment_scanner_e2e_") {}
  void SetUp() override {
    RunFoldersTest::SetUp();
    reference_ = root_ / "results";
    folders_ = {{1000, scenes_.string()}, {1001, reference_.string()}};
  }

  std::string Path(const fs::path& relative) const { return (scenes_ / relative).string(); }

  // The command with its settings dialog answered: the given values set (none: the stored ones kept)
  // and OK; then the progress dialog, unless headless, waited for or cancelled.
  HostOutcome Scan(const json& values, std::vector<std::string> options, const json& progress = json()) {
    json dialog = {{"press", "ok"}};
    if (!values.is_null()) dialog["set"] = values;
    json ui = json::array({{{"dialog", dialog}}});
    if (!progress.is_null()) ui.push_back({{"dialog", progress}});
    options.insert(options.end(), {"--command", "Attachment Scanner"});
    return e2e::RunHost(root_, options, ui);
  }

  fs::path reference_;
  json folders_;
};

TEST_F(AttachmentScanner, ACrashEndsTheRunAndTheNextRunFinishesTheRestWithoutRedoingAnything) {
  // sorted: a/1/same.zor, a/2/same.zor, b/plain.zor, c/crash.zor, d/last.zor
  WriteScene("d/last.zor", e2e::SmallScene());
  WriteScene("a/2/same.zor", e2e::SmallScene());
  WriteScene("c/crash.zor", e2e::SceneWithFaults({{"crash", "fullRender"}}));
  WriteScene("b/plain.zor", e2e::SmallScene());
  WriteScene("a/1/same.zor", e2e::SmallScene());

  const HostOutcome crashed = Scan(folders_, {"--allow-faults"}, {{"wait", true}});
  ASSERT_GE(crashed.status, 128) << "the scene should have crashed the host\n" << crashed.err;
  const std::vector<std::string> started = ProcessedScenes(crashed.out);
  ASSERT_EQ(started.size(), 4u) << crashed.out;
  EXPECT_EQ(started.back(), Path("c/crash.zor"));
  EXPECT_TRUE(crashed.Said("start renderator to: " + reference_.string())) << crashed.out;
  EXPECT_TRUE(crashed.Said("[1/5] Processing file " + Path("a/1/same.zor") + "...")) << crashed.out;
  ASSERT_TRUE(fs::is_directory(root_ / "prefs" / "crashes"));

  // the same file name in two folders gives two images, each named after its folder
  std::map<fs::path, ino_t> identities;
  for (const std::string tag : {"1.same.zor", "2.same.zor", "b.plain.zor"})
    for (const char* suffix : {".soft.tif", ".tif"}) {
      const fs::path image = reference_ / (tag + suffix);
      EXPECT_EQ(e2e::TiffSize(image), (std::pair<uint32_t, uint32_t>{256, 256})) << image;
      identities[image] = Inode(image);
    }
  // the crash came in the full render: the preview was saved whole, the full image never appeared
  EXPECT_EQ(e2e::TiffSize(reference_ / "c.crash.zor.soft.tif").first, 256u);
  EXPECT_FALSE(fs::exists(reference_ / "c.crash.zor.tif"));
  // the report as written after the third scene: every scene has a row
  EXPECT_EQ(e2e::ReportColumn(reference_, 0), e2e::Args("1", "2", "3", "4", "5"));
  EXPECT_EQ(e2e::ReportColumn(reference_, 1), e2e::Args("OK", "OK", "OK", "ERROR", "ERROR"));

  // the next invocation opens with the settings chosen before the crash
  fs::rename(scenes_ / "c" / "crash.zor", root_ / "crash.zor");
  const HostOutcome rerun = Scan(json(), {"--allow-faults"}, {{"wait", true}});
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_EQ(ProcessedScenes(rerun.out), std::vector<std::string>{Path("d/last.zor")}) << rerun.out;
  EXPECT_TRUE(rerun.Complained("MessageBox: Renderator successful!")) << rerun.err;
  for (const auto& [image, inode] : identities) EXPECT_EQ(Inode(image), inode) << image << " was rewritten";
  EXPECT_EQ(e2e::TiffSize(reference_ / "d.last.zor.tif").first, 256u);
  const std::vector<std::vector<std::string>> rows = e2e::ReportRows(reference_);
  ASSERT_EQ(rows.size(), 4u);
  // skipped scenes were not saved by this run: their rows say so (what a row shows, the unit tests say)
  EXPECT_EQ(rows[0][1], "ERROR");
  EXPECT_EQ(rows[3][1], "OK");

  // nothing left to do: the report stays as it was
  const std::string report = ReadFile(reference_ / "_result.txt");
  const ino_t reportInode = Inode(reference_ / "_result.txt");
  const HostOutcome idle = Scan(json(), {}, {{"wait", true}});
  ASSERT_EQ(idle.status, 0) << idle.err;
  EXPECT_TRUE(ProcessedScenes(idle.out).empty()) << idle.out;
  EXPECT_TRUE(idle.Complained("MessageBox: Renderator successful!")) << idle.err;
  EXPECT_EQ(ReadFile(reference_ / "_result.txt"), report);
  EXPECT_EQ(Inode(reference_ / "_result.txt"), reportInode);

  // a preview without its full image is a scene not finished: both images are made again
  fs::remove(reference_ / "b.plain.zor.tif");
  const HostOutcome again = Scan(json(), {"--headless"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(ProcessedScenes(again.out), std::vector<std::string>{Path("b/plain.zor")}) << again.out;
  EXPECT_NE(Inode(reference_ / "b.plain.zor.soft.tif"), identities[reference_ / "b.plain.zor.soft.tif"]);
  EXPECT_EQ(e2e::TiffSize(reference_ / "b.plain.zor.tif").first, 256u);
}

TEST_F(AttachmentScanner, HeadlessRunsInTheCommandAndCancellingStopsAtTheNextScene) {
  for (int i = 0; i < 6; ++i)
    WriteScene("s" + std::to_string(i) + ".zor", e2e::SceneWithFaults({{"delayMs", 300}}));

  // Cancel once the first status has reached the dialog: the scene in progress may still finish, but
  // no later one starts, and the closed dialog shows no final message.
  const HostOutcome cancelled = Scan(folders_, {"--allow-faults"}, {{"cancelAfterEvents", 1}});
  ASSERT_EQ(cancelled.status, 0) << cancelled.err;
  EXPECT_LE(ProcessedScenes(cancelled.out).size(), 2u) << cancelled.out;
  EXPECT_FALSE(cancelled.Complained("MessageBox: Renderator successful!")) << cancelled.err;
  EXPECT_FALSE(cancelled.Complained("MessageBox: An error occured")) << cancelled.err;

  // headless: no progress dialog, the command returns when every scene is done, the console tells;
  // a broken scene is named and the run goes on
  for (const int frame : {1000, 1001}) {
    json scene = e2e::SmallScene();
    scene["minTime"] = {-frame, 30};
    WriteScene((frame == 1000 ? "a_at_" : "b_at_") + std::to_string(frame) + ".zor", scene);
  }
  WriteScene("c_broken.zor", "{ \"zor\": 1, ");
  fs::remove_all(reference_);
  const HostOutcome headless = Scan(folders_, {"--headless"});
  ASSERT_EQ(headless.status, 0) << headless.err;
  EXPECT_EQ(ProcessedScenes(headless.out).size(), 9u) << headless.out;
  EXPECT_TRUE(headless.Said("Renderator successful!")) << headless.out;
  for (const json& event : headless.transcript)
    EXPECT_NE(event.value("title", ""), "Renderator Crash Checker") << event.dump();
  // the minimum time is repaired below frame -1000 only, and the scene still renders
  EXPECT_TRUE(headless.Said("Document MinTime Error: -1001")) << headless.out;
  EXPECT_FALSE(headless.Said("Document MinTime Error: -1000")) << headless.out;
  EXPECT_TRUE(headless.Said("Error loading document")) << headless.out;
  EXPECT_TRUE(fs::exists(reference_ / "scenes.b_at_1001.zor.tif"));
  std::vector<std::string> statuses(9, "OK");
  statuses[2] = "ERROR";
  EXPECT_EQ(e2e::ReportColumn(reference_, 1), statuses);
}

TEST_F(AttachmentScanner, ASecondRunOnTheSameResultFolderIsRefusedAndAKilledRunBlocksNothing) {
  WriteScene("a.zor", e2e::SceneWithFaults({{"delayMs", 600000}}));
  WriteScene("b.zor", e2e::SmallScene());

  // the first run, held inside its first scene
  e2e::Command held{e2e::HostCommandLine(root_)};
  const fs::path ui = root_ / "held_ui.json";
  std::ofstream(ui) << json::array({{{"dialog", {{"press", "ok"}, {"set", folders_}}}}}).dump();
  held.args.insert(held.args.end(),
                   {"--ui", ui.string(), "--allow-faults", "--headless", "--command", "Attachment Scanner"});
  const pid_t pid = e2e::Start(held, root_ / "held_out.txt", root_ / "held_err.txt");
  ASSERT_GT(pid, 0);
  const auto started = [&] { return !ProcessedScenes(ReadFile(root_ / "held_out.txt")).empty(); };
  for (int i = 0; i < 600 && !started(); ++i) ::usleep(50000);
  if (!started()) ::kill(pid, SIGKILL);
  ASSERT_TRUE(started()) << ReadFile(root_ / "held_err.txt");

  // refused in a message box that a headless run has nobody to read: a CI job sees it failed
  const HostOutcome second = Scan(folders_, {"--headless"});
  EXPECT_EQ(second.status, 5) << second.err;
  EXPECT_TRUE(second.Complained("MessageBox: " + reference_.string() +
                                " is in use by another Attachment Scanner run"))
      << second.err;
  EXPECT_TRUE(ProcessedScenes(second.out).empty()) << second.out;
  EXPECT_FALSE(fs::exists(reference_ / "scenes.b.zor.tif"));

  ::kill(pid, SIGKILL);
  EXPECT_EQ(e2e::Wait(pid), 128 + SIGKILL);
  WriteScene("a.zor", e2e::SmallScene());
  const HostOutcome next = Scan(folders_, {"--headless"});
  ASSERT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(ProcessedScenes(next.out), (std::vector<std::string>{Path("a.zor"), Path("b.zor")})) << next.out;
  EXPECT_TRUE(next.Said("Renderator successful!")) << next.out;
}

}  // namespace
