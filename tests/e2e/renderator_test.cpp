// The Renderator end to end: zorhost with the real module renders scene folders into result folders,
// compares them with earlier ones, and reports through its dialogs, transcript and report files, which
// stay whole when the process is killed in the middle of a run.

#include <cstdio>
#include <map>

#include "e2e/run_folders.h"

namespace {

using e2e::HostOutcome;

// The settings dialog answered with these values and OK, then the progress dialog waited for (or
// answered with the given step).
json SettingsThenProgress(const json& values, const json& progress = {{"wait", true}}) {
  return json::array({{{"dialog", {{"set", values}, {"press", "ok"}}}}, {{"dialog", progress}}});
}

class Renderator : public e2e::RunFoldersTest {
 protected:
  Renderator() : RunFoldersTest("renderator_e2e_") {}

  // the small scene, its light moved to lightX
  static json Scene(double lightX, int width = 64, int height = 48) {
    json scene = e2e::SmallScene(width, height);
    scene["lights"][0]["position"][0] = lightX;
    return scene;
  }

  // A headless run of the Renderator's command line, or with ui the command and its dialogs.
  HostOutcome Host(const std::vector<std::string>& args, const json& ui = nullptr) {
    std::vector<std::string> arguments = {"--command", "Renderator"};
    if (ui.is_null()) arguments = {"--headless", "-renderator"};
    arguments.insert(arguments.end(), args.begin(), args.end());
    return e2e::RunHost(root_, arguments, ui);
  }
};

std::string Path(const fs::path& p) {
  return p.string();
}

TEST_F(Renderator, BuildsThenCompares) {
  WriteScene("b.zor", Scene(4));
  WriteScene("a/z.zor", Scene(2));
  WriteScene("a/y.zor", Scene(-3));
  WriteScene("notes.txt", "not a scene");

  HostOutcome build = Host({Path(scenes_)});
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_TRUE(build.Said("start renderator to: " + Path(Result(1)))) << build.out;
  // logged with 2>&1, every scene is there once: the progress is on the console, and stderr, no
  // terminal, keeps the status bar to itself
  const std::string log = build.out + build.err;
  EXPECT_EQ(e2e::Count(log, "[1/3 - 33%] Processing file y.zor...\n"), 1u) << log;
  EXPECT_EQ(e2e::Count(log, "[3/3 - 100%] Processing file b.zor...\n"), 1u) << log;
  EXPECT_EQ(e2e::Count(log, "[33%]"), 0u) << log;
  EXPECT_FALSE(e2e::Contains(log, "\r")) << "no terminal, no line redrawn in place";
  EXPECT_EQ(e2e::ReportColumn(Result(1), 0), e2e::Args("1", "2", "3"));
  EXPECT_EQ(e2e::ReportColumn(Result(1), 1), e2e::Args("CREATED", "CREATED", "CREATED"));
  EXPECT_EQ(e2e::ReportColumn(Result(1), 3),
            e2e::Args(scenes_ / "a/y.zor", scenes_ / "a/z.zor", scenes_ / "b.zor"));
  for (const char* image : {"0001.tif", "0002.tif", "0003.tif"}) EXPECT_TRUE(fs::exists(Result(1) / image));

  // the same scenes against the first build: identical images, reference times taken over
  HostOutcome compare = Host({Path(scenes_), Path(Result(1))});
  ASSERT_EQ(compare.status, 0) << compare.err;
  EXPECT_TRUE(compare.Said("[2/3 - 66%] Comparing file z.zor...")) << compare.out;
  EXPECT_EQ(e2e::ReportColumn(Result(2), 1), e2e::Args("OK", "OK", "OK"));
  EXPECT_EQ(e2e::ReportColumn(Result(2), 3), e2e::ReportColumn(Result(1), 2));  // Told: the reference's Tnew
  // Diff, the column before the name (Trel is blank when a render took less than a hundredth)
  for (const auto& row : e2e::ReportRows(Result(2))) EXPECT_EQ(row.end()[-2], "None");
  for (const char* image : {"0001d.tif", "0002d.tif", "0003d.tif"})
    EXPECT_TRUE(fs::exists(Result(2) / image));
}

TEST_F(Renderator, FailuresAreReportedAndTheRunGoesOn) {
  WriteScene("a.zor", Scene(3));
  WriteScene("b.zor", "{ \"zor\": 1, \"camera\": ");
  WriteScene("c.zor", Scene(-3));

  // a reference folder that does not exist: the run builds instead, and since nobody read the box
  // that says so, a comparison that was asked for does not end as a success
  HostOutcome fallBack = Host({Path(scenes_), Path(root_ / "nowhere")});
  ASSERT_EQ(fallBack.status, 5) << fallBack.err;
  EXPECT_TRUE(fallBack.Complained(
      "MessageBox: Reference folder not found - falling back to reference building mode..."))
      << fallBack.err;
  // the broken scene, and the run went on
  EXPECT_EQ(e2e::ReportColumn(Result(1), 1), e2e::Args("CREATED", "ERROR", "CREATED"));
  EXPECT_FALSE(fs::exists(Result(1) / "0002.tif"));

  // a reference folder without a report
  fs::create_directories(root_ / "empty_reference");
  HostOutcome outdated = Host({Path(scenes_), Path(root_ / "empty_reference")});
  EXPECT_TRUE(outdated.Complained("MessageBox: Outdated reference")) << outdated.err;
  EXPECT_FALSE(fs::exists(Result(2) / "_result.txt"));

  // result folders that cannot be made, for a file in their way, a mistyped scene folder (which makes
  // no folders) and a file in the way of the scene folder: the module's message, the host's reason;
  // a headless run in which nobody read the message fails
  const fs::path blocked = root_ / "blocked", in_the_way = blocked / (e2e::kResultPrefix + "1");
  fs::create_directories(blocked);
  std::ofstream(in_the_way) << "in the way";
  HostOutcome run;
  for (const fs::path& folder : {blocked, root_ / "no_such_folder" / "scenes", in_the_way / "scenes"}) {
    run = Host({Path(folder)});
    EXPECT_EQ(run.status, 5) << run.err;
    EXPECT_TRUE(run.Complained("MessageBox: Error creating resultdir")) << run.err;
  }
  EXPECT_FALSE(fs::exists(root_ / "no_such_folder"));
  const fs::path made = in_the_way / "scenes" / (e2e::kResultPrefix + "1");
  EXPECT_TRUE(run.Complained("cannot create folder " + Path(made) + ": Not a directory")) << run.err;
}

TEST_F(Renderator, SettingsDialogProgressDialogAndContinuedBuild) {
  WriteScene("a.zor", Scene(3));
  WriteScene("b.zor", Scene(0));
  WriteScene("c.zor", Scene(-3));
  WriteScene("d.zor", Scene(5));

  // the settings dialog starts a build; the progress dialog shows every status text and the end
  HostOutcome first = Host({}, SettingsThenProgress({{1000, Path(scenes_)}, {1005, false}}));
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_FALSE(first.Events("dialogOpen", "title", "Renderator - building comparison base").empty());
  // the dialog shows the status text current when an event reaches it, so quick scenes may be
  // passed over; what it shows comes from the console's sequence and ends with the last scene
  const std::vector<std::string> printed = first.Texts("console");
  ASSERT_EQ(printed.size(), 5u);
  EXPECT_EQ(printed[1], "[1/4 - 25%] Processing file a.zor...");
  EXPECT_EQ(printed[4], "[4/4 - 100%] Processing file d.zor...");
  // (when the machine is busy the worker may already have written the final text by the time the
  // last status event reaches the dialog, which then shows that)
  const std::string finalText = "Renderator successful!";
  std::vector<std::string> shown;  // what the status gadget showed, in order
  for (const json& e : first.Events("gadget", "id", 5000))
    if (e["value"].is_string()) shown.push_back(e["value"].get<std::string>());
  ASSERT_FALSE(shown.empty());
  for (const std::string& text : shown)
    EXPECT_TRUE(std::find(printed.begin(), printed.end(), text) != printed.end() || text == finalText)
        << text;
  EXPECT_TRUE(shown.back() == printed[4] || shown.back() == finalText) << shown.back();
  EXPECT_EQ(first.Texts("message"), std::vector<std::string>{"Renderator successful!"});
  ASSERT_EQ(e2e::ReportRows(Result(1)).size(), 4u);

  // the next host process shows the stored paths again, and the boxes in their layout state
  HostOutcome second = Host({}, json::array({{{"dialog", {{"press", "cancel"}}}}}));
  std::map<int, json> gadgets;
  for (const json& e : second.Events("dialogOpen"))
    for (const json& gadget : e["gadgets"]) gadgets[gadget.value("id", 0)] = gadget;
  ASSERT_TRUE(gadgets.count(1000)) << second.err;
  EXPECT_EQ(gadgets[1000]["value"], Path(scenes_));
  EXPECT_EQ(gadgets[1001]["value"], "");
  EXPECT_EQ(gadgets[1002]["enabled"], false);
  EXPECT_EQ(gadgets[1003]["value"], true);
  EXPECT_FALSE(fs::exists(Result(2)));

  // continue the build after two images were lost: those are rendered again, the others skipped
  const auto before = e2e::ReportRows(Result(1));
  fs::remove(Result(1) / "0003.tif");
  fs::remove(Result(1) / "0004.tif");
  HostOutcome third = Host(
      {},
      SettingsThenProgress({{1000, Path(scenes_)}, {1001, Path(Result(1))}, {1002, true}, {1005, false}}));
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_FALSE(third.Events("dialogOpen", "title", "Renderator - building comparison base").empty());
  const std::vector<std::string> resumed = third.Texts("console");
  ASSERT_EQ(resumed.size(), 5u);
  EXPECT_EQ(resumed[1], "[1/4 - 25%] Skipping file a.zor...");
  EXPECT_EQ(resumed[2], "[2/4 - 50%] Skipping file b.zor...");
  EXPECT_EQ(resumed[3], "[3/4 - 75%] Processing file c.zor...");
  EXPECT_FALSE(fs::exists(Result(2)));
  EXPECT_EQ(e2e::ReportColumn(Result(1), 1), e2e::Args("SKIPPED", "SKIPPED", "CREATED", "CREATED"));
  EXPECT_EQ(e2e::ReportRows(Result(1))[0][2], before[0][2]);  // the reference time, read from the old report
  EXPECT_TRUE(fs::exists(Result(1) / "0004.tif"));

  // a reference image of another size ends the comparison at its scene, named in the final text
  WriteScene("b.zor", Scene(0, 80, 48));
  HostOutcome sized =
      Host({}, SettingsThenProgress({{1000, Path(scenes_)}, {1001, Path(Result(1))}, {1005, false}}));
  EXPECT_FALSE(sized.Events("dialogOpen", "title", "Renderator - comparing files").empty());
  EXPECT_EQ(sized.Texts("message"),
            std::vector<std::string>{"An error occured|(Scene " + Path(scenes_ / "b.zor") + ")"});
  EXPECT_EQ(e2e::ReportColumn(Result(2), 1), e2e::Args("OK", "ERROR", "PENDING", "PENDING"));
}

TEST_F(Renderator, CancellingTheProgressDialogEndsTheRunAtTheSceneInProgress) {
  // large enough that a scene is still rendering when the user reacts
  for (const char* name : {"a.zor", "b.zor", "c.zor", "d.zor"}) WriteScene(name, Scene(3, 1280, 960));
  HostOutcome run =
      Host({}, SettingsThenProgress({{1000, Path(scenes_)}, {1005, false}}, {{"cancelAfterEvents", 2}}));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Texts("message"),
            std::vector<std::string>{"An error occured|(Scene " + Path(scenes_ / "b.zor") + ")"});
  EXPECT_EQ(e2e::ReportColumn(Result(1), 1), e2e::Args("CREATED", "ERROR", "PENDING", "PENDING"));
}

