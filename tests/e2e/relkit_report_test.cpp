// relkit-report end to end: zorhost renders the sample scenes into real result folders, relkit-report
// judges them, writes its page, JUnit and JSON files, and approves a run as the new comparison base.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "e2e/host_process.h"
#include "e2e/run_folders.h"
#include "e2e/text_files.h"
#include "rgb_tiff.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using e2e::kResultPrefix;
using e2e::ReadFile;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome RunReport(const fs::path& root, std::vector<std::string> args) {
  static int counter = 0;
  const std::string tag = std::to_string(++counter);
  args.insert(args.begin(), RELKIT_REPORT_PATH);
  const int status = e2e::WaitForProcess(
      e2e::SpawnProcess(args, root / ("report_out" + tag + ".txt"), root / ("report_err" + tag + ".txt")));
  return {status, ReadFile(root / ("report_out" + tag + ".txt")),
          ReadFile(root / ("report_err" + tag + ".txt"))};
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

int Count(const std::string& text, const std::string& pattern) {
  const std::regex re(pattern);
  return int(std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

// What a test could not check on this machine, said when it ends.
std::string g_notChecked;

// The JUnit file checked by xmllint against the schema kept beside the tests.
void ExpectValidJunit(const fs::path& file) {
  if (!HaveProgram("xmllint")) {
    g_notChecked +=
        "xmllint is not installed (libxml2-utils): _junit.xml was not checked against its schema. ";
    return;
  }
  const std::string command = "xmllint --noout --schema '" + std::string(RELKIT_TESTS_DIR) +
                              "/e2e/junit.xsd' '" + file.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << file << " does not satisfy the JUnit schema";
}

class RelkitReport : public e2e::RunFoldersTest {
 protected:
  RelkitReport() : RunFoldersTest("relkit_report_e2e_") {}

  fs::path Result(int n) const { return scenes_ / (kResultPrefix + std::to_string(n)); }

  void Renderator(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = {"--headless", "-renderator", scenes_.string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    const e2e::HostOutcome run = e2e::RunHost(root_, args);
    ASSERT_EQ(run.status, 0) << run.err;
  }

  static json Summary(const fs::path& result) { return json::parse(ReadFile(result / "_summary.json")); }

  // the verdict words of the summary's scenes, in order
  static std::vector<std::string> Verdicts(const fs::path& result) {
    std::vector<std::string> words;
    const json summary = Summary(result);
    for (const json& s : summary["scenes"]) words.push_back(s["status"]);
    return words;
  }
};

// The page opened in headless Chromium: it checks itself with ?selftest once everything has loaded
// and the dumped DOM shows what it found.
void ExpectPageWorks(const fs::path& root, const fs::path& result) {
  if (!HaveProgram("chromium")) {
    g_notChecked += "chromium is not installed: the report page was not opened in a browser. ";
    return;
  }
  const fs::path dump = root / "dom.html";
  const std::string command = "timeout 120 chromium --headless --no-sandbox --disable-gpu --user-data-dir='" +
                              (root / "chromium").string() + "' --dump-dom 'file://" +
                              fs::absolute(result / "_report.html").string() + "?selftest' > '" +
                              dump.string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string dom = ReadFile(dump);
  std::smatch found;
  ASSERT_TRUE(std::regex_search(dom, found, std::regex("<pre id=\"selftest\">([^<]*)</pre>")))
      << dom.substr(0, 2000);
  std::string text = found[1];
  text = std::regex_replace(text, std::regex("&quot;"), "\"");
  const json selftest = json::parse(text);
  const json summary = json::parse(ReadFile(result / "_summary.json"));

  int pictures = 0;
  for (const json& s : summary["scenes"])
    for (const char* kind : {"new", "difference"})
      pictures += !s["pictures"][kind].get<std::string>().empty();
  EXPECT_EQ(selftest["images"], pictures);
  EXPECT_EQ(selftest["imagesLoaded"], pictures) << "a thumbnail did not load";

  // the counts as the page shows them
  for (const auto& [word, count] : summary["counts"].items()) {
    std::smatch shown;
    ASSERT_TRUE(std::regex_search(
        dom, shown,
        std::regex("id=\"count-" + word + "\"[^>]*>" + word + " <b class=\"count\">([0-9]+)</b>")))
        << word;
    EXPECT_EQ(std::stoi(shown[1]), count.get<int>()) << word;
  }
  // after the filter was switched on, every row that is not a failure is hidden
  const std::regex row("<tr class=\"scene st-([A-Z]+)\" data-status=\"[A-Z]+\"( style=\"display: none;\")?>");
  int rows = 0, hiddenPassing = 0, shownFailing = 0;
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), row); it != std::sregex_iterator();
       ++it, ++rows) {
    const std::string status = (*it)[1];
    const bool hidden = (*it)[2].matched;
    const bool failing = status == "FAIL" || status == "ERROR" || status == "MISSING";
    EXPECT_EQ(hidden, !failing) << "row " << rows << " " << status;
    hiddenPassing += hidden;
    shownFailing += !hidden;
  }
  EXPECT_EQ(rows, int(summary["scenes"].size()));
  EXPECT_GT(hiddenPassing, 0);
  EXPECT_GT(shownFailing, 0);
}

TEST_F(RelkitReport, JudgesTheSamplesApprovesAChangeAndSeesAnInsertedScene) {
  fs::copy(fs::path(RELKIT_SOURCE_DIR) / "examples" / "scenes", scenes_, fs::copy_options::recursive);
  // A quarter of their size each way: five runs over the samples stay short in the sanitizer build.
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(scenes_)) {
    if (e.path().extension() != ".zor") continue;
    json scene = json::parse(ReadFile(e.path()));
    scene["renderSettings"]["5008"] = 160.0;
    scene["renderSettings"]["5009"] = 120.0;
    std::ofstream(e.path()) << scene.dump(2);
  }
  ASSERT_NO_FATAL_FAILURE(Renderator({}));
  const fs::path base = Result(1);

  // unchanged: every scene passes
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  // Render times on a shared test machine vary too much for the time limit to be part of this test.
  const std::vector<std::string> steadyTimes = {"--time-floor", "1000"};
  auto checkAgainstBase = [&](int n) {
    std::vector<std::string> args = {"check", Result(n).string(), "--reference", base.string()};
    args.insert(args.end(), steadyTimes.begin(), steadyTimes.end());
    return RunReport(root_, args);
  };
  Outcome check = checkAgainstBase(2);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("report: " + (Result(2) / "_report.html").string()), std::string::npos)
      << check.out;
  const std::string junit = ReadFile(Result(2) / "_junit.xml");
  EXPECT_EQ(Count(junit, "<testcase "), 17);
  EXPECT_EQ(Count(junit, "<failure|<error|<skipped"), 0);
  ExpectValidJunit(Result(2) / "_junit.xml");
  EXPECT_EQ(Verdicts(Result(2)), std::vector<std::string>(17, "PASS"));

  // a moved light fails that scene only, with its figures
  const fs::path moved = scenes_ / "basics" / "spheres_standard.zor";
  json scene = json::parse(ReadFile(moved));
  scene["lights"][0]["position"][0] = -6;
  std::ofstream(moved) << scene.dump(2);
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  check = checkAgainstBase(3);
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  std::vector<std::string> expected(17, "PASS");
  expected[3] = "FAIL";
  EXPECT_EQ(Verdicts(Result(3)), expected);
  const json failed = Summary(Result(3))["scenes"][3];
  EXPECT_EQ(failed["name"], "basics/spheres_standard.zor");
  EXPECT_GT(failed["pixelShare"].get<double>(), 0.01);
  EXPECT_GT(failed["diff"].get<double>(), 0.0);
  const std::string failedJunit = ReadFile(Result(3) / "_junit.xml");
  EXPECT_EQ(Count(failedJunit, "<failure "), 1);
  EXPECT_EQ(Count(failedJunit, "<testcase name=\"4 basics/spheres_standard.zor\"[^>]*>\\s*<failure "), 1);
  EXPECT_EQ(Count(failedJunit, "pixels over threshold [1-9][0-9]* of 19200"), 1) << failedJunit;
  ExpectValidJunit(Result(3) / "_junit.xml");
  ExpectPageWorks(root_, Result(3));

  // approving the change makes the next comparison pass
  const Outcome approve = RunReport(root_, {"approve", Result(3).string(), "--into", base.string()});
  EXPECT_EQ(approve.status, 0) << approve.err;
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  check = checkAgainstBase(4);
  EXPECT_EQ(check.status, 0) << check.out << check.err;

  // a scene inserted after the base shifts the scenes behind it: flagged, never compared silently
  fs::copy_file(scenes_ / "basics" / "boxes_preview.zor", scenes_ / "basics" / "boxes_second.zor");
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  check = checkAgainstBase(5);
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_NE(check.out.find("(scene list changed)"), std::string::npos) << check.out;
  const json changed = Summary(Result(5));
  EXPECT_TRUE(changed["sceneListChanged"].get<bool>());
  EXPECT_EQ(changed["scenes"][0]["status"], "PASS");
  EXPECT_EQ(changed["scenes"][1]["status"], "FAIL");
  EXPECT_NE(changed["scenes"][1]["reasons"][0].get<std::string>().find("scene list changed"),
            std::string::npos);
  // approving that result is refused unless forced
  const Outcome refused = RunReport(root_, {"approve", Result(5).string(), "--into", base.string()});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("scene list changed"), std::string::npos) << refused.err;
  if (!g_notChecked.empty()) GTEST_SKIP() << g_notChecked;
}

