// relkit-crashcheck end to end: zorhost really crashes and stalls on scenes, the checker sets each
// one aside in a mirror of the folder, starts the scanner again and buckets what it saw.
#include <sys/stat.h>

#include <map>
#include <set>

#include "e2e/run_folders.h"

namespace {

using e2e::Contains;

class Crashcheck : public e2e::RunFoldersTest {
 protected:
  Crashcheck() : RunFoldersTest("crashcheck_e2e_") {}

  e2e::Outcome Check(std::vector<std::string> arguments, bool with_host = true) {
    arguments.insert(arguments.begin(), RELKIT_CRASHCHECK_PATH);
    if (with_host)
      arguments.insert(arguments.end(),
                       {"--zorhost", ZORHOST_PATH, "--", "--startup", (root_ / "startup").string(), "--prefs",
                        (root_ / "prefs").string(), "--module", RELKIT_MODULE_PATH, "--allow-faults"});
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

TEST_F(Crashcheck, CrashesAndAHangAreSetAsideAndBucketedWhileTheRestFinishesOnce) {
  WriteScene("a/load1.zor", e2e::SceneWithFaults({{"crash", "load"}}));
  WriteScene("a/b/load2.zor", e2e::SceneWithFaults({{"crash", "load"}}));
  WriteScene("c/full1.zor", e2e::SceneWithFaults({{"crash", "fullRender"}}));
  WriteScene("c/d/full2.zor", e2e::SceneWithFaults({{"crash", "fullRender"}}));
  WriteScene("e/stall.zor", e2e::SceneWithFaults({{"delayMs", 20000}}));
  WriteScene("ok1.zor", e2e::SmallScene());
  WriteScene("f/ok2.zor", e2e::SmallScene());
  WriteScene("f/g/ok & <3>.zor", e2e::SmallScene());
  const auto before = Snapshot();
  const fs::path results = root_ / "results";

  // a trailing slash still names the folder "scenes", as the images of scenes directly in it say
  const e2e::Outcome first =
      Check({"run", scenes_.string() + "/", "--reference", results.string(), "--timeout", "2"});
  ASSERT_EQ(first.status, 1) << first.err;
  EXPECT_EQ(Snapshot(), before) << "the user's scene folder changed";
  const std::map<std::string, int> started = Started(first.out);
  EXPECT_EQ(started.size(), 8u) << first.out;
  for (const auto& [scene, count] : started)
    EXPECT_EQ(count, 1) << scene << " was started again\n" << first.out;

  const json crashes = json::parse(e2e::ReadFile(results / "_crashes.json"));
  std::map<std::set<std::string>, json> by_scenes;
  for (const json& bucket : crashes["buckets"])
    by_scenes[bucket["scenes"].get<std::set<std::string>>()] = bucket;
  ASSERT_EQ(by_scenes.size(), 3u) << crashes.dump(2);
  const json load = by_scenes[{"a/b/load2.zor", "a/load1.zor"}];
  const json full = by_scenes[{"c/d/full2.zor", "c/full1.zor"}];
  const json hang = by_scenes[{"e/stall.zor"}];
  ASSERT_FALSE(load.is_null() || full.is_null() || hang.is_null()) << crashes.dump(2);
  EXPECT_EQ(json({load["kind"], full["kind"], hang["kind"], hang["signature"]}),
            json({"SIGSEGV", "SIGSEGV", "hang", "hang"}));
  for (const json& bucket : {load, full}) {
    EXPECT_GE(bucket["frames"].size(), 1u) << bucket.dump();
    EXPECT_LE(bucket["frames"].size(), 3u) << bucket.dump();
    EXPECT_FALSE(Contains(bucket["signature"], "on_fault")) << "the crash handler is no crash site";
  }
  EXPECT_NE(load["signature"], full["signature"]);
  EXPECT_EQ(crashes["finished"], json({"f/g/ok & <3>.zor", "f/ok2.zor", "ok1.zor"}));
  for (const char* image : {"scenes.ok1.zor.tif", "f.ok2.zor.tif", "g.ok & <3>.zor.soft.tif"})
    EXPECT_TRUE(fs::exists(results / image)) << image;

  const std::string junit = e2e::ReadFile(results / "_crashes_junit.xml");
  EXPECT_TRUE(Contains(junit, "tests=\"8\" failures=\"5\"")) << junit;
  EXPECT_TRUE(Contains(junit, "name=\"f/g/ok &amp; &lt;3&gt;.zor\"")) << junit;
  EXPECT_TRUE(Contains(junit, "message=\"" + Escaped(full["signature"]) + "\"")) << junit;
  e2e::ExpectValidJunit(results / "_crashes_junit.xml");
  const std::string html = e2e::ReadFile(results / "_crashes.html");
  EXPECT_TRUE(Contains(html, "ok &amp; &lt;3&gt;.zor") && !Contains(html, "<3>")) << html;
  EXPECT_TRUE(Contains(html, "e/stall.zor")) << html;
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
    EXPECT_FALSE(Contains(entry.path().filename().string(), "relkit-crashcheck-"))
        << entry.path() << " left behind";

  // the same crashes again, all known: nothing finished is started again
  const fs::path known = root_ / "known.json";
  fs::copy_file(results / "_crashes.json", known);
  const e2e::Outcome second = Check({"run", scenes_.string(), "--reference", results.string(), "--timeout",
                                     "2", "--known", known.string()});
  EXPECT_EQ(second.status, 0) << second.err;
  for (const auto& [scene, count] : Started(second.out))
    EXPECT_FALSE(Contains(scene, "ok")) << scene << " was finished already\n" << second.out;
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
  EXPECT_FALSE(fs::exists(scenes_ / ".." / "scenes_crashcheck" / "_crashes.json"));
}

}  // namespace
