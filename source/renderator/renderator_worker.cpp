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

// Render settings entries the run writes into its copies before each render, so that a scene renders
// under the same conditions in every run whatever its file saved. What each entry does is the host's
// business; the ids the host documents by role are named by it, the others by their id and the value
// the run pins.
//   resolution: cut to whole pixels, because the image bitmap is allocated with the integer size
constexpr int32_t kSettingWidth = ZOR_RENDER_SETTING_WIDTH;
constexpr int32_t kSettingHeight = ZOR_RENDER_SETTING_HEIGHT;
//   the renderer: the legacy engine is replaced by the standard one (0), which renders its scenes
constexpr int32_t kSettingRenderEngine = ZOR_RENDER_SETTING_ENGINE;
//   switched on together with the physical renderer when an override asks for it
constexpr int32_t kSettingPhysicalEnable = ZOR_RENDER_SETTING_PHYSICAL_ENABLE;
//   the output format: TIFF, the format in which the run saves its images
constexpr int32_t kSettingSaveFormat = 5033;
//   pinned off (false) for every render; 5202 is written first and once more after the others
constexpr int32_t kSettingOff5202 = 5202;
constexpr int32_t kSettingOff5076 = 5076;
constexpr int32_t kSettingOff6014 = 6014;
constexpr int32_t kSettingOff5036 = 5036;
constexpr int32_t kSettingOff5024 = 5024;
//   pinned integers for every render: 5016 to 1, 5035 and 5077 to 0
constexpr int32_t kSettingOne5016 = 5016;
constexpr int32_t kSettingZero5035 = 5035;
constexpr int32_t kSettingZero5077 = 5077;
//   the warm-up render only: 5401 off and 7011 on; its image is never looked at
constexpr int32_t kWarmUpOff5401 = 5401;
constexpr int32_t kWarmUpOn7011 = 7011;
// The warm-up render's size: small, it only brings the host's caches up before the timed render.
constexpr int32_t kWarmUpSize = 16;

// The physical renderer's video post: its acceleration structure follows the override choice, and a
// sampler setting of 2 is brought down to 1 for every scene.
constexpr int32_t kVideoPostPhysical = ZOR_VIDEOPOST_PHYSICAL;
constexpr int32_t kPhysicalStructure = ZOR_PHYSICAL_STRUCTURE;
constexpr int32_t kPhysicalSampler = ZOR_PHYSICAL_SAMPLER;
constexpr int32_t kPhysicalSamplerReplaced = 2;
constexpr int32_t kPhysicalSamplerUsed = 1;
// Film grain differs on every render, so it is switched off: a flag bit on the video post itself.
constexpr int32_t kVideoPostFilmGrain = ZOR_VIDEOPOST_FILM_GRAIN;
constexpr int32_t kFilmGrainOffBit = ZOR_VIDEOPOST_FLAG_OFF;

constexpr int32_t kSetParameterFlags = 4;
constexpr int32_t kLoadSceneFlags = 3;
constexpr int32_t kRenderFlags = 1;
constexpr int32_t kRenderFlagsCluster = 0x201;
constexpr int32_t kImageDepth = 24;

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
  settings.SetBool(kSettingOff5202, false);
  BaseVideoPost grain = renderData.FindVideoPost(kVideoPostFilmGrain);
  if (grain.IsValid()) grain.SetFlags(grain.GetFlags() | kFilmGrainOffBit);
  settings.SetFloat(kSettingWidth, double(int32_t(settings.GetFloat(kSettingWidth))));
  settings.SetFloat(kSettingHeight, double(int32_t(settings.GetFloat(kSettingHeight))));
  settings.SetInt32(kSettingOne5016, 1);
  settings.SetInt32(kSettingZero5035, 0);
  settings.SetBool(kSettingOff5076, false);
  settings.SetBool(kSettingOff6014, false);
  settings.SetBool(kSettingOff5036, false);
  settings.SetInt32(kSettingZero5077, 0);
  settings.SetInt32(kSettingSaveFormat, ZOR_FILTER_TIFF);
  settings.SetBool(kSettingOff5202, false);
  settings.SetBool(kSettingOff5024, false);
  if (settings.GetInt32(kSettingRenderEngine) == ZOR_ENGINE_LEGACY)
    settings.SetInt32(kSettingRenderEngine, ZOR_ENGINE_STANDARD);
  BaseVideoPost physical = renderData.FindVideoPost(kVideoPostPhysical);
  if (physical.IsValid()) {
    BaseContainer physicalSettings = physical.GetDataInstance();
    if (physicalSettings.IsValid() &&
        physicalSettings.GetInt32(kPhysicalSampler) == kPhysicalSamplerReplaced) {
      physicalSettings.SetInt32(kPhysicalSampler, kPhysicalSamplerUsed);
    }
  }
  if (!warmUp) return;
  settings.SetInt32(kSettingWidth, kWarmUpSize);
  settings.SetInt32(kSettingHeight, kWarmUpSize);
  settings.SetBool(kWarmUpOff5401, false);
  settings.SetBool(kWarmUpOn7011, true);
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
    run.statusText = StatusText(index, count, percent, action, record.file);
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
    if (!warmUpImage.IsValid() ||
        warmUpImage.Init(kWarmUpSize, kWarmUpSize, kImageDepth, 0) != ZOR_IMAGE_OK) {
      return SceneOutcome::kEndRun;
    }
    RenderDocument(document, warmUp, warmUpImage, kRenderFlags, GetHandle());
  }

  BaseBitmap image;
  const int32_t width = int32_t(real.GetFloat(kSettingWidth));
  const int32_t height = int32_t(real.GetFloat(kSettingHeight));
  if (!image.IsValid() || image.Init(width, height, kImageDepth, 0) != ZOR_IMAGE_OK)
    return SceneOutcome::kEndRun;

  const int64_t t0 = GeGetTimer();
  const bool comparing = run.buildFlag == 0 && !referenceMissing;
  if (comparing && !FileExists(paths.referenceImage)) return SceneOutcome::kEndRun;

  const int32_t flags = g_renderatorSettings.clusterRender ? kRenderFlagsCluster : kRenderFlags;
  if (RenderDocument(document, real, image, flags, GetHandle()) != ZOR_RENDER_OK) return SceneOutcome::kNext;
  const int64_t t1 = GeGetTimer();
  // seconds cut to hundredths
  record.tnew = double(int64_t(double(t1 - t0) * 0.1)) / 100.0;
  BaseContainer noOptions;
  if (image.Save(paths.image, ZOR_FILTER_TIFF, &noOptions, 0) != ZOR_IMAGE_OK) return SceneOutcome::kEndRun;
  record.status = SCENE_STATUS_OK;
  if (!comparing) {
    record.status = SCENE_STATUS_CREATED;
    return SceneOutcome::kNext;
  }
  BaseBitmap reference;
  double diff = 0.0;
  if (!CompareImages(image, paths.referenceImage, reference, diff)) return SceneOutcome::kEndRun;
  record.diff = diff;
  const bool saved = reference.Save(paths.differenceImage, ZOR_FILTER_TIFF, &noOptions, 0) == ZOR_IMAGE_OK;
  record.status = saved ? SCENE_STATUS_OK : SCENE_STATUS_ERROR;
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
