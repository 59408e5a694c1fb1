// Runs zorhost's Attachment Scanner over a scene folder again and again, each crash, hang or
// out-of-memory stop setting its scene aside, until every other scene is done; then runs each of
// those scenes once more alone to tell reliable crashes from flaky ones.
#pragma once
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace crashcheck {

// Bad input: a usage mistake, a missing or unreadable thing (exit status 2).
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Ctrl-C or a termination request: the run stopped zorhost and ends without results.
struct Interrupted : std::runtime_error {
  Interrupted() : std::runtime_error("interrupted; zorhost stopped, no results written") {}
};

// When one scene counts as stuck: past the time, or past the memory (0: no memory limit).
struct Limits {
  double timeout_seconds = 600;
  double memory_mb = 0;
};

struct RunOptions {
  std::filesystem::path scenes;
  std::filesystem::path reference;  // the scanner's result folder
  std::filesystem::path known;      // empty: every bucket is new
  std::filesystem::path zorhost;    // empty: beside this program, then PATH
  Limits limits;
  std::vector<std::string> host_arguments;  // given after "--"
};

// The exit status: 0 when every crash falls into a known bucket, 1 when a new one appeared.
int Run(RunOptions options);

// From now on SIGINT and SIGTERM stop the running zorhost and end Run with Interrupted.
void StopOnInterrupt();

}  // namespace crashcheck
