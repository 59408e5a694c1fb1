// The Renderator end to end: zorhost with the real module renders scene folders into result folders,
// compares them with earlier ones, and reports through its dialogs, transcript and report files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/run_folders.h"
#include "e2e/text_files.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

using e2e::kResultPrefix;
using e2e::Lines;
using e2e::ReadFile;
using e2e::Words;

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

struct HostRun {
  int exitCode = -1;
  std::string out;
  std::string err;
  std::vector<json> transcript;

  std::vector<std::string> Texts(const std::string& event) const {
    std::vector<std::string> texts;
    for (const json& e : transcript)
      if (e.value("event", "") == event && e.contains("text")) texts.push_back(e["text"].get<std::string>());
    return texts;
  }
  // the values the module showed in one gadget, in order
  std::vector<std::string> GadgetTexts(int id) const {
    std::vector<std::string> texts;
    for (const json& e : transcript)
      if (e.value("event", "") == "gadget" && e.value("id", 0) == id && e["value"].is_string())
        texts.push_back(e["value"].get<std::string>());
    return texts;
  }
  const json* DialogOpen(const std::string& title) const {
    for (const json& e : transcript)
      if (e.value("event", "") == "dialogOpen" && e.value("title", "") == title) return &e;
    return nullptr;
  }
  // the first dialog that holds a gadget with this id
  const json* DialogWithGadget(int id) const {
    for (const json& e : transcript) {
      if (e.value("event", "") != "dialogOpen") continue;
      for (const json& gadget : e["gadgets"])
        if (gadget.value("id", 0) == id) return &e;
    }
    return nullptr;
  }
};

class Renderator : public e2e::RunFoldersTest {
 protected:
  Renderator() : RunFoldersTest("renderator_e2e_") {}

  // A small scene: one sphere on a floor, lit by one point light at lightX.
  static std::string Scene(double lightX, int width = 64, int height = 48) {
    json scene = {
        {"zor", 1},
        {"fps", 30},
        {"minTime", {0, 1}},
        {"renderSettings", {{"5008", double(width)}, {"5009", double(height)}, {"5300", 0}}},
        {"videoPosts", json::array({{{"type", 1001015}, {"flags", 0}, {"settings", json::object()}}})},
        {"camera", {{"position", {0, 2, -6}}, {"target", {0, 0.8, 0}}, {"fov", 40}}},
        {"lights",
         json::array(
             {{{"type", "point"}, {"position", {lightX, 6, -4}}, {"color", {1, 1, 1}}, {"intensity", 40}}})},
        {"materials", {{"red", {{"color", {0.8, 0.1, 0.1}}, {"reflect", 0.1}}}}},
        {"objects",
         json::array({{{"type", "sphere"}, {"center", {0, 1, 0}}, {"radius", 1}, {"material", "red"}},
                      {{"type", "plane"}, {"point", {0, 0, 0}}, {"normal", {0, 1, 0}}}})}};
    return scene.dump(2);
  }

  void WriteScene(const fs::path& relative, const std::string& text) {
    fs::create_directories((scenes_ / relative).parent_path());
    std::ofstream(scenes_ / relative) << text;
  }

