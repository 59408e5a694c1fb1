// Runs zorhost's Attachment Scanner over a scene folder again and again, each crash or hang setting
// its scene aside, until every other scene is done.
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

struct RunOptions {
  std::filesystem::path scenes;
  std::filesystem::path reference;  // the scanner's result folder
  std::filesystem::path known;      // empty: every bucket is new
  std::filesystem::path zorhost;    // empty: beside this program, then PATH
  double timeout_seconds = 600;
  std::vector<std::string> host_arguments;  // given after "--"
};

// The exit status: 0 when every crash falls into a known bucket, 1 when a new one appeared.
int Run(RunOptions options);

}  // namespace crashcheck
