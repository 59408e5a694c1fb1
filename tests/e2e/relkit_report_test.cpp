// relkit-report end to end: on result folders zorhost renders and on folders written by hand.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <functional>
#include <future>
#include <regex>

#include "e2e/run_folders.h"
#include "rgb_tiff.h"

namespace {

using e2e::Outcome;
using e2e::ReadFile;

using e2e::RunReport;

// what the regular expression (or one of its groups) matches in text, sorted unless in_order
std::vector<std::string> AllMatches(const std::string& text, const std::string& pattern, int group = 0,
                                    bool in_order = false) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.push_back((*it)[group]);
  if (!in_order) std::sort(found.begin(), found.end());
  return found;
}

int Matches(const std::string& text, const std::string& pattern) {
  return int(AllMatches(text, pattern).size());
}

json Summary(const fs::path& result) {
  return json::parse(ReadFile(result / "_summary.json"));
}

// the verdict words of the summary's scenes, in order
std::vector<std::string> Verdicts(const fs::path& result) {
  std::vector<std::string> words;
  const json summary = Summary(result);
  for (const json& s : summary["scenes"]) words.push_back(s["status"]);
  return words;
}

// what a check writes into the result folder
const std::vector<std::string> kOutputs = {"_junit.xml", "_report.html", "_report_files", "_summary.json",
                                           "_summary.md"};

// What a test could not check on this machine, said when it ends.
std::string g_notChecked;

void ExpectValidJunit(const fs::path& file) {
  if (!e2e::ExpectValidJunit(file))
    g_notChecked += "xmllint is not installed (libxml2-utils): _junit.xml was not checked. ";
}

// The page as headless Chromium leaves it after its own ?selftest has run ("" without Chromium), and
// what that self-test wrote into it; a page whose script wrote nothing fails the test.
std::pair<std::string, json> OpenPage(const fs::path& root, const fs::path& page) {
  const std::optional<std::string> dom = e2e::PageInChromium(page, root / "chromium", "selftest");
  if (!dom) {
    g_notChecked += "chromium is not installed: the report page was not opened in a browser. ";
    return {};
  }
  const std::vector<std::string> text = AllMatches(*dom, "<pre id=\"selftest\">([^<]*)</pre>", 1);
  if (text.size() != 1) {
    ADD_FAILURE() << "the page's script did not run: " << dom->substr(0, 2000);
    return {*dom, nullptr};
  }
  return {*dom, json::parse(std::regex_replace(std::regex_replace(text[0], std::regex("&quot;"), "\""),
                                               std::regex("&amp;"), "&"))};
}

class RelkitReport : public e2e::RunFoldersTest {
 protected:
  RelkitReport() : RunFoldersTest("relkit_report_e2e_") {}

  void Renderator(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = {"--headless", "-renderator", scenes_.string()};
    args.insert(args.end(), arguments.begin(), arguments.end());
    const e2e::HostOutcome run = e2e::RunHost(root_, args);
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // Render times on a shared test machine vary too much for the time limit to be part of these tests.
  Outcome CheckAgainst(const fs::path& base, int n, std::vector<std::string> more = {}) {
    more.insert(more.begin(),
                {"check", Result(n).string(), "--reference", base.string(), "--time-floor", "1000"});
    return RunReport(more);
  }
};

TEST_F(RelkitReport, AnErrorSceneSaysWhyOnThePageAndInJunit) {
  json engineless = e2e::SmallScene();
  engineless["renderSettings"]["5300"] = 999;
  WriteScene("a.zor", e2e::SmallScene());
  WriteScene("b.zor", "{ not a scene");
  WriteScene("c.zor", engineless);
  ASSERT_NO_FATAL_FAILURE(Renderator({}));
  EXPECT_EQ(Matches(ReadFile(Result(1) / "_errors.jsonl"), "\"stage\":\"load\""), 1);

  const Outcome check = RunReport({"check", Result(1).string()});
  EXPECT_EQ(check.status, 1) << check.err;
  const json scenes = Summary(Result(1))["scenes"];
  const std::string junit = ReadFile(Result(1) / "_junit.xml");
  // the host's message first, as a CI server shows that one; without one only the Renderator's word
  const std::pair<int, const char*> causes[] = {{1, "not loaded: "},
                                                {2, "render failed: unknown render engine 999"}};
  for (const auto& [index, cause] : causes) {
    const json& scene = scenes[index];
    EXPECT_EQ(scene["status"], "ERROR");
    ASSERT_EQ(scene["reasons"].size(), 2u) << scene;
    EXPECT_TRUE(std::regex_search(scene["reasons"][0].get<std::string>(), std::regex(cause))) << scene;
    const std::string testcase = "<testcase name=\"" + scene["name"].get<std::string>() + "\"[^>]*>";
    EXPECT_EQ(Matches(junit, testcase + "\\s*<error message=\"" + cause), 1) << junit;
  }
  ExpectValidJunit(Result(1) / "_junit.xml");
  // on the page the two errors come first; j and k step from one to the other
  if (auto [dom, selftest] = OpenPage(root_, Result(1) / "_report.html"); !dom.empty()) {
    EXPECT_EQ(selftest["order"], e2e::Args("ERROR", "ERROR", "NEW"));
    EXPECT_EQ(selftest["detail"]["scene"], 2);
    EXPECT_EQ(selftest["keys"], json({{"j", 3}, {"k", 2}}));
  }

  // garbage beside the report does not stop the check, and names nothing
  std::ofstream(Result(1) / "_errors.jsonl") << "[1]\n{\"scene\": 3}\n\xff\xfe{\n";
  ASSERT_EQ(RunReport({"check", Result(1).string()}).status, 1);
  EXPECT_EQ(Summary(Result(1))["scenes"][1]["reasons"].size(), 1u);
}

TEST_F(RelkitReport, JudgesTheSamplesAndSeesAnInsertedScene) {
  fs::copy(fs::path(RELKIT_SOURCE_DIR) / "examples" / "scenes", scenes_, fs::copy_options::recursive);
  // A quarter of their size each way: four runs over the samples stay short in the sanitizer build.
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(scenes_)) {
    if (e.path().extension() != ".zor") continue;
    json scene = json::parse(ReadFile(e.path()));
    scene["renderSettings"].update({{"5008", 160.0}, {"5009", 120.0}});
    std::ofstream(e.path()) << scene.dump(2);
  }
  ASSERT_NO_FATAL_FAILURE(Renderator({}));
  const fs::path base = Result(1);