TEST_F(Renderator, OverrideChoiceAppliesOnlyWithoutOpenGl) {
  WriteScene("a.zor", Scene(3));
  const auto runWith = [&](bool openGl) {
    return Host({}, SettingsThenProgress({{1000, Path(scenes_)}, {1004, 2}, {1005, openGl}}));
  };
  // the scene has no physical video post to take the acceleration structure
  HostOutcome physical = runWith(false);
  ASSERT_EQ(physical.status, 0) << physical.err;
  EXPECT_NE(std::ranges::count(physical.Texts("console"), "Could not create physical VP"), 0);
  EXPECT_EQ(physical.Texts("message"), std::vector<std::string>{"Renderator successful!"});

  HostOutcome hardware = runWith(true);
  EXPECT_EQ(std::ranges::count(hardware.Texts("console"), "Could not create physical VP"), 0);
}

TEST_F(Renderator, AKilledRunLeavesEveryFileWholeAndTheReportComplete) {
  constexpr int kScenes = 1000;
  for (int i = 0; i < kScenes; ++i)  // small enough that a run of hundreds takes seconds
    WriteScene("s" + std::to_string(10000 + i) + ".zor", e2e::SmallScene(8, 6));
  e2e::Command command{e2e::HostCommandLine(root_)};
  command.args.insert(command.args.end(), {"--headless", "-renderator", scenes_.string()});
  const pid_t host = e2e::Start(command, root_ / "out1.txt", root_ / "err1.txt");
  const fs::path report = Result(1) / "_result.txt";
  // kill it in the middle: once the report shows 40 scenes done
  for (int i = 0; i < 60000 && e2e::Count(e2e::ReadFile(report), "CREATED") < 40; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(host, SIGKILL);
  ASSERT_EQ(e2e::Wait(host), 128 + SIGKILL)
      << "the run ended before it could be killed: " << e2e::ReadFile(root_ / "err1.txt");

  // the report is one of the reports the run wrote in full: the header and a line for every scene
  const std::string text = e2e::ReadFile(report);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = e2e::Lines(text);
  ASSERT_EQ(lines.size(), size_t(kScenes) + 1);
  EXPECT_EQ(e2e::Words(lines[0]).at(1), "Status");
  int created = 0;
  for (int i = 1; i <= kScenes; ++i) {
    const std::vector<std::string> words = e2e::Words(lines[i]);
    ASSERT_GE(words.size(), 4u) << lines[i];
    EXPECT_EQ(words[0], std::to_string(i));
    EXPECT_TRUE(words[1] == "CREATED" || words[1] == "PENDING") << lines[i];
    if (words[1] == "CREATED") {
      ++created;
      EXPECT_EQ(words.back(), (scenes_ / ("s" + std::to_string(10000 + i - 1) + ".zor")).string());
    }
  }
  EXPECT_GE(created, 40);
  // every image under its final name is whole; a temporary may remain of the write in progress
  int images = 0;
  for (const auto& entry : fs::directory_iterator(Result(1))) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.') {
      EXPECT_TRUE(e2e::Contains(name, ".zorhost-tmp")) << name;
      continue;
    }
    if (entry.path().extension() != ".tif") continue;
    ++images;
    EXPECT_EQ(e2e::TiffSize(entry.path()), (std::pair<uint32_t, uint32_t>{8, 6})) << name;
  }
  EXPECT_GE(images, created);
  std::printf("killed after %d of %d scenes; %d images on disk\n", created, kScenes, images);
}

}  // namespace
