// relkit-report: judges a Renderator result folder (check) and makes a run the comparison base
// (approve). Exit status: 0 nothing failed, 1 a scene failed, 2 usage error or unreadable input.
#include <malloc.h>

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
#include "outputs.h"
#include "tool_main.h"
#include "zor_api.h"

namespace {

using namespace relkit_report;

constexpr const char* kUsage = R"(usage:
  relkit-report check RESULT_DIR [--reference DIR] [thresholds] [--jobs N]
  relkit-report approve RESULT_DIR --into REFERENCE_DIR [--scene N ...] [--force]

check judges every scene of RESULT_DIR/_result.txt against the comparison base DIR and writes
_report.html (with pictures in _report_files/), _junit.xml and _summary.json into RESULT_DIR.
Thresholds (defaults in brackets; shares and limits in percent):
  --pixel-threshold N   a pixel differs when a channel changed by more than N of 255 [10]
  --warn-pixels P       WARN when more than P% of the pixels differ [0.1]
  --fail-pixels P       FAIL when more than P% of the pixels differ [1]
  --warn-mean P         WARN when the report's Diff is over P% [0.1]
  --fail-mean P         FAIL when the report's Diff is over P% [1]
  --warn-time P         WARN when a render is more than P% slower than Told [50] ...
  --time-floor S        ... and slower by at least S seconds [0.25]
  --fail-on-time        a slower render is a FAIL instead of a WARN
Options take their value as '--opt value' or '--opt=value'.
  -h, --help            show this text (also after check or approve)
  --version             show the version
Exit status: 0 nothing failed, 1 a scene failed (FAIL, ERROR, MISSING), 2 usage or unreadable input.
)";

using relkit_tools::UsageError;

constexpr const char* kVersion = "1.0";

// "--opt=value" becomes "--opt" "value", so that both spellings take the same path; an option
// without a value refuses one.
std::vector<std::string> SplitValues(const std::vector<std::string>& args,
                                     std::initializer_list<const char*> flags) {
  std::vector<std::string> out;
  for (const std::string& a : args) {
    const size_t equals = a.find('=');
    if (a.rfind("--", 0) != 0 || equals == std::string::npos) {
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

int Check(const std::vector<std::string>& rawArgs) {
  if (WantsHelp(rawArgs)) {
    std::cout << kUsage;
    return 0;
  }
  const std::vector<std::string> args = SplitValues(rawArgs, {"--fail-on-time"});
  CheckOptions options;
  bool haveResult = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    Thresholds& t = options.thresholds;
    if (a == "--reference") {
      if (i + 1 >= args.size()) throw UsageError{"--reference needs a folder"};
      options.reference = args[++i];
    } else if (a == "--pixel-threshold") {
      t.pixel = int(Number(args, i, 0, 255));
    } else if (a == "--warn-pixels") {
      t.warnPixels = Number(args, i, 0, 100) / 100;
    } else if (a == "--fail-pixels") {
      t.failPixels = Number(args, i, 0, 100) / 100;
    } else if (a == "--warn-mean") {
      t.warnMean = Number(args, i, 0, 100) / 100;
    } else if (a == "--fail-mean") {
      t.failMean = Number(args, i, 0, 100) / 100;
    } else if (a == "--warn-time") {
      t.warnTime = Number(args, i, 0, 1e9) / 100;
    } else if (a == "--time-floor") {
      t.timeFloor = Number(args, i, 0, 1e9);
    } else if (a == "--fail-on-time") {
      t.failOnTime = true;
    } else if (a == "--jobs") {
      options.jobs = int(Number(args, i, 1, 256));
    } else {
      TakeResultFolder(a, options.result, haveResult);
    }
  }
  if (!haveResult) throw UsageError{"check needs a result folder"};

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
  const std::filesystem::path pictures = CreateTemporaryFolderBeside(options.result / kPictureFolder);
  try {
    const CheckOutcome outcome = RunCheck(options, pictures);
    WriteOutputs(outcome, options, pictures);
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
  if (WantsHelp(rawArgs)) {
    std::cout << kUsage;
    return 0;
  }
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

int Command(const std::vector<std::string>& args) {
  if (args[0] == "check") return Check(args);
  if (args[0] == "approve") return ApproveCommand(args);
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
