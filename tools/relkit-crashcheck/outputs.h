// The crash checker's findings and the three files it leaves in the result folder.
#pragma once
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace crashcheck {

struct Bucket {
  std::string signature;
  std::string kind;  // the signal name, or "hang"
  std::vector<std::string> frames;
  std::vector<std::string> scenes;  // relative to the scene folder
  size_t reproduced = 0;            // scenes that stopped the same way when run again alone
  std::string first_seen;           // when a run first saw it (ISO 8601, UTC)
  // no scenes: zorhost stopped outside any scene, and that was not tried again
  bool Reliable() const { return !scenes.empty() && reproduced == scenes.size(); }
};

struct Findings {
  std::string started;                    // when this run started (ISO 8601, UTC)
  std::map<std::string, Bucket> buckets;  // by signature
  std::vector<std::string> finished;      // scenes with both images
  std::vector<std::string> unfinished;    // neither finished nor crashed (e.g. not loadable)

  // the bucket of the crash, made when new, with the scene if there is one
  void Add(const std::string& kind, const std::vector<std::string>& frames, std::optional<std::string> scene);
};

// Writes _crashes.json, _crashes_junit.xml and _crashes.html into folder, each through a temporary
// file and a rename; false with why in error when one cannot be written.
bool WriteOutputs(const std::filesystem::path& folder, const Findings& findings, std::string& error);

// The signatures listed by a known-crashes file (a _crashes.json), each with when it was first seen
// (empty when the file does not say); false with why in error.
bool ReadKnownBuckets(const std::filesystem::path& file, std::map<std::string, std::string>& first_seen,
                      std::string& error);

}  // namespace crashcheck