// Images written by hand: a result folder of two scenes with its reference, then each kind of bad input.
class RelkitReportInput : public e2e::RunFoldersTest {
 protected:
  RelkitReportInput() : RunFoldersTest("relkit_report_input_") {}

  static void WriteTiff(const fs::path& path, int width, int height, uint8_t value) {
    ASSERT_TRUE(test_support::WriteRgbTiff(
        path, width, height, [&](int, int, uint8_t* rgb) { rgb[0] = rgb[1] = rgb[2] = value; }));
  }

  void SetUp() override {
    RunFoldersTest::SetUp();
    base_ = scenes_ / "_renderator_16.050_1";
    result_ = scenes_ / "_renderator_16.050_2";
    fs::create_directories(base_);
    fs::create_directories(result_);
    const std::string header = "16.050    Status    Tnew      Told      Trel      Diff      Name\n";
    std::ofstream(base_ / "_result.txt") << header << Line({"1", "CREATED", "1.00", "", "", ""}, "a.zor")
                                         << Line({"2", "CREATED", "2.00", "", "", ""}, "b.zor");
    std::ofstream(result_ / "_result.txt")
        << header << Line({"1", "OK", "1.00", "1.00", "0.00%", "None"}, "a.zor")
        << Line({"2", "OK", "2.00", "2.00", "0.00%", "None"}, "b.zor");
    for (const fs::path& folder : {base_, result_}) {
      WriteTiff(folder / "0001.tif", 40, 30, 100);
      WriteTiff(folder / "0002.tif", 40, 30, 200);
    }
  }

