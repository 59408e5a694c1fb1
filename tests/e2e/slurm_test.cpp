// The sample scenes as a sharded Renderator run on a real one-node Slurm cluster, started for the test
// (tests/slurm/local_cluster.sh): the verdict and the report must be those of one run on one machine.
#include <regex>

#include "e2e/run_folders.h"

namespace {

using e2e::Outcome;
using e2e::ReadFile;

std::vector<std::string> WithoutTimes(const fs::path& result) {
  std::vector<std::string> lines;
  for (const std::string& line : e2e::Lines(ReadFile(result / "_result.txt")))
    if (!line.empty()) lines.push_back(line.substr(0, 20) + "|" + (line.size() > 50 ? line.substr(50) : ""));
  return lines;
}

std::vector<std::string> Verdicts(const fs::path& result) {
  std::vector<std::string> words;
  for (const json& s : json::parse(ReadFile(result / "_summary.json"))["scenes"])
    words.push_back(s["status"].get<std::string>() + " " + s["name"].get<std::string>());
  return words;
}

// Shards side by side on few cores render slower than one run: times are not what is compared.
const char* const kNoTimeLimit = "1000000";

class SlurmShards : public e2e::RunFoldersTest {
 protected:
  SlurmShards() : RunFoldersTest("slurm_e2e_") {}

  void SetUp() override {
    RunFoldersTest::SetUp();
    // munged's socket path must fit in 108 bytes, which a test's own folder need not
    char folder[] = "/tmp/relkit_slurm_XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    cluster_ = folder;
    // and munged wants every folder above its socket open to all
    fs::permissions(cluster_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
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
    RunFoldersTest::TearDown();
  }

  Outcome Cluster(const std::string& action) {
    return e2e::Run({.args = {"bash", std::string(RELKIT_TESTS_DIR) + "/slurm/local_cluster.sh", action,
                              cluster_.string()},
                     .timeout_seconds = 120});
  }

  // relkit-report slurm over the scenes into RESULT (against base when given)
  Outcome Slurm(const fs::path& result, const fs::path& base = {}) {
    std::vector<std::string> args = {RELKIT_REPORT_PATH, "slurm",      scenes_.string(),
                                     "--shards",         "4",          "--into",
                                     result.string(),    "--work",     (root_ / result.filename()).string(),
                                     "--zorhost",        ZORHOST_PATH, "--warn-time",
                                     kNoTimeLimit};
    if (!base.empty()) args.insert(args.end(), {"--reference", base.string()});
    return e2e::Run({.args = args, .env = {"SLURM_CONF=" + conf_}, .timeout_seconds = 300});
  }

  fs::path Renderator(const fs::path& base = {}) {
    std::vector<std::string> args = {"--headless", "-renderator", scenes_.string()};
    if (!base.empty()) args.push_back(base.string());
    const e2e::HostOutcome run = e2e::RunHost(root_, args);
    EXPECT_EQ(run.status, 0) << run.err;
    std::smatch found;
    EXPECT_TRUE(std::regex_search(run.out, found, std::regex("start renderator to: (\\S+)"))) << run.out;
    return found[1].str();
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
  const fs::path base = Renderator();
  const Outcome build = Slurm(scenes_ / "_slurm_base");
  ASSERT_EQ(build.status, 0) << build.out << build.err;
  EXPECT_EQ(WithoutTimes(scenes_ / "_slurm_base"), WithoutTimes(base));

  // one scene changed since the base, so that the verdict has a failure to agree on
  const fs::path changed = scenes_ / "basics" / "spheres_standard.zor";
  json scene = json::parse(ReadFile(changed));
  scene["camera"]["fov"] = 60;
  std::ofstream(changed) << scene.dump();
  const fs::path single = Renderator(base);
  const Outcome check = e2e::Run({{RELKIT_REPORT_PATH, "check", single.string(), "--reference", base.string(),
                                   "--warn-time", kNoTimeLimit}});
  const Outcome sharded = Slurm(scenes_ / "_slurm", base);
  ASSERT_EQ(check.status, 1) << check.out;
  EXPECT_EQ(sharded.status, 1) << sharded.out << sharded.err;
  EXPECT_TRUE(sharded.Said("4 shards submitted as Slurm array job")) << sharded.out;
  EXPECT_TRUE(sharded.Said("merged 17 scenes of 4 shards")) << sharded.out;
  EXPECT_EQ(WithoutTimes(scenes_ / "_slurm"), WithoutTimes(single));
  EXPECT_EQ(Verdicts(scenes_ / "_slurm"), Verdicts(single));
}

}  // namespace
