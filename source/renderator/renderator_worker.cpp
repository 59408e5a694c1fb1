#include "renderator_worker.h"

#include "renderator_compare.h"
#include "renderator_run.h"
#include "zor_bitmap.h"
#include "zor_container.h"
#include "zor_document.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"

namespace {

// Host ids of the render settings, video posts and render calls the run touches.
enum : int32_t {
  kSettingWidth = 5008,
  kSettingHeight = 5009,
  kSettingRenderEngine = 5300,
  kSettingPhysicalEnable = 6023,
  kPhysicalStructure = 4000,
  kPhysicalSampler = 3100,
  kVideoPostPhysical = 1023342,
  kVideoPostFilmGrain = 1001015,
  kFilmGrainOffBit = 4,
  kSetParameterFlags = 4,
  kLoadSceneFlags = 3,
  kRenderFlags = 1,
  kRenderFlagsCluster = 0x201,
  kWarmUpSize = 16
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

// What happened to one scene: next scene with or without rewriting the report, or the run ends at it.
enum class SceneOutcome { kNext, kNextWithoutReport, kEndRun };

}  // namespace

int32_t ScenePercent(int32_t index, int32_t count) {
  // In integers: a quotient of doubles falls just below some whole percentages (29 of 100 gives 28).
  return count > 0 ? int32_t((int64_t(index) + 1) * 100 / count) : 0;
}

void ApplyRendererChoice(RenderData& renderData, int32_t openGl, int32_t overrideChoice) {
  if (openGl != 0) {
    renderData.SetParameterInt(kSettingRenderEngine, ZOR_ENGINE_HARDWARE, kSetParameterFlags);
    return;
  }
  if (overrideChoice == 0) return;
  renderData.SetParameterInt(kSettingRenderEngine, ZOR_ENGINE_PHYSICAL, kSetParameterFlags);
  renderData.SetParameterInt(kSettingPhysicalEnable, 1, kSetParameterFlags);
  BaseVideoPost physical = renderData.FindVideoPost(kVideoPostPhysical);
  if (!physical.IsValid()) {
    GePrint("Could not create physical VP");
    return;
  }
  physical.SetParameterInt(kPhysicalStructure, overrideChoice - 1, kSetParameterFlags);
}

void NormaliseRenderSettings(BaseContainer& settings, RenderData& renderData, bool warmUp) {
  settings.SetBool(5202, false);
  BaseVideoPost grain = renderData.FindVideoPost(kVideoPostFilmGrain);
  if (grain.IsValid()) grain.SetFlags(grain.GetFlags() | kFilmGrainOffBit);
  settings.SetFloat(kSettingWidth, double(int32_t(settings.GetFloat(kSettingWidth))));
  settings.SetFloat(kSettingHeight, double(int32_t(settings.GetFloat(kSettingHeight))));
  settings.SetInt32(5016, 1);
  settings.SetInt32(5035, 0);
  settings.SetBool(5076, false);
  settings.SetBool(6014, false);
  settings.SetBool(5036, false);
  settings.SetInt32(5077, 0);
  settings.SetInt32(5033, ZOR_FILTER_TIFF);
  settings.SetBool(5202, false);
  settings.SetBool(5024, false);
  if (settings.GetInt32(kSettingRenderEngine) == ZOR_ENGINE_LEGACY)
    settings.SetInt32(kSettingRenderEngine, 0);
  BaseVideoPost physical = renderData.FindVideoPost(kVideoPostPhysical);
  if (physical.IsValid()) {
    BaseContainer physicalSettings = physical.GetDataInstance();
    if (physicalSettings.IsValid() && physicalSettings.GetInt32(kPhysicalSampler) == 2) {
      physicalSettings.SetInt32(kPhysicalSampler, 1);
    }
  }
  if (!warmUp) return;
  settings.SetInt32(kSettingWidth, kWarmUpSize);
  settings.SetInt32(kSettingHeight, kWarmUpSize);
  settings.SetBool(5401, false);
  settings.SetBool(7011, true);
}

PreviewThread::~PreviewThread() {
  End(true);
}

void PreviewThread::Run() {
  RenderatorRunState& run = *g_renderatorRun;
  ResultList& results = run.results;
  const int32_t count = results.GetCount();
  const bool continueBuild = run.continueBuild == 1;
  int32_t i = 0;

  // One scene; every early return that ends the run leaves i at this scene.
  auto processScene = [&](SceneResult& record) -> SceneOutcome {
    const int32_t percent = ScenePercent(i, count);
    GeStatusSetPercent(percent);
    const ScenePaths paths = PathsFor(run, i);
    bool referenceMissing = false;
    if (continueBuild) {
      if (FileExists(paths.referenceImage)) {
        record.status = SCENE_STATUS_SKIPPED;
      } else {
        referenceMissing = true;
      }
    }
    const char* action = run.buildFlag == 1 || referenceMissing  ? "Processing file "
                         : record.status == SCENE_STATUS_SKIPPED ? "Skipping file "
                                                                 : "Comparing file ";
    String status;
    {
      GeGlobalLockGuard lock;
      run.statusText = StatusText(i, count, percent, action, record.file);
      status = run.statusText;
      GePrint(run.statusText);
    }
    GeSpecialEventAdd(kRenderatorStatusEvent);
    GeStatusSetText(status);
    if (record.status == SCENE_STATUS_SKIPPED) return SceneOutcome::kNextWithoutReport;

    record.status = SCENE_STATUS_ERROR;
    BaseDocument document = BaseDocument::Load(record.file, kLoadSceneFlags);
    if (!document.IsValid()) return SceneOutcome::kNextWithoutReport;

    RenderData renderData = document.GetActiveRenderData();
    ApplyRendererChoice(renderData, openGl_, g_renderatorSettings.overrideChoice);
    BaseContainer real = renderData.GetDataCopy();
    BaseContainer warmUp = real;
    NormaliseRenderSettings(warmUp, renderData, true);
    NormaliseRenderSettings(real, renderData, false);

    {
      BaseBitmap warmUpImage;
      if (!warmUpImage.IsValid() || warmUpImage.Init(kWarmUpSize, kWarmUpSize, 24, 0) != ZOR_IMAGE_OK) {
        return SceneOutcome::kEndRun;
      }
      RenderDocument(document, warmUp, warmUpImage, kRenderFlags, GetHandle());
    }

    BaseBitmap image;
    const int32_t width = int32_t(real.GetFloat(kSettingWidth));
    const int32_t height = int32_t(real.GetFloat(kSettingHeight));
    if (!image.IsValid() || image.Init(width, height, 24, 0) != ZOR_IMAGE_OK) return SceneOutcome::kEndRun;

    const int64_t t0 = GeGetTimer();
    const bool comparing = run.buildFlag == 0 && !referenceMissing;
    if (comparing && !FileExists(paths.referenceImage)) return SceneOutcome::kEndRun;

    const int32_t flags = g_renderatorSettings.clusterRender ? kRenderFlagsCluster : kRenderFlags;
    BaseBitmap reference;
    if (RenderDocument(document, real, image, flags, GetHandle()) == ZOR_RENDER_OK) {
      const int64_t t1 = GeGetTimer();
      record.tnew = double(int64_t(double(t1 - t0) * 0.1)) / 100.0;
      BaseContainer noOptions;
      if (image.Save(paths.image, ZOR_FILTER_TIFF, &noOptions, 0) != ZOR_IMAGE_OK)
        return SceneOutcome::kEndRun;
      record.status = SCENE_STATUS_OK;
      if (comparing) {
        double diff = 0.0;
        if (!CompareImages(image, paths.referenceImage, reference, diff)) return SceneOutcome::kEndRun;
        record.diff = diff;
        const bool saved =
            reference.Save(paths.differenceImage, ZOR_FILTER_TIFF, &noOptions, 0) == ZOR_IMAGE_OK;
        record.status = saved ? SCENE_STATUS_OK : SCENE_STATUS_ERROR;
      } else {
        record.status = SCENE_STATUS_CREATED;
      }
    }
    return SceneOutcome::kNext;
  };

  for (; i < count; ++i) {
    if (TestBreak()) break;
    const SceneOutcome outcome = processScene(results[i]);
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
    if (i == count) {
      run.statusText = "Renderator successful!";
    } else {
      results[i].status = SCENE_STATUS_ERROR;
      run.statusText = "An error occured|(Scene " + results[i].file.GetString() + ")";
    }
    WriteReport(results, run.reportFile);
  }
  GeSpecialEventAdd(kRenderatorEndEvent);
}
