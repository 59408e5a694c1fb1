// relkit-crashcheck end to end: zorhost really crashes and stalls on scenes, the checker sets each
// one aside in a mirror of the folder, starts the scanner again and buckets what it saw.
#include <sys/stat.h>

#include <map>
#include <set>

#include "e2e/run_folders.h"

namespace {

using e2e::Contains;

// Seconds a scene may take. The thread sanitizer build renders an ordinary scene, and fills the hog's
// memory, many times slower; under load it passes two seconds with either, a false hang.
#if defined(__SANITIZE_THREAD__)
constexpr const char* kSceneTimeout = "8";
#else
constexpr const char* kSceneTimeout = "2";
#endif

class Crashcheck : public e2e::RunFoldersTest {
 protected:
  Crashcheck() : RunFoldersTest("crashcheck_e2e_") {}

  // with_host: zorhost and its options are given, then host_options
  e2e::Outcome Check(std::vector<std::string> arguments, bool with_host = true,
                     const std::vector<std::string>& host_options = {}) {
    arguments.insert(arguments.begin(), RELKIT_CRASHCHECK_PATH);
    if (with_host)
      arguments.insert(arguments.end(),
                       {"--zorhost", ZORHOST_PATH, "--", "--startup", (root_ / "startup").string(), "--prefs",
                        (root_ / "prefs").string(), "--module", RELKIT_MODULE_PATH, "--allow-faults"});
    arguments.insert(arguments.end(), host_options.begin(), host_options.end());
    return e2e::Run({arguments});
  }

  // every file below the scene folder with its size and change time
  std::map<std::string, std::pair<uintmax_t, long>> Snapshot() const {
    std::map<std::string, std::pair<uintmax_t, long>> files;
    for (const auto& entry : fs::recursive_directory_iterator(scenes_)) {
      struct stat info {};
      ::lstat(entry.path().c_str(), &info);
      files[entry.path().lexically_relative(scenes_).string()] = {uintmax_t(info.st_size),
                                                                  long(info.st_ctime)};
    }
    return files;
  }
};

// how often the scanner started each scene, by its path below the (mirrored) scene folder
std::map<std::string, int> Started(const std::string& console) {
  std::map<std::string, int> started;
  for (const std::string& scene : e2e::ProcessedScenes(console))
    if (const size_t folder = scene.find("/scenes/"); folder != std::string::npos)
      ++started[scene.substr(folder + 8)];
  return started;
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text)
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  return out;
}

// The crash page as headless Chromium reads it: a section per bucket with its frames, and every
// scene named in a list item. Without Chromium the file's own text is checked and the test says so.
void ExpectPageShows(const fs::path& page, const json& crashes) {
  std::string dom = e2e::PageInChromium(page, page.parent_path() / "chromium").value_or("");
  if (dom.empty()) {
    std::cout << "chromium is not installed: the crash page was checked as text only\n";
    dom = e2e::ReadFile(page);
  }
  size_t sections = 0;
  for (size_t at = 0; (at = dom.find("<section class=\"bucket\"", at)) != std::string::npos; ++at) ++sections;
  EXPECT_EQ(sections, crashes["buckets"].size()) << dom;
  for (const json& bucket : crashes["buckets"]) {
    EXPECT_TRUE(Contains(dom, "<h2>" + Escaped(bucket["signature"]) + "</h2>")) << bucket["signature"];
    for (const json& frame : bucket["frames"])
      EXPECT_TRUE(Contains(dom, "<code>" + Escaped(frame) + "</code>"));
    for (const json& scene : bucket["scenes"]) EXPECT_TRUE(Contains(dom, "<li>" + Escaped(scene) + "</li>"));
  }
  for (const json& scene : crashes["finished"]) EXPECT_TRUE(Contains(dom, "<li>" + Escaped(scene) + "</li>"));
}

