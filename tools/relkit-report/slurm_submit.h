// A sharded Renderator run on a Slurm cluster, start to verdict: an array job whose every task splits
// off its shard and runs zorhost over it, then a job that waits for them all (whether they succeeded or
// not), merges their results and checks the merged run.
#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace relkit_report {

struct SlurmOptions {
  std::filesystem::path scenes;
  int shards = 0;
  std::filesystem::path result;                    // the merged result folder
  std::optional<std::filesystem::path> reference;  // none: the shards build a base
  std::filesystem::path work;                      // views, scripts and logs; every node must see it
  std::filesystem::path zorhost;
  std::filesystem::path relkitReport;    // this program, as the nodes reach it
  std::vector<std::string> zorhostArgs;  // host options for every shard's zorhost
  std::vector<std::string> sbatchArgs;   // passed to both sbatch calls
  std::vector<std::string> checkArgs;    // thresholds for the check
};

// Submits, waits, prints the merge and check output; answers the check's exit status (2 also when
// a job could not be submitted or the merge refused the shards).
int RunOnSlurm(const SlurmOptions& options);

// the text quoted for a POSIX shell
std::string ShellQuoted(const std::string& text);

}  // namespace relkit_report
