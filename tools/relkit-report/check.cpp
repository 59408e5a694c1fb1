#include "check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <system_error>
#include <thread>

#include "scene_errors.h"
#include "ssim.h"
#include "test_hooks.h"
#include "threshold_rules.h"

namespace relkit_report {

namespace {

std::string Percent(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%", fraction * 100.0);
  return text;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

void Raise(SceneVerdict& scene, Verdict verdict, std::string reason) {
  // PASS < WARN < FAIL in severity; NEW, ERROR and MISSING are set before any threshold is looked at
  if (verdict == Verdict::kFail || (verdict == Verdict::kWarn && scene.verdict == Verdict::kPass))
    scene.verdict = verdict;
  scene.reasons.push_back(std::move(reason));
}

void JudgeFigures(SceneVerdict& scene, const Thresholds& t) {
  const double share = scene.stats.pixels ? double(scene.stats.pixelsOver) / double(scene.stats.pixels) : 0;
  const std::string pixels = std::to_string(scene.stats.pixelsOver) + " of " +
                             std::to_string(scene.stats.pixels) + " pixels (" + Percent(share) +
                             ") differ by more than " + std::to_string(t.pixel);
  if (share > t.failPixels)
    Raise(scene, Verdict::kFail, pixels + ", over the failure limit " + Percent(t.failPixels));
  else if (share > t.warnPixels)
    Raise(scene, Verdict::kWarn, pixels + ", over the warning limit " + Percent(t.warnPixels));

  const double mean = scene.Line().diff;
  if (mean > t.failMean)
    Raise(scene, Verdict::kFail,
          "mean difference " + Percent(mean) + " over the failure limit " + Percent(t.failMean));
  else if (mean > t.warnMean)
    Raise(scene, Verdict::kWarn,
          "mean difference " + Percent(mean) + " over the warning limit " + Percent(t.warnMean));

  const ResultLine& line = scene.Line();
  if (line.told > 0 && line.tnew > line.told * (1.0 + t.warnTime) && line.tnew - line.told >= t.timeFloor) {
    Raise(scene, t.failOnTime ? Verdict::kFail : Verdict::kWarn,
          "render time " + Seconds(line.tnew) + " against " + Seconds(line.told) + " (+" +
              Percent(line.tnew / line.told - 1.0) + "), over the limit +" + Percent(t.warnTime));
  }

  if (scene.hasSsim) {
    char text[96];
    if (scene.ssim < t.failSsim) {
      std::snprintf(text, sizeof text, "SSIM %.4f under the failure limit %.4f", scene.ssim, t.failSsim);
      Raise(scene, Verdict::kFail, text);
    } else if (scene.ssim < t.warnSsim) {
      std::snprintf(text, sizeof text, "SSIM %.4f under the warning limit %.4f", scene.ssim, t.warnSsim);
      Raise(scene, Verdict::kWarn, text);
    }
  }
}

// A scene that passed needs no closer look unless all were asked for.
bool WantsFullImages(FullImages which, Verdict verdict) {
  return which == FullImages::kAll || (which == FullImages::kNeeded && verdict != Verdict::kPass);
}

struct SceneTask {
  const CheckOptions& options;
  int referenceCount;  // lines in the reference report (0 without one)
  const std::filesystem::path& pictures;
  const SceneErrors& causes;  // what zorhost said about failed scenes
};

// Reads the scene's images, writes its pictures and judges it.
void JudgeScene(const SceneTask& task, SceneVerdict& scene) {
  const CheckOptions& options = task.options;
  const Thresholds& thresholds = scene.rule ? scene.rule->thresholds : options.thresholds;
  const bool hasImage =
      scene.Line().status == "OK" || scene.Line().status == "CREATED" || scene.Line().status == "SKIPPED";
  if (!hasImage) {
    scene.verdict = Verdict::kError;
    // the cause first: it is the one reason a CI server shows as the message
    const auto cause = task.causes.find(scene.Line().name);
    if (cause != task.causes.end()) scene.reasons.push_back(cause->second);
    if (scene.Line().status == "PENDING") {
      if (cause == task.causes.end())
        scene.reasons.push_back("not rendered: the run ended before this scene");
      return;
    }
    scene.reasons.push_back("the Renderator reported ERROR for this scene");
    return;
  }
  const std::string number = ImageName(scene.number).substr(0, ImageName(scene.number).size() - 4);
  const RgbImage fresh = ReadTiff(options.result / ImageName(scene.number));
  scene.hasNewPicture = true;
  const RgbImage freshThumbnail = Thumbnail(fresh, options.thumbnailSize);
  WritePng(freshThumbnail, task.pictures / (number + "-new.png"));

  const bool hasReferenceLine = scene.number <= task.referenceCount;
  const bool compare = scene.Line().status == "OK" && hasReferenceLine;
  std::optional<RgbImage> reference;
  const std::filesystem::path referenceImage =
      options.reference ? *options.reference / ImageName(scene.number) : std::filesystem::path();
  // The Renderator compared this scene with the reference image: it must be there and alike in size.
  if (compare || (scene.listChanged && std::filesystem::exists(referenceImage))) {
    reference = ReadTiff(referenceImage);
    if (reference->width != fresh.width || reference->height != fresh.height) {
      if (!scene.listChanged) {
        throw InputError(referenceImage.string() + ": " + std::to_string(reference->width) + " x " +
                         std::to_string(reference->height) + " pixels, but the new image " +
                         (options.result / ImageName(scene.number)).string() + " is " +
                         std::to_string(fresh.width) + " x " + std::to_string(fresh.height));
      }
      reference.reset();
    }
  }
  const int threshold = thresholds.pixel;
  if (reference) {
    scene.hasComparisonPictures = true;
    WritePng(Thumbnail(*reference, options.thumbnailSize), task.pictures / (number + "-ref.png"));
    WritePng(DifferenceThumbnail(fresh, *reference, options.thumbnailSize),
             task.pictures / (number + "-diff.png"));
    WritePng(AmplifiedThumbnail(fresh, *reference, freshThumbnail, threshold, options.thumbnailSize),
             task.pictures / (number + "-amp.png"));
    scene.stats = ComparePixels(fresh, *reference, threshold);
    if (thresholds.ssim && compare && !scene.listChanged) {
      const std::optional<double> ssim = Ssim(fresh, *reference);
      scene.hasSsim = ssim.has_value();
      scene.ssim = ssim.value_or(0);
    }
  }

  if (scene.listChanged) {
    scene.verdict = Verdict::kFail;
    scene.reasons.push_back("scene list changed: the reference's scene " + std::to_string(scene.number) +
                            " is " + scene.referenceName + "; not compared");
  } else if (!compare) {
    scene.verdict = Verdict::kNew;
    scene.reasons.push_back(hasReferenceLine ? "new reference image (" + scene.Line().status + ")"
                                             : "no reference for this scene yet");
  } else {
    scene.compared = true;
    JudgeFigures(scene, thresholds);
  }

  // The detail view shows a scene at full size; written here, on the worker, while its images are
  // still in memory. A page opened from disk may not read the pixels of its own pictures, so the new
  // and reference images come again as a script (data URLs) for the values under the pointer.
  if (WantsFullImages(options.fullImages, scene.verdict)) {
    const std::string freshPng = EncodePng(fresh);
    WriteBytes(freshPng, task.pictures / (number + "-full-new.png"));
    std::string pixels = "relkitPixels(" + std::to_string(scene.number) +
                         ", {\"new\": \"data:image/png;base64," + Base64(freshPng) + "\"";
    if (reference) {
      const std::string referencePng = EncodePng(*reference);
      WriteBytes(referencePng, task.pictures / (number + "-full-ref.png"));
      WriteBytes(EncodePng(AmplifiedThumbnail(fresh, *reference, fresh, threshold,
                                              std::max(fresh.width, fresh.height))),
                 task.pictures / (number + "-full-diff.png"));
      pixels += ", \"ref\": \"data:image/png;base64," + Base64(referencePng) + "\"";
      scene.hasFullComparison = true;
    }
    WriteBytes(pixels + "});\n", task.pictures / (number + "-full-pixels.js"));
    scene.hasFullNew = true;
  }
}

}  // namespace

const char* VerdictWord(Verdict verdict) {
  static const char* const kWords[kVerdictCount] = {"PASS", "WARN", "FAIL", "ERROR", "NEW", "MISSING"};
  return kWords[int(verdict)];
}

bool IsFailure(Verdict verdict) {
  return verdict == Verdict::kFail || verdict == Verdict::kError || verdict == Verdict::kMissing;
}

void ParallelFor(int count, int jobs, const std::function<void(int)>& work) {
  if (jobs <= 0) jobs = int(std::max(1u, std::thread::hardware_concurrency()));
  jobs = std::min(jobs, std::max(count, 1));
  std::atomic<int> next{0};
  auto run = [&] {
    for (int i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> threads;
  static const long kFailAt = TestHook("RELKIT_REPORT_TEST_FAIL_THREAD");
  try {
    for (int j = 1; j < jobs; ++j) {
      if (j == kFailAt)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      threads.emplace_back(run);
    }
  } catch (const std::system_error& e) {
    // The threads already started stop once no work is left; a thread left unjoined would end the
    // process.
    next = count;
    for (std::thread& t : threads) t.join();
    throw InputError("cannot start thread " + std::to_string(threads.size() + 2) + " of " +
                     std::to_string(jobs) + " (" + e.code().message() + "); try fewer --jobs");
  }
  run();
  for (std::thread& t : threads) t.join();
}

std::string Picture(int number, const char* kind, const char* extension) {
  const std::string name = ImageName(number);
  return std::string(kPictureFolder) + "/" + name.substr(0, name.size() - 4) + "-" + kind + extension;
}

const ResultLine& SceneVerdict::Line() const {
  static const ResultLine kNone;
  return report ? *report : kNone;
}

CheckOutcome RunCheck(const CheckOptions& options, const std::filesystem::path& pictures) {
  const auto start = std::chrono::steady_clock::now();
  CheckOutcome outcome;
  outcome.result = ReadResultFile(options.result / "_result.txt");
  const ResultFile& result = outcome.result;
  if (!options.reference) {
    for (const ResultLine& line : result.lines)
      if (line.status == "OK")
        throw InputError((options.result / "_result.txt").string() +
                         ": a comparison's result; name the comparison base it was made against with "
                         "--reference DIR");
  }

  const int resultCount = int(result.lines.size());
  outcome.scenes.resize(size_t(resultCount));
  const std::string resultScenes = SceneFolderPrefix(options.result);
  for (int k = 0; k < resultCount; ++k) {
    SceneVerdict& scene = outcome.scenes[size_t(k)];
    scene.number = k + 1;
    scene.report = &result.lines[size_t(k)];
    scene.name = SceneName(scene.report->name, resultScenes);
  }
  // The reference report is only streamed through: of each line just its scene's name is kept.
  int referenceCount = 0;
  if (options.reference) {
    const std::string referenceScenes = SceneFolderPrefix(*options.reference);
    ReadResultFile(*options.reference / "_result.txt", [&](ResultLine&& line) {
      std::string name = SceneName(line.name, referenceScenes);
      if (referenceCount < resultCount) {
        SceneVerdict& scene = outcome.scenes[size_t(referenceCount)];
        scene.listChanged = scene.name != name;
        scene.referenceName = std::move(name);
      } else {
        SceneVerdict& scene = outcome.scenes.emplace_back();
        scene.number = referenceCount + 1;
        scene.name = name;
        scene.referenceName = std::move(name);
        scene.verdict = Verdict::kMissing;
        scene.reasons.push_back("in the reference but not in this run");
      }
      ++referenceCount;
    });
  }

  if (!options.rules.empty())
    for (SceneVerdict& scene : outcome.scenes) scene.rule = RuleFor(options.rules, scene.name);

  std::filesystem::create_directories(pictures);
  const SceneErrors causes = ReadSceneErrors(options.result);
  const SceneTask task{options, referenceCount, pictures, causes};
  std::vector<std::exception_ptr> errors(static_cast<size_t>(resultCount));
  ParallelFor(resultCount, options.jobs, [&](int k) {
    try {
      JudgeScene(task, outcome.scenes[size_t(k)]);
    } catch (...) {
      errors[size_t(k)] = std::current_exception();
    }
  });
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);

  for (const SceneVerdict& scene : outcome.scenes) {
    ++outcome.counts[int(scene.verdict)];
    outcome.sceneListChanged =
        outcome.sceneListChanged || scene.listChanged || scene.verdict == Verdict::kMissing;
    if (IsFailure(scene.verdict)) outcome.exitStatus = 1;
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return outcome;
}

}  // namespace relkit_report
