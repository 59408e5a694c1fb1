// The crash checker's findings and the three files it leaves in the result folder.
#pragma once
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace crashcheck {

struct Bucket {
  std::string signature;
  std::string kind;  // the signal name, or "hang"
  std::vector<std::string> frames;
  std::vector<std::string> scenes;  // relative to the scene folder
};

struct Findings {
  std::map<std::string, Bucket> buckets;  // by signature
  std::vector<std::string> finished;      // scenes with both images
  std::vector<std::string> unfinished;    // neither finished nor crashed (e.g. not loadable)

  // the bucket of the crash, made when new
  void Add(const std::string& kind, const std::vector<std::string>& frames, const std::string& scene);
};

// Writes _crashes.json, _crashes_junit.xml and _crashes.html into folder, each through a temporary
// file and a rename; false with why in error when one cannot be written.
bool WriteOutputs(const std::filesystem::path& folder, const Findings& findings, std::string& error);

// The signatures listed by a known-crashes file (a _crashes.json); false with why in error.
bool ReadKnownSignatures(const std::filesystem::path& file, std::set<std::string>& signatures,
                         std::string& error);

}  // namespace crashcheck
