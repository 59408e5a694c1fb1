#include "renderator_run.h"

#include "ge_mtools.h"
#include "renderator_worker.h"
#include "scene_batch/batch_dialogs.h"
#include "scene_batch/batch_run.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"
#include "zor_thread.h"

RenderatorSettings g_renderatorSettings;
RenderatorRunState* g_renderatorRun = nullptr;

namespace {

String* RunStatusText() {
  return g_renderatorRun ? &g_renderatorRun->statusText : nullptr;
}

ProgressDialogSetup ProgressSetup() {
  const RenderatorRunState* run = g_renderatorRun;
  const bool comparing = run && run->buildFlag == 0 && run->continueBuild == 0;
  return ProgressDialogSetup{
      String(comparing ? "Renderator - comparing files" : "Renderator - building comparison base"),
      kRenderatorId, kRenderatorEndEvent, false, RunStatusText};
}

}  // namespace

// The progress dialog of a run with a user interface.
class ZDialog : public BatchProgressDialog {
 public:
  ZDialog() : BatchProgressDialog(ProgressSetup()) {}
};

namespace {

int32_t StartWorker(int32_t openGl) {
  OwnedObj<PreviewThread> thread = NewOwnedObj(PreviewThread, openGl);
  if (!thread) return 0;
  OwnedObj<ZDialog> dialog;
  const BatchStart start = RunBatchThread(*thread, dialog);
  if (start != BatchStart::kWithDialog) return start == BatchStart::kSynchronous ? 1 : 0;
  // A user who closed the dialog before the run ended has not seen how it ended: the final text
  // (naming the scene at which it stopped) is shown once the worker is done.
  if (!dialog || !dialog->SawRunEnd()) {
    GeGlobalLockGuard lock;
    GeMessageBox(g_renderatorRun->statusText);
  }
  return 1;
}

}  // namespace

String SceneNumberText(int32_t index) {
  return String::FromFloat(double(index) + 1.0, 4, 0, false, '0');
}

void CollectScenes(const Filename& folder, ResultList& list) {
  CollectSceneFilesInto(folder, list);
}

namespace {
// Records are exchanged in place by the host SDK's heapsort; a record's file name is a handle, so
// moving its bytes moves the name with it.
class SceneOrder : public GeSortAndSearchEx {
 public:
  int32_t Compare(const void* a, const void* b) override {
    const SceneResult* first = static_cast<const SceneResult*>(a);
    const SceneResult* second = static_cast<const SceneResult*>(b);
    return first->file.GetString().Compare(second->file.GetString());
  }
};
}  // namespace

void SortScenes(ResultList& list) {
  if (list.GetCount() < 2) return;
  SceneOrder order;
  order.Sort(list.Records(), list.GetCount(), int32_t(sizeof(SceneResult)));
}

int32_t RunRenderator(const Filename& sceneFolder, const Filename& referenceFolder, int32_t openGl) {
  // The state, and with it the result list, is released when the run returns, whichever way; the
  // worker has ended by then and the state was withdrawn from it first.
  RenderatorRunState run;
  run.referenceFolder = referenceFolder;
  if (!run.results.Allocate()) {
    GeMessageBox("Renderator: not enough memory for the result list");
    return 0;
  }

  bool fallBack = false;
  if (!referenceFolder.IsEmpty() && !FolderExists(referenceFolder)) {
    GeMessageBox("Reference folder not found - falling back to reference building mode...");
    fallBack = true;
  }

  // Continuing without a reference folder has no comparison base to fill: it is treated as a
  // building run into a new result folder, like continuing after the fall-back.
  run.continueBuild =
      g_renderatorSettings.continueBuild == 1 && !fallBack && !referenceFolder.IsEmpty() ? 1 : 0;
  if (run.continueBuild) {
    run.resultFolder = referenceFolder;
  } else {
    if (!CreateNumberedResultFolder(sceneFolder, run.resultFolder)) return 1;
  }

  GePrint("start renderator to: " + run.resultFolder.GetString());
  run.reportFile = ReportFileIn(run.resultFolder);

  CollectScenes(sceneFolder, run.results);
  SortScenes(run.results);

  PublishedRunState published(g_renderatorRun, run);
  if (referenceFolder.IsEmpty() || !FolderExists(referenceFolder)) {
    run.buildFlag = 1;
  } else {
    run.buildFlag = 0;
    if (!ReadReferenceReport(run.results, ReportFileIn(referenceFolder))) {
      GeMessageBox("Outdated reference");
      return 0;
    }
  }

  return StartWorker(openGl);
}