  // unchanged: every scene passes
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  Outcome check = CheckAgainst(base, 2);
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_TRUE(check.Said("report: " + (Result(2) / "_report.html").string())) << check.out;
  const std::string junit = ReadFile(Result(2) / "_junit.xml");
  EXPECT_EQ(Matches(junit, "<testcase "), 17);
  EXPECT_EQ(Matches(junit, "<failure|<error|<skipped"), 0);
  ExpectValidJunit(Result(2) / "_junit.xml");
  EXPECT_EQ(Verdicts(Result(2)), std::vector<std::string>(17, "PASS"));

  // a moved light fails that scene only, with its figures
  json scene = json::parse(ReadFile(scenes_ / "basics" / "spheres_standard.zor"));
  scene["lights"][0]["position"][0] = -6;
  WriteScene("basics/spheres_standard.zor", scene);
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  check = CheckAgainst(base, 3);
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  std::vector<std::string> expected(17, "PASS");
  expected[3] = "FAIL";
  EXPECT_EQ(Verdicts(Result(3)), expected);
  const json failed = Summary(Result(3))["scenes"][3];
  EXPECT_EQ(failed["name"], "basics/spheres_standard.zor");
  EXPECT_GT(failed["pixelShare"].get<double>(), 0.01);
  EXPECT_GT(failed["diff"].get<double>(), 0.0);
  const std::string failedJunit = ReadFile(Result(3) / "_junit.xml");
  EXPECT_EQ(Matches(failedJunit, "<failure "), 1);
  const std::string attached =
      "<testcase name=\"basics/spheres_standard.zor\" classname=\"relkit.renderator\"[^>]*>"
      "\\s*<failure [\\s\\S]*?</failure>\\s*<system-out>\\[\\[ATTACHMENT\\|";
  EXPECT_EQ(Matches(failedJunit, attached), 1) << failedJunit;
  // its four pictures attached, each a file that is there
  const std::vector<std::string> pictures =
      AllMatches(failedJunit, "\\[\\[ATTACHMENT\\|([^\\]]*0004-(new|ref|diff|amp)\\.png)\\]\\]", 1);
  EXPECT_EQ(pictures.size(), 4u);
  for (const std::string& picture : pictures) EXPECT_TRUE(fs::is_regular_file(picture)) << picture;
  // a CI server follows a scene from run to run by class and name: both runs name their cases alike
  const std::string testcase = "<testcase name=\"[^\"]*\" classname=\"[^\"]*\"";
  EXPECT_EQ(AllMatches(junit, testcase), AllMatches(failedJunit, testcase));
  EXPECT_EQ(Matches(failedJunit, "pixels over threshold [1-9][0-9]* of 19200"), 1) << failedJunit;
  ExpectValidJunit(Result(3) / "_junit.xml");

  // a scene inserted after the base shifts the scenes behind it: flagged, never compared silently
  fs::copy_file(scenes_ / "basics" / "boxes_preview.zor", scenes_ / "basics" / "boxes_second.zor");
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  check = CheckAgainst(base, 4);
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_TRUE(check.Said("(scene list changed)")) << check.out;
  const json changed = Summary(Result(4));
  EXPECT_TRUE(changed["sceneListChanged"].get<bool>());
  EXPECT_EQ(Verdicts(Result(4))[0], "PASS");
  EXPECT_EQ(Verdicts(Result(4))[1], "FAIL");
  EXPECT_TRUE(e2e::Contains(changed["scenes"][1]["reasons"][0].get<std::string>(), "scene list changed"));
  // approving that result is refused unless forced
  const Outcome refused = RunReport({"approve", Result(4).string(), "--into", base.string()});
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(refused.Complained("scene list changed")) << refused.err;

  // the failing run's page: its thumbnails load, it shows the counts, and its filter hides the rest
  auto [dom, selftest] = OpenPage(root_, Result(3) / "_report.html");
  if (dom.empty()) GTEST_SKIP() << g_notChecked;
  const json summary = Summary(Result(3));
  int thumbnails = 0;
  for (const json& s : summary["scenes"])
    for (const char* kind : {"new", "difference"})
      thumbnails += !s["pictures"][kind].get<std::string>().empty();
  EXPECT_EQ(selftest["images"], thumbnails);
  EXPECT_EQ(selftest["imagesLoaded"], thumbnails) << "a thumbnail did not load";

