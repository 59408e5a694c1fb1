// A Renderator run in shards: relkit-report splits the scene folder into views, zorhost runs each as an
// ordinary Renderator run, and the merge gives what one run over the whole folder gives; also on Slurm.
#include <regex>
#include <set>

#include "e2e/run_folders.h"

namespace {

using e2e::Outcome;
using e2e::ReadFile;

// The report's lines without the columns that hold times (Tnew, Told, Trel): what two runs share.
std::vector<std::string> WithoutTimes(const fs::path& result) {
  std::vector<std::string> lines;
  for (const std::string& line : e2e::Lines(ReadFile(result / "_result.txt")))
    if (!line.empty()) lines.push_back(line.substr(0, 20) + "|" + (line.size() > 50 ? line.substr(50) : ""));
  return lines;
}

std::vector<std::string> Verdicts(const fs::path& result) {
  std::vector<std::string> words;
  const json summary = json::parse(ReadFile(result / "_summary.json"));
  for (const json& s : summary["scenes"])
    words.push_back(s["status"].get<std::string>() + " " + s["name"].get<std::string>());
  return words;
}

class Shards : public e2e::RunFoldersTest {
 protected:
  Shards() : RunFoldersTest("shards_e2e_") {}

  // a Renderator run over folder (against base when given); answers its result folder
  fs::path Renderator(const fs::path& folder, const fs::path& base = {}) {
    std::vector<std::string> args = e2e::Args("--headless", "-renderator", folder);
    if (!base.empty()) args.push_back(base.string());
    const e2e::HostOutcome run = e2e::RunHost(root_, args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::smatch found;
    EXPECT_TRUE(std::regex_search(run.out, found, std::regex("start renderator to: (\\S+)"))) << run.out;
    return found[1].str();
  }

  // shard I/N of the scene folder split off into view (and base, when given, into VIEW-base)
  Outcome Split(const std::string& shard, const fs::path& view, const fs::path& base = {}) {
    std::vector<std::string> args = e2e::Args("split", scenes_, "--shard", shard, "--into", view);
    if (!base.empty())
      args.insert(args.end(), {"--reference", base.string(), "--base-into", view.string() + "-base"});
    return e2e::RunReport(args);
  }

  // shard i of n split off into root/NAME-i, then run; answers the run's result folder
  fs::path Shard(const std::string& name, int i, int n, const fs::path& base = {}) {
    const fs::path view = root_ / (name + "-" + std::to_string(i));
    const Outcome split = Split(std::to_string(i) + "/" + std::to_string(n), view, base);
    EXPECT_EQ(split.status, 0) << split.err;
    return Renderator(view, base.empty() ? fs::path() : fs::path(view.string() + "-base"));
  }

  Outcome Merge(const std::vector<fs::path>& shards, const fs::path& into) {
    std::vector<std::string> args = e2e::Args("merge", "--into", into);
    args.insert(args.end(), shards.begin(), shards.end());
    return e2e::RunReport(args);
  }
};

TEST_F(Shards, AMergedRunIsTheRunOverTheWholeFolder) {
  // the order through a linked folder, a link loop, an upper-case suffix; a linked scene's mesh
  json meshScene = e2e::SmallScene();
  meshScene["objects"] = json::array({{{"type", "mesh"}, {"file", "../meshes/tri.obj"}}});
  WriteScene("meshes/tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  WriteScene("models/tri.zor", meshScene);
  WriteScene("a.zor", e2e::SmallScene());
  WriteScene("sub/B.ZOR", e2e::SmallScene(24, 16));
  WriteScene("sub/deeper/c.zor", e2e::SmallScene());
  WriteScene("../elsewhere/d.zor", e2e::SmallScene(16, 16));
  fs::create_directory_symlink(root_ / "elsewhere", scenes_ / "linked");
  fs::create_directory_symlink(scenes_, scenes_ / "sub" / "loop");

  const fs::path base = Renderator(scenes_);
  const fs::path single = Renderator(scenes_, base);
  ASSERT_EQ(WithoutTimes(base).size(), 6u) << ReadFile(base / "_result.txt");
  std::vector<fs::path> builds, compares;
  for (int i = 1; i <= 4; ++i) {
    builds.push_back(Shard("build", i, 4));
    compares.push_back(Shard("compare", i, 4, base));
  }

  // building a base in shards is building it on one machine
  const Outcome mergedBase = Merge(builds, scenes_ / "merged_base");
  ASSERT_EQ(mergedBase.status, 0) << mergedBase.err;
  EXPECT_EQ(WithoutTimes(scenes_ / "merged_base"), WithoutTimes(base));

  const fs::path merged = scenes_ / "merged";
  const Outcome merge = Merge(compares, merged);
  ASSERT_EQ(merge.status, 0) << merge.err;
  EXPECT_TRUE(merge.Said("merged 5 scenes of 4 shards")) << merge.out;
  EXPECT_EQ(WithoutTimes(merged), WithoutTimes(single));
  for (const char* image : {"0001.tif", "0001d.tif", "0005.tif", "0005d.tif"})
    EXPECT_TRUE(fs::exists(merged / image)) << image;

  // and relkit-report judges and approves it as it does the single run
  for (const fs::path& result : {single, merged}) {
    const Outcome check = e2e::RunReport({"check", result.string(), "--reference", base.string()});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
  }
  EXPECT_EQ(Verdicts(merged), Verdicts(single));
  const Outcome approve = e2e::RunReport({"approve", merged.string(), "--into", base.string()});
  EXPECT_EQ(approve.status, 0) << approve.err;
}

TEST_F(Shards, MergeRefusesMissingUnfinishedAndForeignShards) {
  for (const char* name : {"a.zor", "b.zor", "c.zor"}) WriteScene(name, e2e::SmallScene());
  // renders in the base; crashes a shard's zorhost, which obeys faults
  WriteScene("d.zor", e2e::SceneWithFaults({{"crash", "render"}}));
  const fs::path base = Renderator(scenes_);
  const fs::path otherBase = Renderator(scenes_);
  const fs::path one = Shard("view", 1, 2, base);
  // shard 2 is b.zor and d.zor: its run dies at d.zor
  ASSERT_EQ(Split("2/2", root_ / "view-2", base).status, 0);
  e2e::RunHost(root_, e2e::Args("--headless", "--allow-faults", "-renderator", root_ / "view-2",
                                root_ / "view-2-base"));
  ASSERT_EQ(Split("2/2", root_ / "nobase", base).status, 0);
  const fs::path withoutBase = Renderator(root_ / "nobase");

  const std::vector<std::pair<std::vector<fs::path>, std::string>> refusals = {
      {{one}, "shard 2 of 2 has no result: 2 scenes missing: b.zor, d.zor"},
      {{one, root_ / "view-2"}, "did not finish: 1 of its 2 scenes have no result: d.zor"},
      {{one, Shard("foreign", 2, 2, otherBase)},
       "shard 2 of 2 of another split (comparison base " + otherBase.string()},
      {{one, Shard("three", 2, 3, base)}, "of another split (3 shards)"},
      {{one, one}, "shard 1 of 2 given twice"},
      {{one, withoutBase}, "b.zor was stored as a new base image, not compared"},
  };
  for (const auto& [shards, says] : refusals) {
    SCOPED_TRACE(says);
    const Outcome merge = Merge(shards, root_ / "merged");
    EXPECT_EQ(merge.status, 2);
    EXPECT_TRUE(merge.Complained(says)) << merge.err;
    EXPECT_FALSE(fs::exists(root_ / "merged"));
  }

  // a split against a base that lists more scenes than the folder holds: the Renderator would refuse it
  fs::remove(scenes_ / "d.zor");
  const Outcome outdated = Split("1/2", root_ / "outdated", base);
  EXPECT_EQ(outdated.status, 2);
  EXPECT_TRUE(outdated.Complained("lists 4 scenes, the scene folder has 3")) << outdated.err;
}

TEST_F(Shards, ASceneAddedAfterTheSplitIsAChangedSceneList) {
  for (const char* name : {"a.zor", "c.zor"}) WriteScene(name, e2e::SmallScene());
  const fs::path base = Renderator(scenes_);
  const std::vector<fs::path> shards = {Shard("view", 1, 2, base), Shard("view", 2, 2, base)};
  // the base's times are what the shard is told; a base view edited after the split is another base
  std::string text = ReadFile(root_ / "view-2-base" / "_result.txt");
  text.replace(text.rfind("CREATED   ") + 10, 4, "9.99");
  std::ofstream(root_ / "view-2-base" / "_result.txt") << text;
  const fs::path rerun = Renderator(root_ / "view-2", root_ / "view-2-base");
  const Outcome foreign = Merge({shards[0], rerun}, root_ / "merged");
  EXPECT_EQ(foreign.status, 2);
  EXPECT_TRUE(foreign.Complained("Told 9.99 is not the base's time for c.zor")) << foreign.err;

  WriteScene("b.zor", e2e::SmallScene());
  const fs::path merged = root_ / "merged";
  const Outcome merge = Merge(shards, merged);
  EXPECT_EQ(merge.status, 1) << merge.err;
  EXPECT_TRUE(merge.Said("scene list changed since the split: 1 added")) << merge.out;
  const std::vector<std::string> lines = WithoutTimes(merged);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "2         PENDING   |          " + (scenes_ / "b.zor").string());
  const Outcome check = e2e::RunReport({"check", merged.string(), "--reference", base.string()});
  EXPECT_EQ(check.status, 1);
  EXPECT_TRUE(check.Said("ERROR 2 ")) << check.out;
  const json scene = json::parse(ReadFile(merged / "_summary.json"))["scenes"][1];
  EXPECT_EQ(scene["reasons"][0], "not rendered: added to the scene folder after the split") << scene;
}

TEST_F(Shards, ShardAutoReadsEachScheduler) {
  // the environment given and what the split says
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"RELKIT_SHARD=2/3"}, "shard 2 of 3"},
      {{"SLURM_ARRAY_TASK_ID=4", "SLURM_ARRAY_TASK_COUNT=4", "SLURM_ARRAY_TASK_MIN=1"}, "shard 4 of 4"},
      {{"SLURM_ARRAY_TASK_ID=0", "SLURM_ARRAY_TASK_COUNT=2", "SLURM_ARRAY_TASK_MIN=0"}, "shard 1 of 2"},
      {{"JOB_COMPLETION_INDEX=0", "RELKIT_SHARD_COUNT=5"}, "shard 1 of 5"},
      {{"CI_NODE_INDEX=3", "CI_NODE_TOTAL=3"}, "shard 3 of 3"},
      {{"JOB_COMPLETION_INDEX=1"}, "needs RELKIT_SHARD_COUNT"},
      {{"CI_NODE_INDEX=4", "CI_NODE_TOTAL=3"}, "gives shard 4 of 3"},
      {{"RELKIT_SHARD=3"}, "RELKIT_SHARD=\"3\" is not I/N"},
      {{}, "no shard in the environment"},
  };
  // the variables a case does not give are given empty (as good as unset): none leaks in from outside
  std::set<std::string> variables;
  for (const auto& c : cases)
    for (const std::string& entry : c.first) variables.insert(entry.substr(0, entry.find('=') + 1));
  WriteScene("a.zor", e2e::SmallScene());
  for (const auto& [given, says] : cases) {
    SCOPED_TRACE(says);
    std::vector<std::string> env = given;
    for (const std::string& name : variables)
      if (std::ranges::none_of(given, [&](const std::string& e) { return e.starts_with(name); }))
        env.push_back(name);
    const Outcome split =
        e2e::RunReport(e2e::Args("split", scenes_, "--shard", "auto", "--into", root_ / "v"), {.env = env});
    EXPECT_TRUE(split.Said(says) || split.Complained(says)) << split.out << split.err;
  }
}

