#include "renderator_worker.h"

#include "renderator_compare.h"
#include "renderator_run.h"
#include "scene_batch/batch_run.h"
#include "scene_batch/pinned_settings.h"
#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_document.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"

namespace {

// What the run pins before each render, in the order it writes them, so that a scene renders under
// the same conditions in every run. The resolution is cut to whole pixels because the image bitmap is
// allocated with the integer size.
constexpr PinnedSetting kComparableBefore[] = {
    {5202, PinKind::kBool, 0},
    {0, PinKind::kFilmGrainOff, 0},
    {ZOR_RENDER_SETTING_WIDTH, PinKind::kWholeFloat, 0},
    {ZOR_RENDER_SETTING_HEIGHT, PinKind::kWholeFloat, 0},
};
constexpr PinnedSetting kComparableAfter[] = {
    {5202, PinKind::kBool, 0},
    {5024, PinKind::kBool, 0},
    {ZOR_RENDER_SETTING_ENGINE, PinKind::kNoLegacyEngine, 0},
    {0, PinKind::kPhysicalSamplerDown, 0},
};
// The warm-up render only brings the host's caches up before the timed render: small, and its image
// is never looked at.
constexpr int32_t kWarmUpSize = 16;
constexpr PinnedSetting kWarmUpOnly[] = {
    {ZOR_RENDER_SETTING_WIDTH, PinKind::kInt, kWarmUpSize},
    {ZOR_RENDER_SETTING_HEIGHT, PinKind::kInt, kWarmUpSize},
    {5401, PinKind::kBool, 0},
    {7011, PinKind::kBool, 1},
};

struct ScenePaths {
  Filename image;
  Filename differenceImage;
  Filename referenceImage;
};

ScenePaths PathsFor(const RenderatorRunState& run, int32_t index) {
  const String number = SceneNumberText(index);
  return ScenePaths{run.resultFolder + Filename(number + ".tif"),
                    run.resultFolder + Filename(number + "d.tif"),
                    run.referenceFolder + Filename(number + ".tif")};
}

String StatusText(int32_t index, int32_t count, int32_t percent, const char* action, const Filename& file) {
  String text = "[" + String::FromInt(int64_t(index) + 1) + "/" + String::FromInt(count) + " - " +
                String::FromInt(percent) + "%] ";
  text += action;
  text += file.GetFile().GetString();
  text += "...";
  return text;
}

}  // namespace

int32_t ScenePercent(int32_t index, int32_t count) {
  // In integers: a quotient of doubles falls just below some whole percentages (29 of 100 gives 28).
  return count > 0 ? int32_t((int64_t(index) + 1) * 100 / count) : 0;
}

void ApplyRendererChoice(RenderData& renderData, int32_t openGl, int32_t overrideChoice) {
  if (openGl != 0) {
    renderData.SetParameterInt(ZOR_RENDER_SETTING_ENGINE, ZOR_ENGINE_HARDWARE, ZOR_PARAMETER_SET);
    return;
  }
  if (overrideChoice == 0) return;
  renderData.SetParameterInt(ZOR_RENDER_SETTING_ENGINE, ZOR_ENGINE_PHYSICAL, ZOR_PARAMETER_SET);
  renderData.SetParameterInt(ZOR_RENDER_SETTING_PHYSICAL_ENABLE, 1, ZOR_PARAMETER_SET);
  BaseVideoPost physical = renderData.FindVideoPost(ZOR_VIDEOPOST_PHYSICAL);
  if (!physical.IsValid()) {
    GePrint("Could not create physical VP");
    return;
  }
  physical.SetParameterInt(ZOR_PHYSICAL_STRUCTURE, overrideChoice - 1, ZOR_PARAMETER_SET);
}

void NormaliseRenderSettings(BaseContainer& settings, RenderData& renderData, bool warmUp) {
  ApplyPinnedSettings(settings, renderData, kComparableBefore);
  ApplyPinnedSettings(settings, renderData, kPinnedForEveryBatchRender);
  ApplyPinnedSettings(settings, renderData, kComparableAfter);
  if (warmUp) ApplyPinnedSettings(settings, renderData, kWarmUpOnly);
}

PreviewThread::~PreviewThread() {
  End(true);
}

