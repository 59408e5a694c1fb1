#include "approve.h"

#include <signal.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <system_error>

#include "files.h"
#include "result_file.h"
#include "test_hooks.h"

namespace relkit_report {

namespace {

// The folder a run collected its scenes from: the parent of its result folder.
std::string SceneFolder(const std::filesystem::path& resultFolder) {
  std::filesystem::path folder = std::filesystem::absolute(resultFolder).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  return folder.parent_path().string() + "/";
}

constexpr const char* kJournal = ".relkit-approve.journal";
// every file approve stages begins so, and nothing else in a base does
constexpr const char* kStagedPrefix = "relkit-approve-";

bool IsStagedName(const std::string& name) {
  return name.rfind(std::string(".") + kStagedPrefix, 0) == 0 && name.find('/') == std::string::npos;
}

// what a journal may name as a target: an image or the report, nothing outside the base
bool IsTargetName(const std::string& name) {
  if (name == "_result.txt") return true;
  if (name.size() < 8 || name.compare(name.size() - 4, 4, ".tif") != 0) return false;
  return name.find_first_not_of("0123456789", 0) == name.size() - 4;
}

// Steps of an approve, counted so that a test can stop it at any of them (as kill -9 would).
void Step() {
  static long steps = 0;
  static const long kStopAt = TestHook("RELKIT_REPORT_TEST_KILL_AT_STEP");
  if (++steps == kStopAt) ::raise(SIGKILL);
}

struct Staged {
  std::filesystem::path staged, target;
};

void RemoveStaged(const std::vector<Staged>& files) {
  std::error_code ignored;
  for (const Staged& f : files) std::filesystem::remove(f.staged, ignored);
}

// Moves every staged file over its target, the report last, then drops the journal. A file already
// moved (its staged name gone) was done before an interruption.
void Apply(const std::filesystem::path& base, const std::vector<Staged>& files) {
  for (const Staged& f : files) {
    if (!std::filesystem::exists(std::filesystem::symlink_status(f.staged))) continue;
    RenameOver(f.staged, f.target);
    Step();
  }
  SyncFolder(base);
  std::filesystem::remove(base / kJournal);
  SyncFolder(base);
  Step();
}

}  // namespace

bool HasInterruptedApprove(const std::filesystem::path& base) {
  std::error_code error;
  for (std::filesystem::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name == kJournal || IsStagedName(name)) return true;
  }
  return false;
}

void FinishInterruptedApprove(const std::filesystem::path& base) {
  const std::filesystem::path journal = base / kJournal;
  std::error_code error;
  if (std::filesystem::is_regular_file(journal, error)) {
    // The journal is written only once every staged file is complete: roll forward.
    std::ifstream in(journal);
    std::vector<Staged> files;
    std::string line;
    bool complete = false;
    while (std::getline(in, line)) {
      if (line == "end") {
        complete = true;
        break;
      }
      const size_t tab = line.find('\t');
      const std::string staged = line.substr(0, tab),
                        target = tab == std::string::npos ? "" : line.substr(tab + 1);
      if (!IsStagedName(staged) || !IsTargetName(target))
        throw InputError(journal.string() + ": damaged approve journal (\"" + line +
                         "\"); remove it and approve again");
      files.push_back({base / staged, base / target});
    }
    if (!complete)
      throw InputError(journal.string() + ": damaged approve journal (no end); remove it and approve again");
    try {
      Apply(base, files);
    } catch (const InputError& e) {
      throw InputError(std::string(e.what()) + ", finishing the interrupted approve of " + journal.string());
    }
  }
  // Without a journal, staged files are from an approve stopped before it changed anything: roll back.
  for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(base, error))
    if (IsStagedName(e.path().filename().string())) std::filesystem::remove(e.path(), error);
}

std::vector<int> Approve(const ApproveOptions& options) {
  const FolderLock lock(options.reference, true);
  FinishInterruptedApprove(options.reference);
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

  // Every new file is staged complete beside its place and the journal naming them is written; only
  // then is anything replaced. Stopped before the journal, the base is old; after it, a later run
  // finishes the renames.
  const std::string resultScenes = SceneFolder(options.result);
  const std::string referenceScenes = SceneFolder(options.reference);
  std::vector<Staged> staged;
  try {
    for (const int n : chosen) {
      const ResultLine& line = result.lines[size_t(n - 1)];
      const std::filesystem::path target = options.reference / ImageName(n);
      staged.push_back({CreateTemporaryBeside(target, kStagedPrefix), target});
      CopyIntoTemporary(options.result / ImageName(n), staged.back().staged, target);
      Step();
      // The reference keeps naming scenes below its own scene folder, as its run wrote them.
      std::string name = line.name;
      if (name.compare(0, resultScenes.size(), resultScenes) == 0)
        name = referenceScenes + name.substr(resultScenes.size());
      ResultLine approved = line;
      approved.status = "CREATED";
      approved.name = name;
      approved.text = StatusLineText(n, "CREATED", line.tnewText, name);
      if (n <= int(reference.lines.size())) {
        reference.lines[size_t(n - 1)] = approved;
      } else {
        reference.lines.push_back(approved);
      }
    }
    // A reference with more lines than the run has scenes is refused by the next comparison.
    if (all && options.force && int(reference.lines.size()) > resultCount)
      reference.lines.resize(size_t(resultCount));
    const std::filesystem::path report = options.reference / "_result.txt";
    staged.push_back({CreateTemporaryBeside(report, kStagedPrefix), report});
    FillTemporary(staged.back().staged, ResultFileText(reference), report);
    Step();
    std::string journal;
    for (const Staged& f : staged)
      journal += f.staged.filename().string() + "\t" + f.target.filename().string() + "\n";
    journal += "end\n";
    const std::filesystem::path journalPath = options.reference / kJournal;
    const std::filesystem::path journalStaged = CreateTemporaryBeside(journalPath, kStagedPrefix);
    FillTemporary(journalStaged, journal, journalPath);
    RenameOver(journalStaged, journalPath);
    SyncFolder(options.reference);
    Step();
  } catch (...) {
    RemoveStaged(staged);
    throw;
  }
  Apply(options.reference, staged);
  return chosen;
}

}  // namespace relkit_report