TEST_F(Crashcheck, AFolderOfCrashesStallsAndAHogIsCheckedToTheEndAndBucketedByStack) {
  // 42 ordinary scenes in nested folders, among them 6 that crash, 2 that stall and 1 that eats memory
  const std::map<std::string, json> faulty = {{"a/load1.zor", {{"crash", "load"}}},
                                              {"a/b/load2.zor", {{"crash", "load"}}},
                                              {"c/render1.zor", {{"crash", "render"}}},
                                              {"c/d/render2.zor", {{"crash", "render"}}},
                                              {"e/full1.zor", {{"crash", "fullRender"}}},
                                              {"full2.zor", {{"crash", "fullRender"}}},
                                              {"f/stall1.zor", {{"delayMs", 20000}}},
                                              {"f/g/stall2.zor", {{"delayMs", 20000}}},
                                              {"h/hog.zor", {{"memoryMb", 1200}, {"delayMs", 20000}}}};
  for (const auto& [scene, faults] : faulty) WriteScene(scene, e2e::SceneWithFaults(faults));
  std::set<std::string> ordinary;
  for (int i = 0; i < 42; ++i) {
    const std::string scene = (i == 0 ? "" : std::string(1, char('a' + i % 8)) + "/") +
                              (i % 3 ? "n" + std::to_string(i % 3) + "/" : "") + "ok" + std::to_string(i) +
                              (i == 7 ? " & <3>.zor" : ".zor");
    WriteScene(scene, e2e::SmallScene());
    ordinary.insert(scene);
  }
  // a link back up the tree and a second way into a folder: neither adds a scene
  fs::create_directory_symlink("..", scenes_ / "a" / "up");
  fs::create_directory_symlink(scenes_ / "c", scenes_ / "c-again");
  const auto before = Snapshot();
  const fs::path results = root_ / "results";

  // a trailing slash still names the folder "scenes", as the images of scenes directly in it say
  const e2e::Outcome first = Check({"run", scenes_.string() + "/", "--reference", results.string(),
                                    "--timeout", kSceneTimeout, "--memory", "900"});
  ASSERT_EQ(first.status, 1) << first.err;
  EXPECT_EQ(Snapshot(), before) << "the user's scene folder changed";
  // every ordinary scene rendered once; each stopping one once in the run and once alone
  std::map<std::string, int> expected_starts;
  for (const std::string& scene : ordinary) expected_starts[scene] = 1;
  for (const auto& [scene, faults] : faulty) expected_starts[scene] = 2;
  EXPECT_EQ(Started(first.out), expected_starts) << first.out;

  const json crashes = json::parse(e2e::ReadFile(results / "_crashes.json"));
  std::map<std::string, json> bucket_of;
  for (const json& bucket : crashes["buckets"]) {
    EXPECT_TRUE(bucket["reliable"].get<bool>()) << bucket.dump();
    for (const json& scene : bucket["scenes"]) bucket_of[scene] = bucket;
  }
  ASSERT_EQ(bucket_of.size(), faulty.size()) << crashes.dump(2);
  for (const auto& [one, other] : {std::pair{"a/load1.zor", "a/b/load2.zor"},
                                   {"c/render1.zor", "c/d/render2.zor"},
                                   {"e/full1.zor", "full2.zor"},
                                   {"f/stall1.zor", "f/g/stall2.zor"}})
    EXPECT_EQ(bucket_of[one]["signature"], bucket_of[other]["signature"]) << one << " and " << other;
  EXPECT_EQ(json({bucket_of["a/load1.zor"]["kind"], bucket_of["e/full1.zor"]["kind"],
                  bucket_of["f/stall1.zor"]["signature"], bucket_of["h/hog.zor"]["signature"]}),
            json({"SIGSEGV", "SIGSEGV", "hang", "out of memory"}));
  for (const char* crash : {"a/load1.zor", "c/render1.zor", "e/full1.zor"}) {
    const json& bucket = bucket_of[crash];
    EXPECT_GE(bucket["frames"].size(), 1u) << bucket.dump();
    EXPECT_LE(bucket["frames"].size(), 3u) << bucket.dump();
    EXPECT_FALSE(Contains(bucket["signature"], "on_fault")) << "the crash handler is no crash site";
  }
  EXPECT_NE(bucket_of["a/load1.zor"]["signature"], bucket_of["e/full1.zor"]["signature"]);
  EXPECT_EQ(crashes["finished"].get<std::set<std::string>>(), ordinary);
  for (const char* image : {"scenes.ok0.zor.tif", "n1.ok1.zor.tif", "n1.ok7 & <3>.zor.soft.tif"})
    EXPECT_TRUE(fs::exists(results / image)) << image;

  const std::string junit = e2e::ReadFile(results / "_crashes_junit.xml");
  EXPECT_TRUE(Contains(junit, "tests=\"51\" failures=\"9\"")) << junit;
  EXPECT_TRUE(Contains(junit, "name=\"h/n1/ok7 &amp; &lt;3&gt;.zor\"")) << junit;
  EXPECT_TRUE(Contains(junit, "message=\"" + Escaped(bucket_of["e/full1.zor"]["signature"]) + "\"")) << junit;
  e2e::ExpectValidJunit(results / "_crashes_junit.xml");
  ExpectPageShows(results / "_crashes.html", crashes);
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
    EXPECT_FALSE(Contains(entry.path().filename().string(), "relkit-crashcheck-"))
        << entry.path() << " left behind";

  // the same crashes again, all known: nothing finished is started again, first seen stays
  const fs::path known = root_ / "known.json";
  json earlier = crashes;
  for (json& bucket : earlier["buckets"]) bucket["first_seen"] = "2026-01-02T03:04:05Z";
  std::ofstream(known) << earlier.dump();
  const e2e::Outcome second = Check({"run", scenes_.string(), "--reference", results.string(), "--timeout",
                                     kSceneTimeout, "--memory", "900", "--known", known.string()});
  EXPECT_EQ(second.status, 0) << second.err;
  for (const auto& [scene, count] : Started(second.out))
    EXPECT_TRUE(faulty.count(scene)) << scene << " was finished already\n" << second.out;
  const json again = json::parse(e2e::ReadFile(results / "_crashes.json"));
  for (const json& bucket : again["buckets"]) EXPECT_EQ(bucket["first_seen"], "2026-01-02T03:04:05Z");
}