  // a line as the Renderator writes it: each text padded to ten characters, a longer one written whole
  std::string Line(const std::vector<std::string>& columns, const char* scene) const {
    std::string text;
    for (const std::string& c : columns) text += c + std::string(c.size() < 10 ? 10 - c.size() : 0, ' ');
    return text + (scenes_ / scene).string() + "\n";
  }

  std::vector<std::string> Check() const {
    return {"check", result_.string(), "--reference", base_.string()};
  }

  // what the result folder holds besides the report and the images
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(result_)) {
      const std::string name = e.path().filename().string();
      if (name != "_result.txt" && e.path().extension() != ".tif") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path base_, result_;
};

TEST_F(RelkitReportInput, BadInputNamesTheFileExitsTwoAndLeavesTheLastGoodReportWhole) {
  const Outcome good = RunReport(root_, Check());
  ASSERT_EQ(good.status, 0) << good.err;
  const std::vector<std::string> outputs = {"_junit.xml", "_report.html", "_report_files", "_summary.json"};
  ASSERT_EQ(Written(), outputs);
  const std::string page = ReadFile(result_ / "_report.html");

  struct Case {
    const char* what;
    std::function<void()> damage;
    std::string named;  // the file the message must name
    const char* says;
  };
  const std::string report = ReadFile(result_ / "_result.txt");
  const std::vector<Case> cases = {
      {"no report", [&] { fs::remove(result_ / "_result.txt"); }, (result_ / "_result.txt").string(),
       "no such file"},
      {"truncated report",
       [&] { std::ofstream(result_ / "_result.txt") << report.substr(0, report.size() - 30); },
       (result_ / "_result.txt").string(), "truncated"},
      {"garbled line",
       [&] {
         std::ofstream(result_ / "_result.txt")
             << report.substr(0, report.find('\n', report.find('\n') + 1) + 1) << "2         OK        x\n";
       },
       (result_ / "_result.txt").string() + ", line 3", "expected"},
      {"missing image", [&] { fs::remove(base_ / "0002.tif"); }, (base_ / "0002.tif").string(), "missing"},
      {"corrupt image", [&] { std::ofstream(result_ / "0001.tif") << "II*\0garbage that is no image"; },
       (result_ / "0001.tif").string(), "TIFF"},
      {"cut image", [&] { fs::resize_file(result_ / "0002.tif", fs::file_size(result_ / "0002.tif") / 2); },
       (result_ / "0002.tif").string(), "TIFF"},
      {"another size", [&] { WriteTiff(base_ / "0001.tif", 41, 30, 100); }, (base_ / "0001.tif").string(),
       "41 x 30"},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_EQ(RunReport(root_, Check()).status, 0);
    c.damage();
    const Outcome bad = RunReport(root_, Check());
    EXPECT_EQ(bad.status, 2) << c.what << ": " << bad.out;
    EXPECT_NE(bad.err.find(c.named), std::string::npos) << c.what << ": " << bad.err;
    EXPECT_NE(bad.err.find(c.says), std::string::npos) << c.what << ": " << bad.err;
    EXPECT_EQ(Written(), outputs) << c.what << ": something besides the last good report was left";
    EXPECT_EQ(ReadFile(result_ / "_report.html"), page) << c.what;
  }

  // a usage error, and a comparison checked without its base
  SetUp();
  EXPECT_EQ(RunReport(root_, {"check", result_.string(), "--fail-pixels", "many"}).status, 2);
  const Outcome noBase = RunReport(root_, {"check", result_.string()});
  EXPECT_EQ(noBase.status, 2);
  EXPECT_NE(noBase.err.find("--reference"), std::string::npos) << noBase.err;
  EXPECT_TRUE(Written().empty());
}