// Shards side by side on few cores render slower than one run: times are not what is compared.
const char* const kNoTimeLimit = "1000000";

// The sample scenes on a real one-node Slurm cluster, started for the test (tests/slurm/local_cluster.sh).
class SlurmShards : public Shards {
 protected:
  void SetUp() override {
    Shards::SetUp();
    // munged's socket path must fit in 108 bytes, which a test's own folder need not
    char folder[] = "/tmp/relkit_slurm_XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    cluster_ = folder;
    // and munged wants every folder above its socket open to all
    fs::permissions(cluster_, fs::perms(0755));
  }

  void TearDown() override {
    if (started_) {
      const Outcome stop = Cluster("stop");
      EXPECT_EQ(stop.status, 0) << stop.err;
      // nothing of the cluster is left: its daemons and job steps name its folder
      const Outcome left = e2e::Run({{"pgrep", "-af", cluster_.string()}});
      EXPECT_NE(left.status, 0) << "still running:\n" << left.out;
    }
    fs::remove_all(cluster_);
    Shards::TearDown();
  }

  Outcome Cluster(const std::string& action) {
    return e2e::Run({.args = e2e::Args("bash", RELKIT_TESTS_DIR "/slurm/local_cluster.sh", action, cluster_),
                     .timeout_seconds = 120});
  }

