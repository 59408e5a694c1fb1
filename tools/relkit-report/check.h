// The verdict on a result folder: every scene of its report judged against its reference, with the
// pictures that show why.
#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "images.h"
#include "result_file.h"

namespace relkit_report {

struct Thresholds {
  int pixel = 10;             // a pixel differs when one of its channels changed by more (0 to 255)
  double warnPixels = 0.001;  // share of differing pixels that makes a WARN ...
  double failPixels = 0.01;   // ... and a FAIL
  double warnMean = 0.001;    // the report's Diff (mean difference) that makes a WARN ...
  double failMean = 0.01;     // ... and a FAIL
  double warnTime = 0.5;      // a render slower by more than this share of Told ...
  double timeFloor = 0.25;    // ... and by at least this many seconds is a WARN
  bool failOnTime = false;    // such a slower render is a FAIL instead
  bool ssim = false;          // the structural similarity of new and reference image is judged too:
  double warnSsim = 0.98;     // under this it makes a WARN ...
  double failSsim = 0.95;     // ... and under this a FAIL
};

// A threshold as the command line and the thresholds file name it: a number from low to high
// (stored multiplied by scale), or a flag that takes none.
struct ThresholdKey {
  const char* name;  // without "--"
  bool flag;
  double low, high, scale;
  void (*set)(Thresholds&, double);
};
const std::vector<ThresholdKey>& ThresholdKeys();
const ThresholdKey* FindThresholdKey(std::string_view name);

// The thresholds of the scenes whose names match pattern.
struct ThresholdRule {
  std::string pattern;
  Thresholds thresholds;
};

enum class Verdict { kPass, kWarn, kFail, kError, kNew, kMissing };
inline constexpr int kVerdictCount = 6;
const char* VerdictWord(Verdict verdict);
// FAIL, ERROR and MISSING make a check fail
bool IsFailure(Verdict verdict);

// Which scenes get their images at full size in the pictures folder, for the page's detail view.
enum class FullImages { kNeeded, kAll, kNone };  // kNeeded: FAIL and WARN, ERROR and NEW with an image

struct CheckOptions {
  std::filesystem::path result;
  std::optional<std::filesystem::path> reference;
  Thresholds thresholds;                                // for scenes no rule matches
  std::optional<std::filesystem::path> thresholdsFile;  // where the rules came from, if anywhere
  std::vector<ThresholdRule> rules;                     // the first that matches a scene applies
  int jobs = 0;                                         // 0: one per processor
  int thumbnailSize = 160;
  std::optional<std::filesystem::path> history;  // the folder whose history this run joins
  FullImages fullImages = FullImages::kNeeded;
};

struct SceneVerdict {
  int number = 0;
  std::string name;           // relative to the scene folder when it lies below it
  std::string referenceName;  // the reference report's scene at this position, if any
  Verdict verdict = Verdict::kPass;
  std::vector<std::string> reasons;
  bool listChanged = false;
  const ResultLine* report = nullptr;  // the result report's line, in CheckOutcome::result
  const ResultLine& Line() const;      // that line, or an empty one for a MISSING scene
  bool compared = false;
  PixelStats stats;
  const ThresholdRule* rule = nullptr;  // in CheckOptions::rules; null: the command line's thresholds
  bool hasSsim = false;
  double ssim = 0;
  // which pictures were made (see Picture), kept as flags: a check may judge a million scenes
  bool hasNewPicture = false;
  bool hasComparisonPictures = false;  // reference, difference and amplified
  bool hasFullNew = false;             // the new image at full size, and its pixels
  bool hasFullComparison = false;      // the reference and the difference at full size
};

struct CheckOutcome {
  CheckOutcome() = default;
  // a copy's scenes would point into the original's report
  CheckOutcome(const CheckOutcome&) = delete;
  CheckOutcome& operator=(const CheckOutcome&) = delete;
  CheckOutcome(CheckOutcome&&) = default;
  CheckOutcome& operator=(CheckOutcome&&) = default;

  ResultFile result;  // the result report, which the scenes point into
  std::vector<SceneVerdict> scenes;
  int counts[kVerdictCount] = {};
  bool sceneListChanged = false;
  int exitStatus = 0;
  double seconds = 0;  // how long the check took
};

// The folder of pictures below the result folder, as the page names it.
inline constexpr const char* kPictureFolder = "_report_files";

// A scene's picture file relative to the result folder; kind is new, ref, diff or amp, or full-new,
// full-ref or full-diff for the images at full size, and full-pixels (".js") for their pixel values.
std::string Picture(int number, const char* kind, const char* extension = ".png");

// Judges every scene; the pictures go to pictureFolder (the caller moves it into place). Throws
// InputError naming the file for bad input.
CheckOutcome RunCheck(const CheckOptions& options, const std::filesystem::path& pictureFolder);

// Runs work(i) for i below count on `jobs` threads (0: one per processor). When a thread cannot be
// started, joins those that were and throws InputError.
void ParallelFor(int count, int jobs, const std::function<void(int)>& work);

}  // namespace relkit_report