  // Runs zorhost with the module; ui is a UI script (empty: none, and then --headless).
  HostRun Host(const std::vector<std::string>& args, const json& ui = json(),
               const std::string& command = "") {
    static int counter = 0;
    const std::string tag = std::to_string(++counter);
    const fs::path out = root_ / ("out" + tag + ".txt");
    const fs::path err = root_ / ("err" + tag + ".txt");
    const fs::path transcript = root_ / ("transcript" + tag + ".jsonl");
    std::string line = "timeout 300 " + Quote(ZORHOST_PATH) + " --startup " +
                       Quote((root_ / "startup").string()) + " --prefs " + Quote((root_ / "prefs").string()) +
                       " --module " + Quote(RELKIT_MODULE_PATH) +
                       " --set g_nexalRelkitTools=true --transcript " + Quote(transcript.string());
    if (ui.is_null()) {
      line += " --headless";
    } else {
      const fs::path script = root_ / ("ui" + tag + ".json");
      std::ofstream(script) << ui.dump();
      line += " --ui " + Quote(script.string());
    }
    if (!command.empty()) line += " --command " + Quote(command);
    for (const std::string& a : args) line += " " + Quote(a);
    line += " > " + Quote(out.string()) + " 2> " + Quote(err.string());
    HostRun run;
    const int status = std::system(line.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    for (const std::string& l : Lines(ReadFile(transcript)))
      if (!l.empty()) run.transcript.push_back(json::parse(l));
    return run;
  }

  fs::path Result(int n) const { return scenes_ / (kResultPrefix + std::to_string(n)); }

  // the report's result lines as words (header left out)
  static std::vector<std::vector<std::string>> Report(const fs::path& folder) {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> lines = Lines(ReadFile(folder / "_result.txt"));
    for (size_t i = 1; i < lines.size(); ++i) rows.push_back(Words(lines[i]));
    return rows;
  }
};

std::string Path(const fs::path& p) {
  return p.string();
}

TEST_F(Renderator, BuildsTwiceThenComparesAndFindsTheOneChangedScene) {
  WriteScene("b.zor", Scene(4));
  WriteScene("a/z.zor", Scene(2));
  WriteScene("a/y.zor", Scene(-3));
  WriteScene("notes.txt", "not a scene");

  HostRun build = Host({"-renderator", Path(scenes_)});
  ASSERT_EQ(build.exitCode, 0) << build.err;
  EXPECT_NE(build.out.find("start renderator to: " + Path(Result(1))), std::string::npos) << build.out;
  EXPECT_NE(build.out.find("[1/3 - 33%] Processing file y.zor..."), std::string::npos) << build.out;
  EXPECT_NE(build.out.find("[3/3 - 100%] Processing file b.zor..."), std::string::npos);
  const std::vector<std::string> header = Lines(ReadFile(Result(1) / "_result.txt"));
  ASSERT_FALSE(header.empty());
  EXPECT_EQ(header[0], "16.050    Status    Tnew      Told      Trel      Diff      Name");
  auto rows = Report(Result(1));
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<std::string> order = {Path(scenes_ / "a/y.zor"), Path(scenes_ / "a/z.zor"),
                                          Path(scenes_ / "b.zor")};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    EXPECT_EQ(rows[i][1], "CREATED");
    EXPECT_EQ(rows[i].back(), order[i]);
    EXPECT_TRUE(fs::exists(Result(1) / ("000" + std::to_string(i + 1) + ".tif")));
  }

  HostRun second = Host({"-renderator", Path(scenes_)});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(fs::exists(Result(2) / "0003.tif"));

  // the same scenes against the first build: identical images, reference times taken over
  HostRun compare = Host({"-renderator", Path(scenes_), Path(Result(1))});
  ASSERT_EQ(compare.exitCode, 0) << compare.err;
  EXPECT_NE(compare.out.find("[2/3 - 66%] Comparing file z.zor..."), std::string::npos) << compare.out;
  rows = Report(Result(3));
  const auto reference = Report(Result(1));
  ASSERT_EQ(rows.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_GE(rows[i].size(), 6u);
    EXPECT_EQ(rows[i][1], "OK");
    EXPECT_EQ(rows[i][3], reference[i][2]);  // Told is the reference's Tnew
    EXPECT_EQ(rows[i].end()[-2], "None");
    EXPECT_TRUE(fs::exists(Result(3) / ("000" + std::to_string(i + 1) + "d.tif")));
  }

