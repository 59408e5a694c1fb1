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

// Approve stages every file, writes a journal naming them, renames them into place and removes the
// journal: a base is wholly old or wholly approved once this has run on it. It rolls an interrupted
// approve forward (journal found) or back (staged files without a journal). Throws InputError.
bool HasInterruptedApprove(const std::filesystem::path& base);
void FinishInterruptedApprove(const std::filesystem::path& base);

// Answers the scene numbers approved. Throws InputError (naming the file) for bad input or when the
// scene lists differ without force; nothing is changed then.
std::vector<int> Approve(const ApproveOptions& options);

}  // namespace relkit_report
