#include "approve.h"

#include <algorithm>
#include <set>

#include "files.h"
#include "result_file.h"

namespace relkit_report {

namespace {

// The folder a run collected its scenes from: the parent of its result folder.
std::string SceneFolder(const std::filesystem::path& resultFolder) {
  std::filesystem::path folder = std::filesystem::absolute(resultFolder).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  return folder.parent_path().string() + "/";
}

}  // namespace

std::vector<int> Approve(const ApproveOptions& options) {
  const ResultFile result = ReadResultFile(options.result / "_result.txt");
  ResultFile reference = ReadResultFile(options.reference / "_result.txt");
  const int resultCount = int(result.lines.size());
  const int referenceCount = int(reference.lines.size());

  // Lines are matched by position, so a scene list that changed would pair images with other scenes.
  if (!options.force) {
    for (int k = 0; k < std::min(resultCount, referenceCount); ++k) {
      const std::string mine = SceneName(result.lines[size_t(k)].name, options.result);
      const std::string theirs = SceneName(reference.lines[size_t(k)].name, options.reference);
      if (mine != theirs)
        throw InputError(options.reference.string() + ": scene list changed at scene " +
                         std::to_string(k + 1) + " (" + theirs + " in the reference, " + mine +
                         " in the result); approve with --force to make the result's list the reference");
    }
    if (resultCount < referenceCount)
      throw InputError(options.reference.string() + ": scene list changed: the reference has " +
                       std::to_string(referenceCount) + " scenes, the result " + std::to_string(resultCount) +
                       "; approve with --force to make the result's list the reference");
  }

  std::vector<int> chosen = options.scenes;
  const bool all = chosen.empty();
  if (all)
    for (int n = 1; n <= resultCount; ++n) chosen.push_back(n);
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  const std::set<int> chosenSet(chosen.begin(), chosen.end());

  // Everything is checked before the first file changes.
  for (const int n : chosen) {
    if (n < 1 || n > resultCount)
      throw InputError((options.result / "_result.txt").string() + ": has no scene " + std::to_string(n));
    const ResultLine& line = result.lines[size_t(n - 1)];
    if (line.status != "OK" && line.status != "CREATED" && line.status != "SKIPPED")
      throw InputError((options.result / "_result.txt").string() + ": scene " + std::to_string(n) + " (" +
                       line.name + ") has no image to approve (" + line.status + ")");
    if (!std::filesystem::is_regular_file(options.result / ImageName(n)))
      throw InputError((options.result / ImageName(n)).string() + ": image missing");
    // the reference report's lines stay one per position, without gaps
    if (n > referenceCount + 1 && !chosenSet.count(n - 1))
      throw InputError(options.reference.string() + ": has " + std::to_string(referenceCount) +
                       " scenes; approve scene " + std::to_string(n - 1) + " before scene " +
                       std::to_string(n));
  }

  const std::string resultScenes = SceneFolder(options.result);
  const std::string referenceScenes = SceneFolder(options.reference);
  for (const int n : chosen) {
    const ResultLine& line = result.lines[size_t(n - 1)];
    CopyFileAtomically(options.result / ImageName(n), options.reference / ImageName(n));
    // The reference keeps naming scenes below its own scene folder, as its run wrote them.
    std::string name = line.name;
    if (name.compare(0, resultScenes.size(), resultScenes) == 0)
      name = referenceScenes + name.substr(resultScenes.size());
    ResultLine approved = line;
    approved.status = "CREATED";
    approved.name = name;
    approved.text = CreatedLineText(n, line.tnewText, name);
    if (n <= int(reference.lines.size())) {
      reference.lines[size_t(n - 1)] = approved;
    } else {
      reference.lines.push_back(approved);
    }
  }
  // A reference with more lines than the run has scenes is refused by the next comparison.
  if (all && options.force && int(reference.lines.size()) > resultCount)
    reference.lines.resize(size_t(resultCount));
  WriteFileAtomically(options.reference / "_result.txt", ResultFileText(reference));
  return chosen;
}

}  // namespace relkit_report