  // the counts as the page shows them
  for (const auto& [word, count] : summary["counts"].items())
    EXPECT_EQ(
        AllMatches(dom, "id=\"count-" + word + "\"[^>]*>" + word + " <b class=\"count\">([0-9]+)</b>", 1),
        e2e::Args(std::to_string(count.get<int>())))
        << word;
  // after the filter was switched on, every row that is neither a failure nor a warning is hidden
  const int rows = int(summary["scenes"].size());
  int failing = 0;
  for (const char* word : {"FAIL", "ERROR", "MISSING", "WARN"}) failing += summary["counts"].value(word, 0);
  const std::string row = "<tr class=\"scene st-[A-Z]+\" data-status=\"[A-Z]+\"";
  EXPECT_EQ(Matches(dom, row + "( style=\"display: none;\")?>"), rows);
  EXPECT_EQ(Matches(dom, "<tr class=\"scene st-(FAIL|ERROR|MISSING|WARN)\" data-status=\"[A-Z]+\">"),
            failing);
  EXPECT_EQ(Matches(dom, row + " style=\"display: none;\">"), rows - failing);
  EXPECT_GT(failing, 0);
  EXPECT_GT(rows, failing);
  if (!g_notChecked.empty()) GTEST_SKIP() << g_notChecked;
}

