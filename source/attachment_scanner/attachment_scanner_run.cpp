#include "attachment_scanner_run.h"

#include <cmath>

#include "ge_mtools.h"
#include "scene_batch/batch_run.h"
#include "scene_batch/pinned_settings.h"
#include "scene_batch/scene_collect.h"
#include "zor_bitmap.h"
#include "zor_document.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"
#include "zor_thread.h"

AttachmentScannerRunState* g_attachmentScannerRun = nullptr;

namespace {

constexpr int32_t kImageSize = 256;
// Frames of the minimum time below this are taken for a broken scene file and repaired.
constexpr int64_t kLowestMinTimeFrame = -1000;

// Core messages that frame every scene: the host and its other plug-ins learn that a crash check is
// working (entry true) or done (false).
constexpr int32_t kCrashCheckRunning = 1;

// The render settings every scene is rendered with, in the order written over a copy of the scene's
// own. Two entries repeat the render data's own value, so that the copy holds it even when the scene
// file left it out; the size and 5024 are written twice, the second time as integers.
constexpr PinnedSetting kScanBefore[] = {
    {5202, PinKind::kBool, 0},
    {ZOR_RENDER_SETTING_WIDTH, PinKind::kFloat, kImageSize},
    {ZOR_RENDER_SETTING_HEIGHT, PinKind::kFloat, kImageSize},
};
constexpr PinnedSetting kScanAfter[] = {
    {5024, PinKind::kBool, 0},
    {5401, PinKind::kBool, 0},
    {6019, PinKind::kBool, 0},
    {5020, PinKind::kIntOfRenderData, 0},
    {5017, PinKind::kTimeOfRenderData, 0},
    {5052, PinKind::kBool, 0},
    {5080, PinKind::kBool, 0},
    {5002, PinKind::kInt, 1},
    {5069, PinKind::kBool, 0},
    {5200, PinKind::kBool, 0},
    {5079, PinKind::kBool, 0},
    {6012, PinKind::kBool, 0},
    {ZOR_RENDER_SETTING_WIDTH, PinKind::kInt, kImageSize},
    {ZOR_RENDER_SETTING_HEIGHT, PinKind::kInt, kImageSize},
    {5024, PinKind::kInt, 0},
    {ZOR_RENDER_SETTING_ENGINE, PinKind::kNoLegacyEngine, 0},
};
// The preview and the full render differ only in the engine: the host's quick preview renderer, then
// its standard one.
constexpr int32_t kEnginePreview = ZOR_ENGINE_PREVIEW;
constexpr int32_t kEngineFull = ZOR_ENGINE_STANDARD;

void SendCrashCheckMessage(bool running) {
  BaseContainer message(ZOR_CORE_CRASH_CHECK);
  message.SetBool(kCrashCheckRunning, running);
  GeSendCoreMessage(ZOR_CORE_MESSAGE, message);
}

int64_t LowMemoryCount() {
  return GetMemoryStatistics().GetInt64(ZOR_MEMSTAT_LOW_MEMORY);
}

String StatusText(int32_t index, int32_t count, const Filename& file) {
  return "[" + String::FromInt(int64_t(index) + 1) + "/" + String::FromInt(count) + "] " +
         "Processing file " + file.GetString() + "...";
}

int32_t CompareItemPaths(ASItem* const* a, ASItem* const* b) {
  const int32_t order = (*a)->file.GetString().Compare((*b)->file.GetString());
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

class ScannerReportLines final : public ReportLineSource {
 public:
  explicit ScannerReportLines(AttachmentScannerRunState& run) : run_(run) {}
  int32_t LineCount() override { return run_.items.GetCount(); }
  ReportLineKey LineKey(int32_t index) override {
    const ASItem& item = run_.items[index];
    return ReportLineKey{
        item.file.Get(), {item.told, item.tnew, item.diff}, item.saved | (run_.referenceMissing << 1)};
  }
  String Line(int32_t index) override {
    return ScannerReportLine(index, run_.items[index], run_.referenceMissing);
  }

 private:
  AttachmentScannerRunState& run_;
};

// What one scene of the run ended with.
enum class SceneOutcome { kSkipped, kNotLoaded, kRendered, kEndRun };

class SceneWork {
 public:
  SceneWork(AttachmentScannerRunState& run, ZORThread& thread, const BaseContainer& globalSettings)
      : run_(run), thread_(thread), globalSettings_(globalSettings) {}

  SceneOutcome Process(int32_t index);
  // frees what a scene that ended the run still holds
  void Release() {
    bitmap_.reset();
    document_.Free();
  }

 private:
  bool Render(BaseContainer& settings, int32_t engine, const Filename& image, ASItem& item);

  AttachmentScannerRunState& run_;
  ZORThread& thread_;
  const BaseContainer& globalSettings_;
  BaseContainer saveOptions_;
  BaseDocument document_;
  OwnedObj<BaseBitmap> bitmap_;
};

// One render into the bitmap and, when it succeeds, the image save; false when the render failed.
bool SceneWork::Render(BaseContainer& settings, int32_t engine, const Filename& image, ASItem& item) {
  const int64_t t0 = GeGetTimer();
  settings.SetInt32(ZOR_RENDER_SETTING_ENGINE, engine);
  const int32_t flags = ZOR_RENDER_FLAGS_PREVIEW | (run_.clusterRender ? ZOR_RENDER_FLAG_CLUSTER : 0);
  if (RenderDocument(document_, settings, *bitmap_, flags, thread_.GetHandle()) != ZOR_RENDER_OK)
    return false;
  GeCheck();
  item.tnew = ElapsedSeconds(t0, GeGetTimer(), TimeCut::kFloor);
  item.saved = bitmap_->Save(image, ZOR_FILTER_TIFF, &saveOptions_, 0) == ZOR_IMAGE_OK ? 1 : 0;
  GeCheck();
  return true;
}

SceneOutcome SceneWork::Process(int32_t index) {
  ASItem& item = run_.items[index];
  const Filename preview = PreviewImageName(run_.resultFolder, item.file);
  const Filename full = FullImageName(run_.resultFolder, item.file);
  if (FileExists(preview) && FileExists(full)) return SceneOutcome::kSkipped;

  PublishStatus(run_.statusText, StatusText(index, run_.items.GetCount(), item.file), kAttachmentScannerId);
  SendCrashCheckMessage(true);
  const int64_t lowMemoryBaseline = LowMemoryCount();

  GeCheck();
  SetGlobalSettings(globalSettings_);
  document_ = BaseDocument::Load(item.file, ZOR_LOAD_SCENE);
  GeCheck();
  if (!document_.IsValid()) {
    GePrint("Error loading document");
    return SceneOutcome::kNotLoaded;
  }

  int64_t num = 0;
  int64_t den = 1;
  document_.GetMinTime(num, den);
  const int64_t frame = MinTimeFrame(document_.GetFps(), num, den);
  if (frame < kLowestMinTimeFrame) {
    GePrint("Document MinTime Error: " + String::FromInt(frame));
    document_.SetMinTime(0, 1);
  }

  RenderData renderData = document_.GetActiveRenderData();
  BaseContainer settings = renderData.GetDataCopy();
  PrepareScanSettings(settings, renderData);
  ApplyScanVideoPostChanges(renderData);

  bitmap_ = NewOwnedObj(BaseBitmap);
  if (!bitmap_ || !bitmap_->IsValid() ||
      bitmap_->Init(kImageSize, kImageSize, ZOR_DEPTH_RGB, 0) != ZOR_IMAGE_OK)
    return SceneOutcome::kEndRun;

  if (!Render(settings, kEnginePreview, preview, item)) {
    GePrint("Error rendering scene (preview)");
  } else if (!Render(settings, kEngineFull, full, item)) {
    GePrint("Error rendering scene (rendering)");
  }

  GeCheck();
  const int64_t lowMemoryEvents = LowMemoryCount() - lowMemoryBaseline;
  if (lowMemoryEvents != 0) GePrint("LowMemCount: " + String::FromInt(lowMemoryEvents));
  Release();
  GeCleanup();
  return SceneOutcome::kRendered;
}

}  // namespace

bool ASItemList::Append(const Filename& file) {
  if (!items_.MakeRoom(1)) return false;
  OwnedObj<ASItem> item = NewOwnedObj(ASItem);
  if (!item) return false;
  item->file = file;
  items_.Push(item.release());  // cannot fail: the room is made
  return true;
}

void ASItemList::Clear() {
  for (int64_t i = 0; i < items_.Count(); ++i) {
    OwnedObj<ASItem> owned(items_[i]);
  }
  items_.Release();
  report_.Release();
}

void CollectAttachmentScenes(const Filename& folder, ASItemList& items) {
  CollectSceneFilesInto(folder, items);
}

void SortAttachmentScenes(ASItemList& items) {
  if (items.GetCount() == 0) return;
  GeSchmodderSort<ASItem> sorter(CompareItemPaths);
  sorter.Sort(items.References(), items.GetCount());
}

String SceneTag(const Filename& scene) {
  return scene.GetDirectory().GetFile().GetString() + "." + scene.GetFile().GetString();
}

Filename PreviewImageName(const Filename& resultFolder, const Filename& scene) {
  return resultFolder + Filename(SceneTag(scene) + ".soft.tif");
}

Filename FullImageName(const Filename& resultFolder, const Filename& scene) {
  return resultFolder + Filename(SceneTag(scene) + ".tif");
}

int64_t MinTimeFrame(double fps, int64_t num, int64_t den) {
  const double frame = std::floor(fps * double(num)) / std::floor(double(den));
  // a frame beyond what 64 bits hold (or no number at all, from a zero denominator) is as broken as
  // one far below the first frame
  if (!(frame > -9.0e18 && frame < 9.0e18)) return frame > 0 ? INT64_MAX : INT64_MIN;
  return int64_t(frame);
}

void PrepareScanSettings(BaseContainer& settings, const RenderData& renderData) {
  ApplyPinnedSettings(settings, renderData, kScanBefore);
  ApplyPinnedSettings(settings, renderData, kPinnedForEveryBatchRender);
  ApplyPinnedSettings(settings, renderData, kScanAfter);
}

void ApplyScanVideoPostChanges(RenderData& renderData) {
  SwitchOffFilmGrain(renderData);
  LowerPhysicalSampler(renderData);
}

String ScannerReportLine(int32_t index, const ASItem& item, int32_t referenceMissing) {
  String line = ColumnText(String::FromInt(int64_t(index) + 1));
  line += ColumnText(String(item.saved == 1 ? "OK" : "ERROR"));
  line += ColumnText(TimeText(item.tnew));
  if (referenceMissing == 0) {
    // Told is shown only with a Trel to go with it
    const bool bothTimes = item.tnew != 0.0 && item.told != 0.0;
    line += bothTimes ? ColumnText(TimeText(item.told)) : BlankColumns(1);
    line += RelativeTimeColumn(item.tnew, item.told);
    line += DiffColumn(item.diff);
  } else {
    line += BlankColumns(3);
  }
  line += item.file.GetFile().GetString();
  return line;
}

void WriteScannerReport(AttachmentScannerRunState& run) {
  ScannerReportLines lines(run);
  WriteReportLines(lines, run.items.Report(), run.resultFile);
}

void RunCrashCheck(AttachmentScannerRunState& run, ZORThread& thread) {
  const BaseContainer globalSettings = GetGlobalSettingsCopy();
  SceneWork work(run, thread, globalSettings);
  const int32_t count = run.items.GetCount();
  int32_t i = 0;
  for (; i < count; ++i) {
    if (thread.TestBreak()) break;
    const SceneOutcome outcome = work.Process(i);
    if (outcome == SceneOutcome::kEndRun) break;
    if (outcome != SceneOutcome::kRendered) continue;
    if (!thread.TestBreak()) WriteScannerReport(run);
  }

  SetGlobalSettings(globalSettings);
  work.Release();
  GeCleanup();
  {
    GeGlobalLockGuard lock;
    run.statusText = FinalStatusText(i, count, i < count ? run.items[i].file : Filename());
  }
  GeSpecialEventAdd(kAttachmentScannerEndEvent);
  SendCrashCheckMessage(false);
}