PreviewThread::SceneOutcome PreviewThread::ProcessScene(RenderatorRunState& run, int32_t index,
                                                        SceneResult& record) {
  const int32_t count = run.results.GetCount();
  const int32_t percent = ScenePercent(index, count);
  GeStatusSetPercent(percent);
  const ScenePaths paths = PathsFor(run, index);
  bool referenceMissing = false;
  if (run.continueBuild == 1) {
    if (FileExists(paths.referenceImage)) {
      record.status = kSceneStatusSkipped;
    } else {
      referenceMissing = true;
    }
  }
  const char* action = run.buildFlag == 1 || referenceMissing ? "Processing file "
                       : record.status == kSceneStatusSkipped ? "Skipping file "
                                                              : "Comparing file ";
  const String status =
      PublishStatus(run.statusText, StatusText(index, count, percent, action, record.file), kRenderatorId);
  GeStatusSetText(status);
  if (record.status == kSceneStatusSkipped) return SceneOutcome::kNextWithoutReport;

  record.status = kSceneStatusError;
  BaseDocument document = BaseDocument::Load(record.file, ZOR_LOAD_SCENE);
  if (!document.IsValid()) return SceneOutcome::kNextWithoutReport;

  RenderData renderData = document.GetActiveRenderData();
  ApplyRendererChoice(renderData, openGl_, g_renderatorSettings.overrideChoice);
  BaseContainer real = renderData.GetDataCopy();
  BaseContainer warmUp = real;
  NormaliseRenderSettings(warmUp, renderData, true);
  NormaliseRenderSettings(real, renderData, false);

  {
    BaseBitmap warmUpImage;
    if (!warmUpImage.IsValid() ||
        warmUpImage.Init(kWarmUpSize, kWarmUpSize, ZOR_DEPTH_RGB, 0) != ZOR_IMAGE_OK) {
      return SceneOutcome::kEndRun;
    }
    RenderDocument(document, warmUp, warmUpImage, ZOR_RENDER_FLAGS_FINAL, GetHandle());
  }

  BaseBitmap image;
  const int32_t width = int32_t(real.GetFloat(ZOR_RENDER_SETTING_WIDTH));
  const int32_t height = int32_t(real.GetFloat(ZOR_RENDER_SETTING_HEIGHT));
  if (!image.IsValid() || image.Init(width, height, ZOR_DEPTH_RGB, 0) != ZOR_IMAGE_OK)
    return SceneOutcome::kEndRun;

  const int64_t t0 = GeGetTimer();
  const bool comparing = run.buildFlag == 0 && !referenceMissing;
  if (comparing && !FileExists(paths.referenceImage)) return SceneOutcome::kEndRun;

  const int32_t flags =
      ZOR_RENDER_FLAGS_FINAL | (g_renderatorSettings.clusterRender ? ZOR_RENDER_FLAG_CLUSTER : 0);
  if (RenderDocument(document, real, image, flags, GetHandle()) != ZOR_RENDER_OK) return SceneOutcome::kNext;
  const int64_t t1 = GeGetTimer();
  record.tnew = ElapsedSeconds(t0, t1, TimeCut::kTruncate);
  BaseContainer noOptions;
  if (image.Save(paths.image, ZOR_FILTER_TIFF, &noOptions, 0) != ZOR_IMAGE_OK) return SceneOutcome::kEndRun;
  record.status = kSceneStatusOk;
  if (!comparing) {
    record.status = kSceneStatusCreated;
    return SceneOutcome::kNext;
  }
  BaseBitmap reference;
  double diff = 0.0;
  if (!CompareImages(image, paths.referenceImage, reference, diff)) return SceneOutcome::kEndRun;
  record.diff = diff;
  const bool saved = reference.Save(paths.differenceImage, ZOR_FILTER_TIFF, &noOptions, 0) == ZOR_IMAGE_OK;
  record.status = saved ? kSceneStatusOk : kSceneStatusError;
  return SceneOutcome::kNext;
}

void PreviewThread::Run() {
  RenderatorRunState& run = *g_renderatorRun;
  ResultList& results = run.results;
  const int32_t count = results.GetCount();
  int32_t i = 0;
  for (; i < count; ++i) {
    if (TestBreak()) break;
    // A scene that ends the run leaves i at that scene, which the final text names.
    const SceneOutcome outcome = ProcessScene(run, i, results[i]);
    // The clean-up call follows a freed document: skipped scenes and scenes that did not load had
    // none, and a scene that ends the run is cleaned up with the end of the run.
    if (outcome == SceneOutcome::kNext) GeCleanup();
    if (outcome == SceneOutcome::kEndRun) break;
    // A break that came while this scene was worked on (the user closed the progress dialog) ends
    // the run at this scene, so that the final text names the scene that was in progress.
    if (TestBreak()) break;
    if (outcome == SceneOutcome::kNext) WriteReport(results, run.reportFile);
  }

  GeStatusClear();
  GeCleanup();
  {
    GeGlobalLockGuard lock;
    if (i < count) results[i].status = kSceneStatusError;
    run.statusText = FinalStatusText(i, count, i < count ? results[i].file : Filename());
    WriteReport(results, run.reportFile);
  }
  GeSpecialEventAdd(kRenderatorEndEvent);
}