TEST_F(RelkitReportInput, ReadsAColumnThatFillsItsWidthAndJudgesASlowerRender) {
  // 10.00 s against 0.01 s: Trel "+99900.00%" fills its column, and Diff follows without a blank
  std::ofstream(result_ / "_result.txt")
      << "16.050    Status    Tnew      Told      Trel      Diff      Name\n"
      << Line({"1", "OK", "10.00", "0.01", "+99900.00%", "None"}, "a.zor")
      << Line({"2", "OK", "2.00", "2.00", "0.00%", "None"}, "b.zor");
  const Outcome warned = RunReport(root_, Check());
  EXPECT_EQ(warned.status, 0) << warned.err;
  const json summary = json::parse(ReadFile(result_ / "_summary.json"));
  EXPECT_EQ(summary["scenes"][0]["status"], "WARN");
  EXPECT_DOUBLE_EQ(summary["scenes"][0]["trel"].get<double>(), 999.0);
  EXPECT_EQ(summary["scenes"][0]["diff"].get<double>(), 0.0);
  EXPECT_EQ(summary["scenes"][1]["status"], "PASS");

  std::vector<std::string> strict = Check();
  strict.push_back("--fail-on-time");
  EXPECT_EQ(RunReport(root_, strict).status, 1);
  EXPECT_EQ(json::parse(ReadFile(result_ / "_summary.json"))["scenes"][0]["status"], "FAIL");
}

TEST_F(RelkitReportInput, ApprovesChosenScenesOnly) {
  WriteTiff(result_ / "0002.tif", 40, 30, 0);
  WriteTiff(result_ / "0001.tif", 40, 30, 80);
  EXPECT_EQ(RunReport(root_, Check()).status, 1);
  const std::string before = ReadFile(base_ / "0001.tif");

  EXPECT_EQ(RunReport(root_, {"approve", result_.string(), "--into", base_.string(), "--scene", "5"}).status,
            2);
  const Outcome approve =
      RunReport(root_, {"approve", result_.string(), "--into", base_.string(), "--scene", "2"});
  EXPECT_EQ(approve.status, 0) << approve.err;
  EXPECT_EQ(ReadFile(base_ / "0002.tif"), ReadFile(result_ / "0002.tif"));
  EXPECT_EQ(ReadFile(base_ / "0001.tif"), before);
  EXPECT_NE(ReadFile(base_ / "_result.txt").find(Line({"2", "CREATED", "2.00", "", "", ""}, "b.zor")),
            std::string::npos);
  RunReport(root_, Check());
  const json summary = json::parse(ReadFile(result_ / "_summary.json"));
  EXPECT_EQ(summary["scenes"][0]["status"], "FAIL");
  EXPECT_EQ(summary["scenes"][1]["status"], "PASS");
}

}  // namespace