// One scene of three fails: the page lists it first and opens it close up at full size, where the slider,
// zoom and pointer change what it shows; screenshots of the pages are kept.
TEST_F(RelkitReport, ThePageShowsAFailingSceneCloseUp) {
  constexpr int kWidth = 96, kHeight = 72;
  for (const char* name : {"a.zor", "b.zor", "c.zor"}) WriteScene(name, e2e::SmallScene(kWidth, kHeight));
  ASSERT_NO_FATAL_FAILURE(Renderator({}));
  const fs::path base = Result(1);
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  json moved = e2e::SmallScene(kWidth, kHeight);
  moved["lights"][0]["position"] = {-4, 6, -4};
  WriteScene("b.zor", moved);
  ASSERT_NO_FATAL_FAILURE(Renderator({base.string()}));
  ASSERT_EQ(CheckAgainst(base, 2).status, 0);

  // full-size images (0 none, 1 written, 2 named but not there): for the failing scene, all, or none
  const std::pair<std::vector<std::string>, std::vector<int>> writes[] = {
      {{"--full-images", "none"}, {0, 0, 0}}, {{"--full-images=all"}, {1, 1, 1}}, {{}, {0, 1, 0}}};
  for (const auto& [option, want] : writes) {
    const Outcome run = CheckAgainst(base, 3, option);
    ASSERT_EQ(run.status, 1) << run.err;
    const json scenes = Summary(Result(3))["scenes"];
    for (const char* kind : {"new", "ref", "diff", "pixels"}) {
      std::vector<int> full;
      for (const json& scene : scenes) {
        const std::string file = scene["pictures"]["full"][kind];
        full.push_back(file.empty() ? 0 : fs::is_regular_file(Result(3) / file) ? 1 : 2);
      }
      EXPECT_EQ(full, want) << kind << " " << (option.empty() ? "" : option.back());
    }
  }
  EXPECT_EQ(Verdicts(Result(3)), e2e::Args("PASS", "FAIL", "PASS"));

  auto [dom, selftest] = OpenPage(root_, Result(3) / "_report.html");
  if (dom.empty()) GTEST_SKIP() << g_notChecked;
  EXPECT_EQ(selftest["order"], e2e::Args("FAIL", "PASS", "PASS"));
  const json detail = selftest["detail"];
  EXPECT_TRUE(detail["open"].get<bool>());
  EXPECT_EQ(detail["scene"], 2);
  for (const char* view : {"full-new", "full-ref", "full-diff"}) {
    EXPECT_TRUE(e2e::Contains(detail[view]["src"].get<std::string>(), "0002-full-")) << detail;
    EXPECT_EQ(detail[view]["naturalWidth"], kWidth) << view;
    EXPECT_EQ(detail[view]["naturalHeight"], kHeight) << view;
  }
  // the slider cuts the new image over the reference at 50 %, then at 20 %; the flip shows one whole
  EXPECT_EQ(selftest["slider"]["before"], "inset(0px 50% 0px 0px)");
  EXPECT_EQ(selftest["slider"]["after"], "inset(0px 80% 0px 0px)");
  EXPECT_EQ(selftest["slider"]["flipped"], "inset(0px 0% 0px 0px)");
  // the wheel and the button zoom in, each by its step; a drag moves every view as far as the pointer
  const auto number = [&](const char* when, const char* pattern) {
    return std::stod(AllMatches(selftest["zoom"][when], pattern, 1).at(0));
  };
  const char *scale = "scale\\(([0-9.]+)\\)", *x = "translate\\((-?[0-9.]+)px", *y = "px, (-?[0-9.]+)px\\)";
  EXPECT_EQ(std::vector({number("before", scale), number("afterWheel", scale), number("afterButton", scale)}),
            std::vector({1.0, 1.25, 2.5}));
  EXPECT_NEAR(number("afterDrag", x) - number("afterButton", x), 20, 0.01) << selftest["zoom"];
  EXPECT_NEAR(number("afterDrag", y) - number("afterButton", y), 15, 0.01) << selftest["zoom"];
  EXPECT_TRUE(selftest["zoom"]["locked"].get<bool>());
  // the values under the pointer are the images' own
  uint32_t w = 0, h = 0;
  std::string expected = "x " + std::to_string(kWidth / 2) + "  y " + std::to_string(kHeight / 2);
  for (const auto& [folder, label] : {std::pair(Result(3), "new"), std::pair(base, "reference")}) {
    const std::vector<uint8_t> rgb = test_support::ReadTiffRgb(folder / "0002.tif", w, h);
    ASSERT_EQ(w, uint32_t(kWidth));
    const uint8_t* at = &rgb[3 * (size_t(kHeight / 2) * w + kWidth / 2)];
    char values[64];
    std::snprintf(values, sizeof values, "   %s R G B %3d %3d %3d", label, at[0], at[1], at[2]);
    expected += values;
  }
  EXPECT_EQ(selftest["pixel"], expected);

  // for a person to look at: in $RELKIT_TEST_ARTIFACTS, else in test-artifacts in the build folder
  const char* given = std::getenv("RELKIT_TEST_ARTIFACTS");
  const fs::path artifacts =
      given && *given ? fs::path(given)
                      : fs::path(RELKIT_REPORT_PATH).parent_path().parent_path() / "test-artifacts";
  fs::create_directories(artifacts);
  const std::tuple<int, const char*, const char*> shots[] = {
      {2, "", "passing"}, {3, "", "failing"}, {3, "scene=2", "detail"}};  // run, query, name
  for (const auto& [run, query, name] : shots) {
    const fs::path file = artifacts / ("relkit-report-" + std::string(name) + ".png");
    fs::remove(file);
    e2e::PageInChromium(Result(run) / "_report.html", root_ / "chromium", query,
                        {"--hide-scrollbars", "--window-size=1400,1000", "--screenshot=" + file.string()});
    EXPECT_GT(fs::exists(file) ? fs::file_size(file) : 0, 10000u) << file;
  }
  std::cout << "screenshots of the report page in " << artifacts.string() << "\n";
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
    base_ = Result(1);
    result_ = Result(2);
    for (const fs::path& folder : {base_, result_}) {
      fs::create_directories(folder);
      WriteTiff(folder / "0001.tif", 40, 30, 100);
      WriteTiff(folder / "0002.tif", 40, 30, 200);
    }
    std::ofstream(base_ / "_result.txt") << e2e::kReportHeader << Line({"1", "CREATED", "1.00"}, "a.zor")
                                         << Line({"2", "CREATED", "2.00"}, "b.zor");
    std::ofstream(result_ / "_result.txt")
        << e2e::kReportHeader << Line({"1", "OK", "1.00", "1.00", "0.00%", "None"}, "a.zor")
        << Line({"2", "OK", "2.00", "2.00", "0.00%", "None"}, "b.zor");
  }

  // a line as the Renderator writes it: six columns padded to ten characters (a longer text whole)
  std::string Line(std::vector<std::string> columns, const char* scene) const {
    columns.resize(6);
    std::string text;
    for (const std::string& c : columns) text += c + std::string(c.size() < 10 ? 10 - c.size() : 0, ' ');
    return text + (scenes_ / scene).string() + "\n";
  }

  // line k (1 for the first after the header) of the folder's report replaced by text
  static void ReplaceLine(const fs::path& folder, int k, const std::string& text) {
    std::istringstream in(ReadFile(folder / "_result.txt"));
    std::string report, line;
    for (int i = 0; std::getline(in, line); ++i) report += i == k ? text : line + "\n";
    std::ofstream(folder / "_result.txt") << report;
  }

  std::vector<std::string> Check(std::vector<std::string> more = {}) const {
    more.insert(more.begin(), {"check", result_.string(), "--reference", base_.string()});
    return more;
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
  const Outcome good = RunReport(Check());
  ASSERT_EQ(good.status, 0) << good.err;
  ASSERT_EQ(Written(), kOutputs);
  const std::string page = ReadFile(result_ / "_report.html");

  struct Case {
    const char* what;
    std::function<void()> damage;
    std::string named;  // the file the message must name
    const char* says;
  };
  const fs::path report = result_ / "_result.txt", image1 = result_ / "0001.tif";
  const std::string text = ReadFile(report);
  const auto put = [](const fs::path& file, const std::string& content) { std::ofstream(file) << content; };
  const auto replace = [&](int k, const std::vector<std::string>& columns, const char* scene) {
    return [=, this] { ReplaceLine(result_, k, Line(columns, scene)); };
  };
  const std::vector<Case> cases = {
      {"no report", [&] { fs::remove(report); }, report, "no such file"},
      {"truncated report", [&] { put(report, text.substr(0, text.size() - 30)); }, report, "truncated"},
      {"garbled line", [&] { ReplaceLine(result_, 2, "2         OK        x\n"); },
       report.string() + ", line 3", "expected"},
      {"missing image", [&] { fs::remove(base_ / "0002.tif"); }, base_ / "0002.tif", "missing"},
      {"corrupt image", [&] { put(image1, "II*\0garbage that is no image"); }, image1, "TIFF"},
      {"another size", [&] { WriteTiff(base_ / "0001.tif", 41, 30, 100); }, base_ / "0001.tif", "41 x 30"},
      {"scene number beyond int", replace(1, {"4294967297", "OK", "1.00", "1.00", "0.00%", "None"}, "a.zor"),
       report.string() + ", line 2", "too large"},
      {"Tnew of 400 digits",
       replace(2, {"2", "OK", std::string(400, '9') + ".00", "2.00", "", "None"}, "b.zor"),
       report.string() + ", line 3", "not a plausible render time"},
      {"report that is a FIFO", [&] { fs::remove(report), ::mkfifo(report.c_str(), 0644); }, report,
       "not a regular file"},
      {"reference report linked to /dev/zero",
       [&] { fs::remove(base_ / "_result.txt"), fs::create_symlink("/dev/zero", base_ / "_result.txt"); },
       base_ / "_result.txt", "not a regular file"},
      // 14 bytes of pixels under a header claiming 11585 x 11585 of grey: refused before they are allocated
      {"image larger than its file",
       [&] { put(image1, test_support::TiffDirectoryFirst(PHOTOMETRIC_MINISBLACK, 1, 11585, 11585, 14)); },
       image1, "TIFF"},
  };
  for (const Case& c : cases) {
    SetUp();
    ASSERT_EQ(RunReport(Check()).status, 0);
    c.damage();
    const Outcome bad = RunReport(Check());
    EXPECT_EQ(bad.status, 2) << c.what << ": " << bad.out;
    EXPECT_LT(bad.peak_kilobytes, 200 * 1024) << c.what;
    EXPECT_TRUE(bad.Complained(c.named)) << c.what << ": " << bad.err;
    EXPECT_TRUE(bad.Complained(c.says)) << c.what << ": " << bad.err;
    EXPECT_EQ(Written(), kOutputs) << c.what << ": something besides the last good report was left";
    EXPECT_EQ(ReadFile(result_ / "_report.html"), page) << c.what;
  }
}

