// The crash-checking run: renders every scene below a folder of collected crash scenes, once with the
// preview renderer and once with the full renderer, saves both images and rewrites its report after
// every scene. Finished scenes are known by their two images, so a run that the host's crash ended
// continues with the scenes not yet finished when it is simply started again.
#pragma once
#include <cstdint>

#include "scene_batch/batch_report.h"
#include "zor_array.h"
#include "zor_container.h"
#include "zor_filename.h"
#include "zor_string.h"

class RenderData;
class ZORThread;

// One scene file of the run. told and diff stay 0: a crash-checking run compares nothing.
struct ASItem {
  Filename file;      // full path of the scene file
  double told = 0.0;  // reference render time in seconds
  double tnew = 0.0;  // render time of this run in seconds, cut to hundredths
  double diff = 0.0;  // image difference ratio
  int32_t saved = 0;  // 1 when the last image save of this scene in this run succeeded
};

// The run's items in order, each owned by the list, in host memory that grows as scenes are found.
class ASItemList {
 public:
  ASItemList() = default;
  ~ASItemList() { Clear(); }
  ASItemList(const ASItemList&) = delete;
  ASItemList& operator=(const ASItemList&) = delete;

  // false when host memory ran out; the scene is then passed over
  bool Append(const Filename& file);
  // destroys the items
  void Clear();
  int32_t GetCount() const { return int32_t(items_.Count()); }
  ASItem& operator[](int32_t index) { return *items_[index]; }
  const ASItem& operator[](int32_t index) const { return *items_[index]; }
  ASItem** References() { return items_.Data(); }
  // what the report writer keeps between two writes of this list
  ReportCache& Report() { return report_; }

 private:
  // the host's sorter takes a plain array of references: the list owns the items through it
  HostArray<ASItem*> items_;
  ReportCache report_;
};

// The state of the one run in progress: prepared by the command, then read by the run. The status
// text is shared with the progress dialog and touched only under the global lock.
struct AttachmentScannerRunState {
  ASItemList items;
  Filename resultFolder;
  Filename resultFile;
  String statusText;
  int32_t referenceMissing = 0;  // 1: the reference folder did not exist when the run was prepared
  int32_t clusterRender = 0;     // 1: render with the host's cluster render flag
};
extern AttachmentScannerRunState* g_attachmentScannerRun;

// The command's id; also the special event that says the status text changed.
inline constexpr int32_t kAttachmentScannerId = 200000252;
inline constexpr int32_t kAttachmentScannerEndEvent = 200000253;

// Appends an item for every scene file below folder, sub-folders included.
void CollectAttachmentScenes(const Filename& folder, ASItemList& items);
// Ascending order of the full path texts, by the host's string comparison.
void SortAttachmentScenes(ASItemList& items);

// "1234.scene.zor" for a/1234/scene.zor: the images of a scene are named after it.
String SceneTag(const Filename& scene);
Filename PreviewImageName(const Filename& resultFolder, const Filename& scene);
Filename FullImageName(const Filename& resultFolder, const Filename& scene);

// The frame of a document's minimum time num / den at the frame rate fps, as the run judges it.
int64_t MinTimeFrame(double fps, int64_t num, int64_t den);

// Writes the run's fixed render settings into settings, a copy of the render data's container; the
// render engine entry is left to the caller, who sets it per render.
void PrepareScanSettings(BaseContainer& settings, const RenderData& renderData);
// Switches film grain off and brings a physical sampler setting of 2 down to 1, on the document itself.
void ApplyScanVideoPostChanges(RenderData& renderData);

// One report row for the item at position index.
String ScannerReportLine(int32_t index, const ASItem& item, int32_t referenceMissing);
// Rewrites the whole report from the run's items.
void WriteScannerReport(AttachmentScannerRunState& run);

// The run over the items of run, on thread (its worker, or the caller's thread when run synchronously).
void RunCrashCheck(AttachmentScannerRunState& run, ZORThread& thread);
