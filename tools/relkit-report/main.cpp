// relkit-report: judges a Renderator result folder (check) and makes a run the comparison base
// (approve). Exit status: 0 nothing failed, 1 a scene failed, 2 usage error or unreadable input.
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "approve.h"
#include "check.h"
#include "files.h"
#include "history.h"
#include "outputs.h"
#include "shards.h"
#include "slurm_submit.h"
#include "threshold_rules.h"
#include "tool_main.h"
#include "zor_api.h"

namespace {

using namespace relkit_report;

constexpr const char* kUsage = R"(usage:
  relkit-report check RESULT_DIR [--reference DIR] [--history DIR] [thresholds] [--jobs N]
                [--full-images needed|all|none]
  relkit-report approve RESULT_DIR --into REFERENCE_DIR [--scene N ...] [--force]
  relkit-report split SCENES --shard I/N|auto --into VIEW [--reference BASE --base-into BASE_VIEW]
  relkit-report merge SHARD_RESULT... --into RESULT_DIR
  relkit-report slurm SCENES --shards N --into RESULT_DIR [--reference BASE] [--work DIR]
                [--zorhost FILE] [--host-arg ARG ...] [--sbatch ARG ...] [--history DIR] [thresholds]

check judges every scene of RESULT_DIR/_result.txt against the comparison base DIR and writes
_report.html (with pictures in _report_files/), _junit.xml, _summary.json and _summary.md (Markdown,
for CI pages) into RESULT_DIR. --history DIR appends the run to DIR/relkit-history.jsonl and shows each
scene's last runs on the page.
Thresholds (defaults in brackets; shares and limits in percent):
  --pixel-threshold N   a pixel differs when a channel changed by more than N of 255 [10]
  --warn-pixels P       WARN when more than P% of the pixels differ [0.1]
  --fail-pixels P       FAIL when more than P% of the pixels differ [1]
  --warn-mean P         WARN when the report's Diff is over P% [0.1]
  --fail-mean P         FAIL when the report's Diff is over P% [1]
  --warn-time P         WARN when a render is more than P% slower than Told [50] ...
  --time-floor S        ... and slower by at least S seconds [0.25]
  --fail-on-time        a slower render is a FAIL instead of a WARN
  --ssim                judge the structural similarity (SSIM) of new and reference image too
  --warn-ssim S         WARN when the SSIM is under S (0 to 1; implies --ssim) [0.98]
  --fail-ssim S         FAIL when the SSIM is under S (0 to 1; implies --ssim) [0.95]
  --thresholds FILE     thresholds per scene, as JSON rules (by default relkit-thresholds.json in
                        the folder the run's scenes were collected from, if there is one)
--full-images writes the images at full size for the page's detail view: for the scenes that are not
PASS (needed, the default), for all, or for none.
split makes shard I of N of a Renderator run over SCENES: VIEW holds links to every N-th scene (and
BASE_VIEW the matching part of the base), for 'zorhost -renderator VIEW BASE_VIEW' on any machine.
--shard auto reads RELKIT_SHARD=I/N, a Slurm array task, a Kubernetes indexed job (with
RELKIT_SHARD_COUNT) or a GitLab parallel job. merge joins the shards' result folders (or their views)
into RESULT_DIR as one run over SCENES; exit 1 when scenes were added or removed since the split.
slurm does it all on a Slurm cluster (an array job, then merge and check) and answers the verdict;
--work (default RESULT_DIR.shards) must lie outside SCENES, where every node sees it.
Options take their value as '--opt value' or '--opt=value'.
  -h, --help            show this text (also after check or approve)
  --version             show the version
Exit status: 0 nothing failed, 1 a scene failed (FAIL, ERROR, MISSING), 2 usage or unreadable input.
)";

using relkit_tools::UsageError;

constexpr const char* kVersion = "1.0";

// "--opt=value" becomes "--opt" "value", so that both spellings take the same path; an option
// without a value refuses one. The value of an option that hands it on to another program stays as it
// is: `--sbatch --partition=render` is sbatch's option, not ours.
std::vector<std::string> SplitValues(const std::vector<std::string>& args,
                                     std::initializer_list<const char*> flags) {
  std::vector<std::string> out;
  bool handedOn = false;
  for (const std::string& a : args) {
    const size_t equals = a.find('=');
    const bool value = handedOn;
    handedOn = !value && (a == "--sbatch" || a == "--host-arg");
    if (value || a.rfind("--", 0) != 0 || equals == std::string::npos) {
      out.push_back(a);
      continue;
    }
    const std::string name = a.substr(0, equals);
    for (const char* flag : flags)
      if (name == flag) throw UsageError{name + " takes no value"};
    out.push_back(name);
    out.push_back(a.substr(equals + 1));
  }
  return out;
}

bool WantsHelp(const std::vector<std::string>& args) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i] == "--help" || args[i] == "-h") return true;
  return false;
}