TEST_F(RelkitReportInput, ReadsAColumnThatFillsItsWidthAndJudgesASlowerRender) {
  // 10.00 s against 0.01 s: Trel "+99900.00%" fills its column, and Diff follows without a blank
  ReplaceLine(result_, 1, Line({"1", "OK", "10.00", "0.01", "+99900.00%", "None"}, "a.zor"));
  const Outcome warned = RunReport(Check());
  EXPECT_EQ(warned.status, 0) << warned.err;
  const json slow = Summary(result_)["scenes"][0];
  EXPECT_EQ(Verdicts(result_), e2e::Args("WARN", "PASS"));
  EXPECT_DOUBLE_EQ(slow["trel"].get<double>(), 999.0);
  EXPECT_EQ(slow["diff"].get<double>(), 0.0);
  EXPECT_FALSE(slow["pictures"]["full"]["new"].get<std::string>().empty()) << "a WARN gets a closer look";
  // on the page: the warning first, kept by the filter, its row and bar marked slow, the bar named
  if (auto [dom, selftest] = OpenPage(root_, result_ / "_report.html"); !dom.empty()) {
    EXPECT_EQ(selftest["order"], e2e::Args("WARN", "PASS"));
    EXPECT_EQ(selftest["visibleAfterFilter"], e2e::Args("WARN"));
    EXPECT_EQ(Matches(dom, "<td>a.zor</td><td class=\"status\">WARN</td><td class=\"num slow\""), 1) << dom;
    EXPECT_EQ(Matches(dom, "class=\"num slow\""), 1);
    EXPECT_EQ(Matches(dom, "<title>1 a.zor: new 10.00 s, reference 0.01 s, over the time limit</title>"), 1);
    EXPECT_EQ(Matches(dom, "class=\"new slow\""), 1);
  }

  EXPECT_EQ(RunReport(Check({"--fail-on-time"})).status, 1);
  EXPECT_EQ(Verdicts(result_)[0], "FAIL");

  // pixels that fail are judged before the slower render's warning, which must not lower the verdict
  WriteTiff(result_ / "0001.tif", 40, 30, 150);
  EXPECT_EQ(RunReport(Check()).status, 1);
  EXPECT_EQ(Verdicts(result_)[0], "FAIL");
}

TEST_F(RelkitReportInput, APixelDiffersOnlyWhenAChannelChangedByMoreThanTheThreshold) {
  WriteTiff(result_ / "0001.tif", 40, 30, 110);  // 10 of 255: the default threshold, not over it
  ASSERT_EQ(RunReport(Check()).status, 0);
  EXPECT_EQ(Summary(result_)["scenes"][0]["pixelsOver"].get<int>(), 0);
  WriteTiff(result_ / "0001.tif", 40, 30, 111);
  EXPECT_EQ(RunReport(Check()).status, 1);
  EXPECT_EQ(Summary(result_)["scenes"][0]["pixelsOver"].get<int>(), 40 * 30);
}

TEST_F(RelkitReportInput, ApprovesChosenScenesOnly) {
  // a version text that fills its column runs into "Status": approving must not make it grow
  const std::string header = "2147483.647Status    Tnew      Told      Trel      Diff      Name";
  ReplaceLine(base_, 0, header + "\n");
  WriteTiff(result_ / "0002.tif", 40, 30, 0);
  WriteTiff(result_ / "0001.tif", 40, 30, 80);
  EXPECT_EQ(RunReport(Check()).status, 1);
  const std::string before = ReadFile(base_ / "0001.tif");

  const auto approveScene = [&](const char* n) {
    return RunReport({"approve", result_.string(), "--into", base_.string(), "--scene", n});
  };
  EXPECT_EQ(approveScene("5").status, 2);
  const Outcome approve = approveScene("2");
  EXPECT_EQ(approve.status, 0) << approve.err;
  EXPECT_EQ(ReadFile(base_ / "0002.tif"), ReadFile(result_ / "0002.tif"));
  EXPECT_EQ(ReadFile(base_ / "0001.tif"), before);
  EXPECT_TRUE(e2e::Contains(ReadFile(base_ / "_result.txt"), Line({"2", "CREATED", "2.00"}, "b.zor")));
  RunReport(Check());
  EXPECT_EQ(Verdicts(result_), e2e::Args("FAIL", "PASS"));
  EXPECT_EQ(approveScene("2").status, 0);
  EXPECT_TRUE(ReadFile(base_ / "_result.txt").starts_with(header + "\n"));

  // the base's lines stay without gaps; a run cut short (a PENDING line) still reads
  std::ofstream(result_ / "_result.txt", std::ios::app)
      << Line({"3", "CREATED", "1.00"}, "c.zor") << Line({"4", "CREATED", "1.00"}, "d.zor")
      << Line({"5", "PENDING", "0.00"}, "e.zor");
  for (const char* image : {"0003.tif", "0004.tif"}) WriteTiff(result_ / image, 40, 30, 0);
  const Outcome gap = approveScene("4");
  EXPECT_EQ(gap.status, 2);
  EXPECT_TRUE(e2e::Contains(gap.err, "approve scene 3 before scene 4")) << gap.err;
  EXPECT_EQ(RunReport(Check()).status, 1);
}