  // move the light of one scene: only that scene differs
  WriteScene("b.zor", Scene(-1));
  HostRun changed = Host({"-renderator", Path(scenes_), Path(Result(1))});
  ASSERT_EQ(changed.exitCode, 0) << changed.err;
  rows = Report(Result(4));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].end()[-2], "None");
  EXPECT_EQ(rows[1].end()[-2], "None");
  const std::string diffText = rows[2].end()[-2];
  ASSERT_EQ(diffText.front(), '+') << diffText;
  const double percent = std::stod(diffText.substr(1));
  EXPECT_GT(percent, 0.0);

  // the ratio is the mean absolute error over all channels, as ImageMagick measures it
  if (std::system("command -v compare > /dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick compare missing";
  const fs::path measured = root_ / "mae.txt";
  std::system(("compare -metric MAE " + Quote(Path(Result(4) / "0003.tif")) + " " +
               Quote(Path(Result(1) / "0003.tif")) + " null: 2> " + Quote(measured.string()))
                  .c_str());
  const std::string mae = ReadFile(measured);
  const size_t open = mae.find('(');
  ASSERT_NE(open, std::string::npos) << mae;
  const double normalised = std::stod(mae.substr(open + 1));
  EXPECT_NEAR(percent, normalised * 100.0, 0.0051) << mae;
}

TEST_F(Renderator, FailuresAreReportedAndTheRunGoesOn) {
  WriteScene("a.zor", Scene(3));
  WriteScene("b.zor", "{ \"zor\": 1, \"camera\": ");
  WriteScene("c.zor", Scene(-3));

  // a reference folder that does not exist: the run builds instead, and since nobody read the box
  // that says so, a comparison that was asked for does not end as a success
  HostRun fallBack = Host({"-renderator", Path(scenes_), Path(root_ / "nowhere")});
  ASSERT_EQ(fallBack.exitCode, 5) << fallBack.err;
  EXPECT_NE(fallBack.err.find(
                "MessageBox: Reference folder not found - falling back to reference building mode..."),
            std::string::npos)
      << fallBack.err;
  auto rows = Report(Result(1));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "CREATED");
  EXPECT_EQ(rows[1][1], "ERROR");  // the broken scene, and the run went on
  EXPECT_EQ(rows[2][1], "CREATED");
  EXPECT_FALSE(fs::exists(Result(1) / "0002.tif"));

  // a reference folder without a report
  fs::create_directories(root_ / "empty_reference");
  HostRun outdated = Host({"-renderator", Path(scenes_), Path(root_ / "empty_reference")});
  EXPECT_NE(outdated.err.find("MessageBox: Outdated reference"), std::string::npos) << outdated.err;
  EXPECT_FALSE(fs::exists(Result(2) / "_result.txt"));

  // a reference image of another size ends the run at that scene
  WriteScene("a.zor", Scene(3, 65, 48));
  HostRun size = Host({"-renderator", Path(scenes_), Path(Result(1))});
  ASSERT_EQ(size.exitCode, 0) << size.err;
  rows = Report(Result(3));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], "ERROR");
  EXPECT_EQ(rows[2][1], "PENDING");

  // a file in the way of the result folder
  const fs::path blocked = root_ / "blocked";
  fs::create_directories(blocked);
  std::ofstream(blocked / (kResultPrefix + "1")) << "in the way";
  HostRun noFolder = Host({"-renderator", Path(blocked)});
  EXPECT_NE(noFolder.err.find("MessageBox: Error creating resultdir"), std::string::npos) << noFolder.err;
  // a mistyped scene folder makes no folders
  HostRun missing = Host({"-renderator", Path(root_ / "no_such_folder" / "scenes")});
  EXPECT_NE(missing.err.find("MessageBox: Error creating resultdir"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(root_ / "no_such_folder"));

  // the command line's own errors and help
  HostRun usage = Host({"-help", "-renderator"});
  EXPECT_NE(
      usage.out.find(
          "Renderator Options:\n-renderator scenepath [refpath] ... specify the directory to "
          "render\n-createdistribution ... create the distribution\n\nmissing parameter for -renderator\n"),
      std::string::npos)
      << usage.out;
}

