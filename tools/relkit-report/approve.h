// Making a run's new images the comparison base: the images are copied over the reference images and
// the reference report's lines take the new render times, so that the next comparison passes.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace relkit_report {

struct ApproveOptions {
  std::filesystem::path result;
  std::filesystem::path reference;
  std::vector<int> scenes;  // scene numbers; empty: all
  bool force = false;       // approve even when the scene lists differ
};

// Answers the scene numbers approved. Throws InputError (naming the file) for bad input or when the
// scene lists differ without force; nothing is changed then.
std::vector<int> Approve(const ApproveOptions& options);

}  // namespace relkit_report