// Scene names of any bytes: JUnit stays well-formed XML, the summary valid UTF-8 JSON, and the page
// runs its script and shows each name; a byte or character that cannot stand is shown escaped.
TEST_F(RelkitReportInput, NamesOfAnyBytesKeepEveryOutputWellFormed) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"a<!--<script>.zor", "a<!--<script>.zor"},
      {"a</script><b>&amp;.zor", "a</script><b>&amp;.zor"},
      {"nonchar\xEF\xBF\xBE.zor", "nonchar\\uFFFE.zor"},
      {"surrogate\xED\xA0\x80.zor", "surrogate\\xED\\xA0\\x80.zor"},
      {"latin\xE9.zor", "latin\\xE9.zor"},
      {"control\x01.zor", "control\\u0001.zor"},
      {"line\xE2\x80\xA8separator.zor", "line\xE2\x80\xA8separator.zor"}};
  std::ofstream report(base_ / "_result.txt");
  report << e2e::kReportHeader;
  for (size_t i = 0; i < names.size(); ++i) {
    report << Line({std::to_string(i + 1), "CREATED", "1.00"}, names[i].first.c_str());
    WriteTiff(base_ / ("000" + std::to_string(i + 1) + ".tif"), 4, 3, 100);
  }
  report.close();
  const Outcome check = RunReport({"check", base_.string()});
  ASSERT_EQ(check.status, 0) << check.err;

  ExpectValidJunit(base_ / "_junit.xml");
  const json summary = Summary(base_);  // throws on invalid UTF-8
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(summary["scenes"][i]["name"], names[i].second) << i;
  const std::string page = ReadFile(base_ / "_report.html");
  const size_t data = page.find("<script id=\"report-data\"");
  EXPECT_EQ(page.find("<!--", data), std::string::npos);
  EXPECT_EQ(json::parse(page.substr(page.find('>', data) + 1,
                                    page.find("</script", data) - page.find('>', data) - 1)),
            summary);
  const std::string dom = OpenPage(root_, base_ / "_report.html").first;  // fails if its script did not run
  if (dom.empty()) GTEST_SKIP() << g_notChecked;
  EXPECT_TRUE(e2e::Contains(dom, "<td>a&lt;!--&lt;script&gt;.zor</td>")) << dom.substr(0, 3000);
  EXPECT_TRUE(e2e::Contains(dom, "<td>a&lt;/script&gt;&lt;b&gt;&amp;amp;.zor</td>"));
}

// What a check with the hostile history may hold at its peak. The thread sanitizer's shadow of every
// byte touched takes a check past 300 MiB there; the whole file would still be far more.
#if defined(__SANITIZE_THREAD__)
constexpr long kHistoryPeakKilobytes = 1024 * 1024;
#else
constexpr long kHistoryPeakKilobytes = 300 * 1024;
#endif