double Number(const std::vector<std::string>& args, size_t& i, double low, double high) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs a value"};
  const std::string& text = args[++i];
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != 0 || errno != 0 || !(value >= low && value <= high))
    throw UsageError{args[i - 1] + ": \"" + text + "\" is not a number from " + std::to_string(low) + " to " +
                     std::to_string(high)};
  return value;
}

// the one argument that is not an option: the result folder
void TakeResultFolder(const std::string& arg, std::filesystem::path& result, bool& haveResult) {
  if (!arg.empty() && arg[0] == '-') throw UsageError{"unknown option " + arg};
  if (haveResult) throw UsageError{"one result folder only (" + arg + ")"};
  result = arg;
  haveResult = true;
}

std::string Value(const std::vector<std::string>& args, size_t& i, const char* what) {
  if (i + 1 >= args.size()) throw UsageError{args[i] + " needs " + what};
  return args[++i];
}

// A threshold, --thresholds, --full-images or --jobs option at args[i] into options; false for any other
// argument.
bool TakeCheckOption(const std::vector<std::string>& args, size_t& i, CheckOptions& options) {
  const std::string& a = args[i];
  const ThresholdKey* key = a.rfind("--", 0) == 0 ? FindThresholdKey(std::string_view(a).substr(2)) : nullptr;
  if (key) {
    key->set(options.thresholds, key->flag ? 1 : Number(args, i, key->low, key->high) * key->scale);
    // a limit for the similarity asks for it
    if (a == "--warn-ssim" || a == "--fail-ssim") options.thresholds.ssim = true;
  } else if (a == "--thresholds") {
    if (i + 1 >= args.size()) throw UsageError{a + " needs a file"};
    options.thresholdsFile = args[++i];
  } else if (a == "--full-images") {
    const std::string which = Value(args, i, "needed, all or none");
    if (which == "needed")
      options.fullImages = FullImages::kNeeded;
    else if (which == "all")
      options.fullImages = FullImages::kAll;
    else if (which == "none")
      options.fullImages = FullImages::kNone;
    else
      throw UsageError{"--full-images: \"" + which + "\" is not needed, all or none"};
  } else if (a == "--jobs") {
    options.jobs = int(Number(args, i, 1, 256));
  } else {
    return false;
  }
  return true;
}

int Check(const std::vector<std::string>& rawArgs) {
  const std::vector<std::string> args = SplitValues(rawArgs, {"--fail-on-time", "--ssim"});
  CheckOptions options;
  bool haveResult = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--reference")
      options.reference = Value(args, i, "a folder");
    else if (args[i] == "--history")
      options.history = Value(args, i, "a folder");
    else if (!TakeCheckOption(args, i, options))
      TakeResultFolder(args[i], options.result, haveResult);
  }
  if (!haveResult) throw UsageError{"check needs a result folder"};
  options.rules = ReadThresholdRules(options.result, options.thresholdsFile, options.thresholds);

  // One check at a time writes a result folder; the base is only read, and no approve may change it
  // meanwhile (one interrupted earlier is finished first). Two checks whose folders are each other's
  // base take the two locks in the same order, by path, so they cannot wait for each other.
  std::optional<FolderLock> resultLock, referenceLock;
  std::error_code error;
  if (options.reference && !std::filesystem::equivalent(*options.reference, options.result, error)) {
    if (HasInterruptedApprove(*options.reference)) {
      const FolderLock finishing(*options.reference, true);
      FinishInterruptedApprove(*options.reference);
    }
    const std::filesystem::path result = std::filesystem::weakly_canonical(options.result, error);
    if (result < std::filesystem::weakly_canonical(*options.reference, error))
      resultLock.emplace(options.result, true);
    referenceLock.emplace(*options.reference, false);
  }
  if (!resultLock) resultLock.emplace(options.result, true);
  // The pictures are made in a folder of their own and moved into place with the other files only
  // when every scene could be read.
  const TemporaryFolder picturesHeld(options.result / kPictureFolder);
  const std::filesystem::path& pictures = picturesHeld.Path();
  try {
    const CheckOutcome outcome = RunCheck(options, pictures);
    // the run joins the history before its outputs are written, which show it as the last run
    std::optional<SceneHistories> history;
    if (options.history) {
      HistoryRun run = RecordOf(outcome, options.result);
      std::vector<HistoryRun> earlier = ReadAndAppendHistory(*options.history, run);
      history.emplace(std::move(earlier), std::move(run));
    }
    WriteOutputs(outcome, options, pictures, history ? &*history : nullptr);
    for (const SceneVerdict& s : outcome.scenes) {
      if (s.verdict == Verdict::kPass) continue;
      std::cout << VerdictWord(s.verdict) << " " << s.number << " " << s.name;
      if (!s.reasons.empty()) std::cout << ": " << s.reasons.front();
      std::cout << "\n";
    }
    std::cout << "relkit-report:";
    for (int v = 0; v < kVerdictCount; ++v)
      std::cout << " " << VerdictWord(Verdict(v)) << " " << outcome.counts[v];
    if (outcome.sceneListChanged) std::cout << " (scene list changed)";
    std::cout << "\nreport: " << (options.result / "_report.html").string() << "\n";
    return outcome.exitStatus;
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(pictures, ignored);
    throw;
  }
}

