#include "attachment_scanner_run.h"

#include <cmath>
#include <cstring>

#include "ge_mtools.h"
#include "renderator/renderator_run.h"
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
constexpr int32_t kImageDepth = 24;
constexpr int32_t kLoadSceneFlags = 3;
constexpr int32_t kRenderFlags = 0x0B;
constexpr int32_t kRenderFlagsCluster = 0x20B;
// Frames of the minimum time below this are taken for a broken scene file and repaired.
constexpr int64_t kLowestMinTimeFrame = -1000;

// Core messages that frame every scene: the host and its other plug-ins learn that a crash check is
// working (entry true) or done (false).
constexpr int32_t kCrashCheckRunning = 1;

// The render settings every scene is rendered with, written in this order over a copy of the scene's
// own; what each entry does is the host's business. Two entries repeat the render data's own value,
// so that the copy holds it even when the scene file left it out.
enum class SettingKind { Bool, Int, Float, IntOfRenderData, TimeOfRenderData };
struct PinnedSetting {
  int32_t id;
  SettingKind kind;
  int32_t value;
};
constexpr PinnedSetting kScanSettings[] = {
    {5202, SettingKind::Bool, 0},
    {ZOR_RENDER_SETTING_WIDTH, SettingKind::Float, kImageSize},
    {ZOR_RENDER_SETTING_HEIGHT, SettingKind::Float, kImageSize},
    {5016, SettingKind::Int, 1},
    {5035, SettingKind::Int, 0},
    {5076, SettingKind::Bool, 0},
    {6014, SettingKind::Bool, 0},
    {5036, SettingKind::Bool, 0},
    {5077, SettingKind::Int, 0},
    {5033, SettingKind::Int, ZOR_FILTER_TIFF},
    {5024, SettingKind::Bool, 0},
    {5401, SettingKind::Bool, 0},
    {6019, SettingKind::Bool, 0},
    {5020, SettingKind::IntOfRenderData, 0},
    {5017, SettingKind::TimeOfRenderData, 0},
    {5052, SettingKind::Bool, 0},
    {5080, SettingKind::Bool, 0},
    {5002, SettingKind::Int, 1},
    {5069, SettingKind::Bool, 0},
    {5200, SettingKind::Bool, 0},
    {5079, SettingKind::Bool, 0},
    {6012, SettingKind::Bool, 0},
    // the size as whole pixels and 5024 as a number, replacing the values written above
    {ZOR_RENDER_SETTING_WIDTH, SettingKind::Int, kImageSize},
    {ZOR_RENDER_SETTING_HEIGHT, SettingKind::Int, kImageSize},
    {5024, SettingKind::Int, 0},
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

// Seconds cut to hundredths.
double ElapsedSeconds(int64_t t0, int64_t t1) {
  return std::floor(double(t1 - t0) * 0.1) / 100.0;
}

String StatusText(int32_t index, int32_t count, const Filename& file) {
  return "[" + String::FromInt(int64_t(index) + 1) + "/" + String::FromInt(count) + "] " +
         "Processing file " + file.GetString() + "...";
}

int32_t CompareItemPaths(ASItem* const* a, ASItem* const* b) {
  const int32_t order = (*a)->file.GetString().Compare((*b)->file.GetString());
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

class ItemSink final : public SceneSink {
 public:
  explicit ItemSink(ASItemList& items) : items_(items) {}
  bool Append(const Filename& file) override { return items_.Append(file); }

 private:
  ASItemList& items_;
};

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
  const int32_t flags = run_.clusterRender ? kRenderFlagsCluster : kRenderFlags;
  if (RenderDocument(document_, settings, *bitmap_, flags, thread_.GetHandle()) != ZOR_RENDER_OK)
    return false;
  GeCheck();
  item.tnew = ElapsedSeconds(t0, GeGetTimer());
  item.saved = bitmap_->Save(image, ZOR_FILTER_TIFF, &saveOptions_, 0) == ZOR_IMAGE_OK ? 1 : 0;
  GeCheck();
  return true;
}

SceneOutcome SceneWork::Process(int32_t index) {
  ASItem& item = run_.items[index];
  const Filename preview = PreviewImageName(run_.resultFolder, item.file);
  const Filename full = FullImageName(run_.resultFolder, item.file);
  if (FileExists(preview) && FileExists(full)) return SceneOutcome::kSkipped;

  {
    GeGlobalLockGuard lock;
    run_.statusText = StatusText(index, run_.items.GetCount(), item.file);
    GePrint(run_.statusText);
  }
  GeSpecialEventAdd(kAttachmentScannerId);
  SendCrashCheckMessage(true);
  const int64_t lowMemoryBaseline = LowMemoryCount();

  GeCheck();
  SetGlobalSettings(globalSettings_);
  document_ = BaseDocument::Load(item.file, kLoadSceneFlags);
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
      bitmap_->Init(kImageSize, kImageSize, kImageDepth, 0) != ZOR_IMAGE_OK)
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
  if (count_ == capacity_) {
    const int32_t capacity = capacity_ ? 2 * capacity_ : 64;
    auto** grown = static_cast<ASItem**>(ZOR_ALLOC(int64_t(sizeof(ASItem*)) * capacity));
    if (!grown) return false;
    if (count_ > 0) std::memcpy(grown, items_, sizeof(ASItem*) * size_t(count_));
    Free(items_);
    items_ = grown;
    capacity_ = capacity;
  }
  ASItem* item = NewObj(ASItem);
  if (!item) return false;
  item->file = file;
  items_[count_++] = item;
  return true;
}