// Three checks with one history, the second of which fails a scene. The history starts as a hostile
// file (4 GiB of nothing, sparse, no line end) and a check dies while appending after the first run.
TEST_F(RelkitReportInput, AHistoryFollowsEachSceneOverRunsAndMarkdownListsTheFailures) {
  const std::string name = "b|`c`.zor";
  ReplaceLine(base_, 2, Line({"2", "CREATED", "2.00"}, name.c_str()));
  ReplaceLine(result_, 2, Line({"2", "OK", "2.00", "2.00", "0.00%", "None"}, name.c_str()));
  const std::vector<fs::path> runs = {result_, Result(3), Result(4)};
  for (size_t i = 1; i < runs.size(); ++i) fs::copy(result_, runs[i], fs::copy_options::recursive);
  WriteTiff(runs[1] / "0002.tif", 40, 30, 0);
  const fs::path history = root_ / "history", file = history / "relkit-history.jsonl";
  fs::create_directories(history);
  std::ofstream(file).close();
  fs::resize_file(file, std::uintmax_t(4) << 30);
  const std::string torn = R"({"run":"torn","time":"t","scenes":[["b.zor","FAIL")";
  for (size_t i = 0; i < runs.size(); ++i) {
    const Outcome check =
        RunReport({"check", runs[i].string(), "--reference", base_.string(), "--history", history.string()});
    EXPECT_EQ(check.status, i == 1 ? 1 : 0) << check.err;
    EXPECT_LT(check.peak_kilobytes, kHistoryPeakKilobytes) << "the history was not read with a bound";
    if (i == 0) std::ofstream(file, std::ios::app) << torn;
  }

  // after the hole: the three records, each on its own line, and the torn one left as it was
  std::ifstream in(file, std::ios::binary);
  in.seekg(-(1 << 16), std::ios::end);  // the file is far too large to read whole
  const std::string tail{std::istreambuf_iterator<char>(in), {}}, after = tail.substr(tail.rfind('\0') + 1);
  const std::vector<std::string> lines = AllMatches(after, "[^\n]+", 0, true);
  ASSERT_EQ(lines.size(), 4u) << after;
  EXPECT_EQ(lines[1], torn);
  // each run's record there, and the marks of the last run's summary, oldest first
  const json scenes = Summary(runs[2])["scenes"];
  const json& marks = scenes[1]["history"];
  ASSERT_EQ(marks.size(), 3u) << scenes[1];
  const int at[] = {0, 2, 3};
  const std::vector<std::string> statuses = e2e::Args("PASS", "FAIL", "PASS");
  for (size_t r = 0; r < 3; ++r) {
    const json record = json::parse(lines[size_t(at[r])]);
    EXPECT_EQ(record["run"], runs[r].filename().string());
    EXPECT_EQ(record["scenes"][1][0], name);
    EXPECT_EQ(record["scenes"][1][1], statuses[r]);
    EXPECT_EQ(marks[r]["status"], statuses[r]);
    EXPECT_TRUE(marks[r]["run"].get<std::string>().starts_with(runs[r].filename().string() + " 20"))
        << marks[r];
  }
  EXPECT_DOUBLE_EQ(marks[1]["over"].get<double>(), 1.0);
  EXPECT_DOUBLE_EQ(marks[1]["tnew"].get<double>(), 2.0);
  const std::string secondRun = marks[1]["run"];
  EXPECT_EQ(scenes[1]["firstFailed"], secondRun);
  EXPECT_EQ(scenes[0]["history"].size(), 3u);
  EXPECT_TRUE(scenes[0]["firstFailed"].is_null());

  // the failing run's Markdown: counts, then its failing scene with the name escaped
  EXPECT_EQ(
      AllMatches(ReadFile(runs[1] / "_summary.md"), "(^|\n)(\\|[^\n]*)", 2, true),
      e2e::Args("| PASS | WARN | FAIL | ERROR | NEW | MISSING | scenes |",
                "|---:|---:|---:|---:|---:|---:|---:|", "| 1 | 0 | 1 | 0 | 0 | 0 | 2 |",
                "| verdict | # | scene | Diff | pixels over | Tnew vs Told | why |",
                "|---|---:|---|---:|---:|---|---|",
                "| FAIL | 2 | b\\|\\`c\\`.zor | 0.00% | 1200 (100.00%) | 2.00 s vs 2.00 s | "
                "1200 of 1200 pixels (100.00%) differ by more than 10, over the failure limit 1.00% |"));
  EXPECT_TRUE(e2e::Contains(ReadFile(runs[2] / "_summary.md"), "No scene failed or warned."));

  // the page draws the marks in headless Chromium
  const std::string dom = OpenPage(root_, runs[2] / "_report.html").first;
  if (dom.empty()) GTEST_SKIP() << g_notChecked;
  const std::vector<std::string> row =
      AllMatches(dom, "<tr class=\"history-scene\" data-name=\"b\\|`c`\\.zor\">(.*?)</tr>", 1);
  ASSERT_EQ(row.size(), 1u) << dom.substr(dom.find("id=\"history\""), 3000);
  const std::string& cells = row[0];
  // each mark names its run's folder (and time) and its verdict
  const std::string dot = "<circle [^>]*data-run=\"([^ \"]*)[^\"]*\" data-status=\"([A-Z]+)\"";
  EXPECT_EQ(AllMatches(cells, dot, 1, true),
            e2e::Args(runs[0].filename().string(), runs[1].filename().string(), runs[2].filename().string()))
      << cells;
  EXPECT_EQ(AllMatches(cells, dot, 2, true), e2e::Args("PASS", "FAIL", "PASS")) << cells;
  EXPECT_TRUE(e2e::Contains(cells, "<td class=\"first-failed\">" + secondRun + "</td>")) << cells;
}

// A long reference report is streamed (200,000 lines took 1.3 GB when each was kept whole). The
// sanitizers' own bookkeeping outweighs that: there only the verdicts are checked, on fewer lines.
TEST_F(RelkitReportInput, ALongReferenceReportIsReadInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  constexpr int lines = 20000;
#else
  constexpr int lines = 200000;
#endif
  std::ofstream report(base_ / "_result.txt");
  report << e2e::kReportHeader;
  for (int i = 1; i <= lines; ++i)
    report << Line({std::to_string(i), "CREATED", "1.00"}, i == 1 ? "a.zor" : "many/scene.zor");
  report.close();
  ReplaceLine(result_, 2, "");
  const Outcome check = RunReport(Check());
  EXPECT_EQ(check.status, 1) << check.err;
  EXPECT_EQ(Summary(result_)["counts"]["MISSING"], lines - 1);
  EXPECT_TRUE(lines < 200000 || check.peak_kilobytes < 512 * 1024) << check.peak_kilobytes;
}

// Checks of one folder at once all succeed (one waits for the other) and leave nothing behind.
TEST_F(RelkitReportInput, ConcurrentChecksOfOneFolderBothSucceed) {
  for (int round = 0; round < 30; ++round) {
    std::vector<std::future<Outcome>> runs;
    for (int k = 0; k < 4; ++k)
      runs.push_back(std::async(std::launch::async, [&] { return RunReport(Check()); }));
    for (std::future<Outcome>& run : runs) {
      const Outcome outcome = run.get();
      EXPECT_EQ(outcome.status, 0) << "round " << round << ": " << outcome.err;
    }
    ASSERT_EQ(Written(), kOutputs) << "round " << round;
  }
}