int ApproveCommand(const std::vector<std::string>& rawArgs) {
  const std::vector<std::string> args = SplitValues(rawArgs, {"--force"});
  ApproveOptions options;
  bool haveResult = false, haveInto = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--into") {
      if (i + 1 >= args.size()) throw UsageError{"--into needs a folder"};
      options.reference = args[++i];
      haveInto = true;
    } else if (a == "--scene") {
      options.scenes.push_back(int(Number(args, i, 1, 1e9)));
    } else if (a == "--force") {
      options.force = true;
    } else {
      TakeResultFolder(a, options.result, haveResult);
    }
  }
  if (!haveResult || !haveInto) throw UsageError{"approve needs a result folder and --into REFERENCE_DIR"};
  const std::vector<int> approved = Approve(options);
  std::cout << "relkit-report: approved " << approved.size() << " scene(s) into "
            << options.reference.string() << "\n";
  return 0;
}

int SplitCommand(const std::vector<std::string>& rawArgs) {
  const std::vector<std::string> args = SplitValues(rawArgs, {});
  SplitOptions options;
  bool haveScenes = false, haveShard = false, haveView = false, haveBaseView = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--shard") {
      const std::string value = Value(args, i, "I/N or auto");
      const auto shard = value == "auto" ? ShardFromEnvironment() : ParseShardIndex(value);
      if (!shard) throw UsageError{"--shard: \"" + value + "\" is not I/N with 1 <= I <= N, nor auto"};
      options.shard = *shard;
      haveShard = true;
    } else if (a == "--into") {
      options.view = Value(args, i, "a folder");
      haveView = true;
    } else if (a == "--reference") {
      options.base = Value(args, i, "a folder");
    } else if (a == "--base-into") {
      options.baseView = Value(args, i, "a folder");
      haveBaseView = true;
    } else {
      TakeResultFolder(a, options.scenes, haveScenes);
    }
  }
  if (!haveScenes || !haveShard || !haveView) throw UsageError{"split needs SCENES, --shard and --into"};
  if (options.base.has_value() != haveBaseView) throw UsageError{"--reference and --base-into go together"};
  const ShardManifest m = Split(options);
  std::cout << "relkit-report: shard " << m.shard.index << " of " << m.shard.count << ": " << m.names.size()
            << " of " << m.total << " scenes in " << options.view.string();
  if (options.base) std::cout << ", their base in " << options.baseView.string();
  std::cout << "\n";
  return 0;
}

int MergeCommand(const std::vector<std::string>& rawArgs) {
  const std::vector<std::string> args = SplitValues(rawArgs, {});
  std::vector<std::filesystem::path> shards;
  std::optional<std::filesystem::path> into;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--into")
      into = Value(args, i, "a folder");
    else if (!args[i].empty() && args[i][0] == '-')
      throw UsageError{"unknown option " + args[i]};
    else
      shards.emplace_back(args[i]);
  }
  if (shards.empty() || !into)
    throw UsageError{"merge needs the shards' result folders and --into RESULT_DIR"};
  const MergeOutcome outcome = Merge(shards, *into);
  std::cout << "relkit-report: merged " << outcome.scenes << " scenes of " << outcome.shards
            << " shards into " << into->string() << "\n";
  if (outcome.added.empty() && outcome.removed.empty()) return 0;
  std::cout << "relkit-report: scene list changed since the split: " << outcome.added.size()
            << " added (PENDING in the result), " << outcome.removed.size() << " removed (left out)\n";
  for (const std::string& name : outcome.added) std::cout << "  added   " << name << "\n";
  for (const std::string& name : outcome.removed) std::cout << "  removed " << name << "\n";
  return 1;
}