  // relkit-report slurm over the scenes into RESULT (against base when given)
  Outcome Slurm(const fs::path& result, const fs::path& base = {}) {
    std::vector<std::string> args =
        e2e::Args(RELKIT_REPORT_PATH, "slurm", scenes_, "--shards", "4", "--into", result, "--work",
                  root_ / result.filename(), "--zorhost", ZORHOST_PATH, "--warn-time", kNoTimeLimit);
    if (!base.empty()) args.insert(args.end(), {"--reference", base.string()});
    return e2e::Run({.args = args, .env = {"SLURM_CONF=" + conf_}, .timeout_seconds = 300});
  }

  fs::path cluster_;
  bool started_ = false;
  std::string conf_;
};

TEST_F(SlurmShards, TheSamplesInFourShardsGiveTheOneMachineVerdict) {
  fs::copy(fs::path(RELKIT_SOURCE_DIR) / "examples" / "scenes", scenes_, fs::copy_options::recursive);
  const Outcome start = Cluster("start");
  started_ = true;  // a start that failed half way is stopped as well
  // Slurm missing, or a machine where it cannot run, is a skip; a start that fails otherwise is a fault
  if (start.status != 0 && (e2e::Contains(start.err, "not installed") || ::geteuid() != 0))
    GTEST_SKIP() << "no Slurm cluster can be started here:\n" << start.err;
  ASSERT_EQ(start.status, 0) << start.err;
  std::smatch conf;
  ASSERT_TRUE(std::regex_search(start.out, conf, std::regex("export SLURM_CONF=(\\S+)"))) << start.out;
  conf_ = conf[1];

  // building the base in shards is building it on one machine
  const fs::path base = Renderator(scenes_);
  const Outcome build = Slurm(scenes_ / "_slurm_base");
  ASSERT_EQ(build.status, 0) << build.out << build.err;
  EXPECT_EQ(WithoutTimes(scenes_ / "_slurm_base"), WithoutTimes(base));

  // one scene changed since the base, so that the verdict has a failure to agree on
  const fs::path changed = scenes_ / "basics" / "spheres_standard.zor";
  json scene = json::parse(ReadFile(changed));
  scene["camera"]["fov"] = 60;
  std::ofstream(changed) << scene.dump();
  const fs::path single = Renderator(scenes_, base);
  const Outcome check =
      e2e::RunReport({"check", single.string(), "--reference", base.string(), "--warn-time", kNoTimeLimit});
  const Outcome sharded = Slurm(scenes_ / "_slurm", base);
  ASSERT_EQ(check.status, 1) << check.out;
  EXPECT_EQ(sharded.status, 1) << sharded.out << sharded.err;
  EXPECT_TRUE(sharded.Said("4 shards submitted as Slurm array job")) << sharded.out;
  EXPECT_TRUE(sharded.Said("merged 17 scenes of 4 shards")) << sharded.out;
  EXPECT_EQ(WithoutTimes(scenes_ / "_slurm"), WithoutTimes(single));
  EXPECT_EQ(Verdicts(scenes_ / "_slurm"), Verdicts(single));

  // stopped while its jobs wait in the queue, it cancels them rather than leave them to run unawaited
  const fs::path out = root_ / "stopped_out.txt", err = root_ / "stopped_err.txt";
  const pid_t stopped =
      e2e::Start({.args = e2e::Args(RELKIT_REPORT_PATH, "slurm", scenes_, "--shards", "2", "--into",
                                    scenes_ / "_stopped", "--work", root_ / "stopped", "--zorhost",
                                    ZORHOST_PATH, "--sbatch", "--begin=now+1hour"),
                  .env = {"SLURM_CONF=" + conf_}},
                 out, err);
  for (int i = 0; i < 3000 && !e2e::Contains(e2e::ReadFile(out), "waiting for the merge"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(stopped, SIGINT);
  EXPECT_EQ(e2e::Wait(stopped, 60), 128 + SIGINT) << e2e::ReadFile(out) << e2e::ReadFile(err);
  EXPECT_TRUE(e2e::Contains(e2e::ReadFile(err), "stopped; cancelling Slurm jobs")) << e2e::ReadFile(err);
  const Outcome queued =
      e2e::Run({.args = {"squeue", "--noheader", "--states=PENDING,RUNNING", "--format=%i %j"},
                .env = {"SLURM_CONF=" + conf_}});
  EXPECT_EQ(queued.status, 0) << queued.err;
  EXPECT_EQ(queued.out, "") << "left in the queue";
}

}  // namespace