// A check's picture folder that a killed check left is removed by the next check; one that a running
// check holds, or one made an instant ago, stays.
TEST_F(RelkitReportInput, TheNextCheckRemovesThePicturesAKilledOneLeft) {
  const auto left = [&](const char* name, bool old) {
    const fs::path folder = result_ / name;
    fs::create_directories(folder);
    std::ofstream(folder / "0001-diff.png") << "half";
    if (old) fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    return folder;
  };
  const fs::path killed = left("._report_files.Ab12Cd", true);
  const fs::path running = left("._report_files.Ef34Gh", true);
  const fs::path justMade = left("._report_files.Ij56Kl", false);
  const int held = ::open(running.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const Outcome check = RunReport(Check());
  ::close(held);
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_FALSE(fs::exists(killed));
  EXPECT_TRUE(fs::exists(running / "0001-diff.png"));
  EXPECT_TRUE(fs::exists(justMade / "0001-diff.png"));
}

// Links planted at every name a temporary could take are never written through.
TEST_F(RelkitReportInput, PlantedLinksAtTemporaryNamesAreNotFollowed) {
  const fs::path victim = root_ / "victim.txt";
  std::ofstream(victim) << "keep me";
  const long last = std::stol(ReadFile("/proc/sys/kernel/ns_last_pid"));
  for (long pid = last + 1; pid <= last + 1000; ++pid)
    fs::create_symlink(victim, result_ / ("._report.html.tmp-" + std::to_string(pid)));
  const Outcome check = RunReport(Check());
  EXPECT_EQ(check.status, 0) << check.err;
  EXPECT_EQ(ReadFile(victim), "keep me");
  EXPECT_TRUE(fs::is_symlink(result_ / "_report.html") == false);
}

// A thread that cannot be started ends the check with a message, the others joined.
TEST_F(RelkitReportInput, AThreadThatCannotStartIsReported) {
  std::ofstream(result_ / "_result.txt", std::ios::app) << Line({"3", "CREATED", "1.00"}, "c.zor");
  WriteTiff(result_ / "0003.tif", 40, 30, 0);
  const Outcome check = RunReport(Check({"--jobs", "3"}), {.env = {"RELKIT_REPORT_TEST_FAIL_THREAD=2"}});
  EXPECT_EQ(check.status, 2) << check.err;
  EXPECT_TRUE(check.Complained("cannot start thread")) << check.err;
  EXPECT_TRUE(Written().empty());
}

// An approve killed at any step leaves the base wholly old (before its journal) or wholly approved
// (after); a write failure leaves it old and says why.
TEST_F(RelkitReportInput, AnInterruptedApproveLeavesTheBaseOldOrApproved) {
  const auto state = [&] {
    return ReadFile(base_ / "0001.tif") + ReadFile(base_ / "0002.tif") + ReadFile(base_ / "_result.txt");
  };
  const auto leftovers = [&] {
    return std::count_if(fs::directory_iterator(base_), {},
                         [](auto& e) { return e.path().filename().string()[0] == '.'; });
  };
  const std::vector<std::string> approve = {"approve", result_.string(), "--into", base_.string()};
  std::string old, approved;
  for (int step = 1; step <= 9; ++step) {
    SetUp();
    WriteTiff(result_ / "0001.tif", 40, 30, 1);
    WriteTiff(result_ / "0002.tif", 40, 30, 2);
    old = state();
    const Outcome stopped =
        RunReport(approve, {.env = {"RELKIT_REPORT_TEST_KILL_AT_STEP=" + std::to_string(step)}});
    if (step == 9) {  // past the last step: it completes
      EXPECT_EQ(stopped.status, 0) << stopped.err;
      approved = state();
      break;
    }
    EXPECT_EQ(stopped.status, 128 + SIGKILL) << "step " << step << ": " << stopped.err;
    const Outcome check = RunReport(Check());
    EXPECT_EQ(check.status, step < 4 ? 1 : 0) << "step " << step << ": " << check.err;
    EXPECT_EQ(state() == old, step < 4) << "step " << step;  // the journal is the fourth step
    EXPECT_EQ(leftovers(), 0) << "step " << step;
    EXPECT_EQ(RunReport(approve).status, 0);
    EXPECT_TRUE(approved.empty() || state() == approved) << "step " << step;
    approved = state();
  }
  EXPECT_NE(old, approved);

  // files over two kilobytes cannot be written: the first image fails
  SetUp();
  WriteTiff(result_ / "0001.tif", 40, 30, 1);
  old = state();
  const Outcome full = RunReport(approve, {.file_limit = 2048, .ignore_file_limit_signal = true});
  EXPECT_EQ(full.status, 2);
  EXPECT_TRUE(full.Complained("File too large")) << full.err;
  EXPECT_EQ(state(), old);
  EXPECT_EQ(leftovers(), 0);
}

}  // namespace

TEST_F(RelkitReportInput, FollowsTheCommandLineConventions) {
  const std::string result = result_.string(), base = base_.string();
  const struct {
    std::vector<std::string> args;
    int status;
    std::string said;  // the start of stdout for status 0, else a text stderr holds
  } cases[] = {
      // help and version on every level: exit 0, the text on stdout, nothing written
      {e2e::Args("-h"), 0, "usage:"},
      {e2e::Args("--help"), 0, "usage:"},
      {e2e::Args("check", "--help"), 0, "usage:"},
      {e2e::Args("check", result, "-h"), 0, "usage:"},
      {e2e::Args("approve", "--help"), 0, "usage:"},
      {e2e::Args("--version"), 0, "relkit-report 1.0\nhost API version 16050"},
      // usage errors, a flag given a value, and a comparison checked without its base
      {e2e::Args("check", result, "--fail-pixels", "many"), 2, ""},
      {e2e::Args("check", result, "--fail-on-time=yes"), 2, "--fail-on-time takes no value"},
      {e2e::Args("check", result), 2, "--reference"},
      // "--opt=value" is "--opt value"
      {e2e::Args("check", result, "--reference=" + base, "--jobs=2"), 0, ""},
      {e2e::Args("approve", result, "--into=" + base, "--scene=1"), 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    const Outcome run = RunReport(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(c.status == 0 ? run.out.starts_with(c.said) : run.Complained(c.said)) << run.out << run.err;
    EXPECT_TRUE((c.status == 0 && c.said.empty()) || Written().empty());  // nothing, until a check ran
  }
}