std::filesystem::path SelfPath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    throw InputError("cannot tell where relkit-report lies (/proc/self/exe: " + error.message() + ")");
  return self;
}

int SlurmCommand(const std::vector<std::string>& rawArgs) {
  const std::vector<std::string> args = SplitValues(rawArgs, {"--fail-on-time", "--ssim"});
  SlurmOptions options;
  CheckOptions thresholds;  // read only to refuse bad values before anything is submitted
  bool haveScenes = false, haveResult = false, haveWork = false;
  options.relkitReport = SelfPath();
  options.zorhost = options.relkitReport.parent_path() / "zorhost";
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const size_t start = i;
    if (a == "--shards") {
      options.shards = int(Number(args, i, 1, 10000));
    } else if (a == "--into") {
      options.result = std::filesystem::absolute(Value(args, i, "a folder"));
      haveResult = true;
    } else if (a == "--reference") {
      options.reference = std::filesystem::absolute(Value(args, i, "a folder"));
    } else if (a == "--work") {
      options.work = std::filesystem::absolute(Value(args, i, "a folder"));
      haveWork = true;
    } else if (a == "--zorhost") {
      options.zorhost = std::filesystem::absolute(Value(args, i, "a file"));
    } else if (a == "--host-arg") {
      options.zorhostArgs.push_back(Value(args, i, "an argument"));
    } else if (a == "--sbatch") {
      options.sbatchArgs.push_back(Value(args, i, "an argument"));
    } else if (a == "--history") {
      // the merge job's check runs elsewhere: it gets the folder by its full path
      options.checkArgs.insert(options.checkArgs.end(),
                               {a, std::filesystem::absolute(Value(args, i, "a folder")).string()});
    } else if (TakeCheckOption(args, i, thresholds)) {
      options.checkArgs.insert(options.checkArgs.end(), args.begin() + long(start),
                               args.begin() + long(i) + 1);
      // the check runs elsewhere: a named thresholds file is read now and passed on by its full path
      if (a == "--thresholds") {
        ReadThresholdRules(options.result, thresholds.thresholdsFile, thresholds.thresholds);
        options.checkArgs.back() = std::filesystem::absolute(*thresholds.thresholdsFile).string();
      }
    } else {
      std::filesystem::path scenes;
      TakeResultFolder(a, scenes, haveScenes);
      options.scenes = std::filesystem::absolute(scenes).lexically_normal();
    }
  }
  if (!haveScenes || !haveResult || options.shards == 0)
    throw UsageError{"slurm needs SCENES, --shards N and --into RESULT_DIR"};
  if (!haveWork) options.work = options.result.string() + ".shards";
  if (Inside(options.work.lexically_normal(), options.scenes))
    throw InputError(options.work.string() + ": the work folder lies in the scene folder, where the " +
                     "Renderator would collect the views' scenes; name a --work folder outside it");
  if (!std::filesystem::is_directory(options.scenes))
    throw InputError(options.scenes.string() + ": not a folder of scenes");
  if (::access(options.zorhost.c_str(), X_OK) != 0)
    throw InputError(options.zorhost.string() +
                     ": not a program that can be run; name zorhost with --zorhost");
  return RunOnSlurm(options);
}

int Command(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::cout << kUsage;
    return 0;
  }
  if (args[0] == "check") return Check(args);
  if (args[0] == "approve") return ApproveCommand(args);
  if (args[0] == "split") return SplitCommand(args);
  if (args[0] == "merge") return MergeCommand(args);
  if (args[0] == "slurm") return SlurmCommand(args);
  throw UsageError{"unknown command " + args[0]};
}

}  // namespace

int main(int argc, char** argv) {
  // Every scene allocates and frees images of about a megabyte; kept in the heap rather than mapped
  // and unmapped each time, their pages are not faulted in afresh for every scene.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  const std::string version = std::string(kVersion) + "\nhost API version " +
                              std::to_string(ZOR_HOST_API_VERSION) + " (the Renderator results it reads)\n";
  return relkit_tools::RunToolMain("relkit-report", kUsage, version, argc, argv, Command);
}