TEST_F(Renderator, SettingsDialogProgressDialogAndContinuedBuild) {
  WriteScene("a.zor", Scene(3));
  WriteScene("b.zor", Scene(0));
  WriteScene("c.zor", Scene(-3));
  WriteScene("d.zor", Scene(5));

  // the settings dialog starts a build; the progress dialog shows every status text and the end
  const json build =
      json::array({{{"dialog", {{"set", {{1000, Path(scenes_)}, {1005, false}}}, {"press", "ok"}}}},
                   {{"dialog", {{"wait", true}}}}});
  HostRun first = Host({}, build, "Renderator");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.DialogOpen("Renderator - building comparison base"), nullptr);
  // the dialog shows the status text current when an event reaches it, so quick scenes may be
  // passed over; what it shows comes from the console's sequence and ends with the last scene
  const std::vector<std::string> printed = first.Texts("console");
  ASSERT_EQ(printed.size(), 5u);
  EXPECT_EQ(printed[1], "[1/4 - 25%] Processing file a.zor...");
  EXPECT_EQ(printed[4], "[4/4 - 100%] Processing file d.zor...");
  // (when the machine is busy the worker may already have written the final text by the time the
  // last status event reaches the dialog, which then shows that)
  const std::string finalText = "Renderator successful!";
  const std::vector<std::string> shown = first.GadgetTexts(5000);
  ASSERT_FALSE(shown.empty());
  for (const std::string& text : shown)
    EXPECT_TRUE(std::find(printed.begin(), printed.end(), text) != printed.end() || text == finalText)
        << text;
  EXPECT_TRUE(shown.back() == printed[4] || shown.back() == finalText) << shown.back();
  EXPECT_EQ(first.Texts("message"), std::vector<std::string>{"Renderator successful!"});
  ASSERT_EQ(Report(Result(1)).size(), 4u);

  // the next host process shows the stored paths again, and the boxes in their layout state
  const json look = json::array({{{"dialog", {{"press", "cancel"}}}}});
  HostRun second = Host({}, look, "Renderator");
  const json* settings = second.DialogWithGadget(1000);
  ASSERT_NE(settings, nullptr) << second.err;
  for (const json& gadget : (*settings)["gadgets"]) {
    const int id = gadget.value("id", 0);
    if (id == 1000) {
      EXPECT_EQ(gadget["value"], Path(scenes_));
    }
    if (id == 1001) {
      EXPECT_EQ(gadget["value"], "");
    }
    if (id == 1002) {
      EXPECT_EQ(gadget["enabled"], false);
    }
    if (id == 1003) {
      EXPECT_EQ(gadget["value"], true);
    }
  }
  EXPECT_FALSE(fs::exists(Result(2)));

  // continue the build after two images were lost: those are rendered again, the others skipped
  const auto before = Report(Result(1));
  fs::remove(Result(1) / "0003.tif");
  fs::remove(Result(1) / "0004.tif");
  const json resume =
      json::array({{{"dialog",
                     {{"set", {{1000, Path(scenes_)}, {1001, Path(Result(1))}, {1002, true}, {1005, false}}},
                      {"press", "ok"}}}},
                   {{"dialog", {{"wait", true}}}}});
  HostRun third = Host({}, resume, "Renderator");
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_NE(third.DialogOpen("Renderator - building comparison base"), nullptr);
  const std::vector<std::string> resumed = third.Texts("console");
  ASSERT_EQ(resumed.size(), 5u);
  EXPECT_EQ(resumed[1], "[1/4 - 25%] Skipping file a.zor...");
  EXPECT_EQ(resumed[2], "[2/4 - 50%] Skipping file b.zor...");
  EXPECT_EQ(resumed[3], "[3/4 - 75%] Processing file c.zor...");
  const std::string lastShown = third.GadgetTexts(5000).back();
  EXPECT_TRUE(lastShown == "[4/4 - 100%] Processing file d.zor..." || lastShown == finalText) << lastShown;
  EXPECT_FALSE(fs::exists(Result(2)));
  const auto after = Report(Result(1));
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0][1], "SKIPPED");
  EXPECT_EQ(after[0][2], before[0][2]);  // the reference time, read from the old report
  EXPECT_EQ(after[1][1], "SKIPPED");
  EXPECT_EQ(after[2][1], "CREATED");
  EXPECT_EQ(after[3][1], "CREATED");
  EXPECT_TRUE(fs::exists(Result(1) / "0004.tif"));

  // a comparison whose reference image has another size names the scene in its final text
  WriteScene("b.zor", Scene(0, 80, 48));
  const json compare = json::array(
      {{{"dialog",
         {{"set", {{1000, Path(scenes_)}, {1001, Path(Result(1))}, {1005, false}}}, {"press", "ok"}}}},
       {{"dialog", {{"wait", true}}}}});
  HostRun sized = Host({}, compare, "Renderator");
  EXPECT_NE(sized.DialogOpen("Renderator - comparing files"), nullptr);
  EXPECT_EQ(sized.Texts("message"),
            std::vector<std::string>{"An error occured|(Scene " + Path(scenes_ / "b.zor") + ")"});
}

TEST_F(Renderator, CancellingTheProgressDialogEndsTheRunAtTheSceneInProgress) {
  // large enough that a scene is still rendering when the user reacts
  for (const char* name : {"a.zor", "b.zor", "c.zor", "d.zor"}) WriteScene(name, Scene(3, 1280, 960));
  const json cancel =
      json::array({{{"dialog", {{"set", {{1000, Path(scenes_)}, {1005, false}}}, {"press", "ok"}}}},
                   {{"dialog", {{"cancelAfterEvents", 2}}}}});
  HostRun run = Host({}, cancel, "Renderator");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Texts("message"),
            std::vector<std::string>{"An error occured|(Scene " + Path(scenes_ / "b.zor") + ")"});
  const auto rows = Report(Result(1));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][1], "CREATED");
  EXPECT_EQ(rows[1][1], "ERROR");
  EXPECT_EQ(rows[3][1], "PENDING");
}

TEST_F(Renderator, OverrideChoiceAppliesOnlyWithoutOpenGl) {
  WriteScene("a.zor", Scene(3));
  const auto runWith = [&](bool openGl) {
    const json ui = json::array(
        {{{"dialog", {{"set", {{1000, Path(scenes_)}, {1004, 2}, {1005, openGl}}}, {"press", "ok"}}}},
         {{"dialog", {{"wait", true}}}}});
    return Host({}, ui, "Renderator");
  };
  // the scene has no physical video post to take the acceleration structure
  HostRun physical = runWith(false);
  ASSERT_EQ(physical.exitCode, 0) << physical.err;
  const std::vector<std::string> printed = physical.Texts("console");
  EXPECT_NE(std::find(printed.begin(), printed.end(), "Could not create physical VP"), printed.end());
  EXPECT_EQ(physical.Texts("message"), std::vector<std::string>{"Renderator successful!"});

  HostRun hardware = runWith(true);
  const std::vector<std::string> quiet = hardware.Texts("console");
  EXPECT_EQ(std::find(quiet.begin(), quiet.end(), "Could not create physical VP"), quiet.end());
}

}  // namespace