void ASItemList::Clear() {
  for (int32_t i = 0; i < count_; ++i) DeleteObj(items_[i]);
  Free(items_);
  count_ = 0;
  capacity_ = 0;
  report_.Release();
}

void CollectAttachmentScenes(const Filename& folder, ASItemList& items) {
  ItemSink sink(items);
  CollectSceneFiles(folder, sink);
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
  const BaseContainer own = renderData.GetDataCopy();
  for (const PinnedSetting& pinned : kScanSettings) {
    switch (pinned.kind) {
      case SettingKind::Bool:
        settings.SetBool(pinned.id, pinned.value != 0);
        break;
      case SettingKind::Int:
        settings.SetInt32(pinned.id, pinned.value);
        break;
      case SettingKind::Float:
        settings.SetFloat(pinned.id, double(pinned.value));
        break;
      case SettingKind::IntOfRenderData:
        settings.SetInt32(pinned.id, renderData.GetParameterInt(pinned.id, 0));
        break;
      case SettingKind::TimeOfRenderData: {
        int64_t num = 0;
        int64_t den = 1;
        own.GetTime(pinned.id, num, den);
        settings.SetTime(pinned.id, num, den);
        break;
      }
    }
  }
  if (settings.GetInt32(ZOR_RENDER_SETTING_ENGINE) == ZOR_ENGINE_LEGACY)
    settings.SetInt32(ZOR_RENDER_SETTING_ENGINE, ZOR_ENGINE_STANDARD);
}

void ApplyScanVideoPostChanges(RenderData& renderData) {
  BaseVideoPost grain = renderData.FindVideoPost(ZOR_VIDEOPOST_FILM_GRAIN);
  if (grain.IsValid()) grain.SetFlags(grain.GetFlags() | ZOR_VIDEOPOST_FLAG_OFF);
  BaseVideoPost physical = renderData.FindVideoPost(ZOR_VIDEOPOST_PHYSICAL);
  if (!physical.IsValid()) return;
  BaseContainer physicalSettings = physical.GetDataInstance();
  if (physicalSettings.IsValid() && physicalSettings.GetInt32(ZOR_PHYSICAL_SAMPLER) == 2)
    physicalSettings.SetInt32(ZOR_PHYSICAL_SAMPLER, 1);
}

String ScannerReportLine(int32_t index, const ASItem& item, int32_t referenceMissing) {
  const String blank = ColumnText(String());
  String line = ColumnText(String::FromInt(int64_t(index) + 1));
  line += ColumnText(String(item.saved == 1 ? "OK" : "ERROR"));
  line += ColumnText(TimeText(item.tnew));
  if (referenceMissing == 0) {
    if (item.tnew != 0.0 && item.told != 0.0) {
      line += ColumnText(TimeText(item.told));
      line += PercentText(item.tnew / item.told - 1.0);
    } else {
      line += blank + blank;
    }
    line += item.diff == 0.0 ? ColumnText(String("None")) : PercentText(item.diff);
  } else {
    line += blank + blank + blank;
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
    if (i == count) {
      run.statusText = "Renderator successful!";
    } else {
      run.statusText = "An error occured|(Scene " + run.items[i].file.GetString() + ")";
    }
  }
  GeSpecialEventAdd(kAttachmentScannerEndEvent);
  SendCrashCheckMessage(false);
}