TEST_F(Crashcheck, ACrashInTheModuleOutsideAnySceneIsABucketNamingModuleCode) {
  WriteScene("scene.zor", e2e::SmallScene());
  const fs::path results = root_ / "results";
  const e2e::Outcome run =
      Check({"run", scenes_.string(), "--reference", results.string()}, true, {"--command", "Crash ZOR"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "before it reached a scene")) << run.err;
  const json crashes = json::parse(e2e::ReadFile(results / "_crashes.json"));
  ASSERT_EQ(crashes["buckets"].size(), 1u) << crashes.dump(2);
  const json& bucket = crashes["buckets"][0];
  EXPECT_EQ(bucket["scenes"], json::array());
  // the command's own function, found by symbolizing the module's frames after the fact
  EXPECT_TRUE(Contains(bucket["signature"], "CrashObjectDialogCommand::Execute")) << bucket.dump(2);
  EXPECT_EQ(crashes["unfinished"], json({"scene.zor"}));
}

TEST_F(Crashcheck, BadInputEndsWithStatusTwoNamingIt) {
  const auto at = [&](const char* name) { return (root_ / name).string(); };
  WriteScene("scene.zor", e2e::SmallScene());
  fs::create_directories(root_ / "empty");
  std::ofstream(root_ / "not-json.json") << "{ buckets";
  // a zorhost that says it crashed, naming a report that is not there
  const fs::path fake = root_ / "fake-zorhost";
  std::ofstream(fake) << "#!/bin/sh\necho 'zorhost: crashed; crash report: " << at("gone.txt")
                      << "' >&2\nkill -SEGV $$\n";
  fs::permissions(fake, fs::perms::owner_all);
  const std::string scenes = scenes_.string();
  const struct {
    std::vector<std::string> arguments;
    std::string says;  // on stderr with status 2; on stdout, status 0, for help and version
    int status = 2;
  } cases[] = {
      {{"--help"}, "relkit-crashcheck run SCENES", 0},
      {{"--version"}, "relkit-crashcheck ", 0},
      {{"run"}, "run needs a scene folder"},
      {{"check", scenes}, "unknown command check"},
      {{"run", scenes, "--timeout", "soon"}, "--timeout: \"soon\""},
      {{"run", at("missing"), "--zorhost", ZORHOST_PATH}, at("missing") + ": no such"},
      {{"run", at("not-json.json"), "--zorhost", ZORHOST_PATH}, at("not-json.json") + ": not a folder"},
      {{"run", at("empty"), "--zorhost", ZORHOST_PATH}, at("empty") + ": no scenes"},
      {{"run", scenes, "--zorhost", at("nohost")}, at("nohost") + ": no zorhost"},
      {{"run", scenes, "--zorhost", ZORHOST_PATH, "--known", at("not-json.json")},
       at("not-json.json") + ": not a crash list"},
      {{"run", scenes, "--zorhost", fake.string()}, at("gone.txt") + ": the crash report cannot be read"},
  };
  for (const auto& c : cases) {
    const e2e::Outcome outcome = Check(c.arguments, false);
    EXPECT_EQ(outcome.status, c.status) << c.arguments.back() << "\n" << outcome.err;
    EXPECT_TRUE(Contains(c.status == 0 ? outcome.out : outcome.err, c.says)) << c.says << "\n" << outcome.err;
  }
  // the failing zorhost came last: what was found until then is written, here nothing finished
  const json partial = json::parse(e2e::ReadFile(root_ / "scenes_crashcheck" / "_crashes.json"));
  EXPECT_EQ(partial["unfinished"], json({"scene.zor"})) << partial.dump();
}

}  // namespace
