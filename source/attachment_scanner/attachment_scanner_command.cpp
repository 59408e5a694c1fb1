#include "attachment_scanner_command.h"

#include <cstdlib>

#include "attachment_scanner_run.h"
#include "scene_batch/batch_run.h"
#include "scene_batch/scene_collect.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_memory.h"
#include "zor_settings.h"

namespace {

constexpr int32_t kClusterGadget = 1002;
constexpr const char* kResultFolderLockName = "_scanner.lock";

// Stored settings entries.
enum : int32_t { kStoredSceneFolder = 1, kStoredReferenceFolder = 2, kStoredCluster = 3 };

// The scene folder offered on first use: the environment's folder of collected crash scenes.
Filename EnvironmentSceneFolder() {
  const char* folder = std::getenv("ZOR_ATTACHMENT_DIR");
  if (!folder || !*folder) return Filename();
  Filename name(folder);
  return FolderExists(name) ? name : Filename();
}

String* RunStatusText() {
  return g_attachmentScannerRun ? &g_attachmentScannerRun->statusText : nullptr;
}

void StartRun() {
  OwnedObj<AttachmentScannerThread> thread = NewOwnedObj(AttachmentScannerThread);
  if (!thread) return;
  OwnedObj<AttachmentScannerProgressDialog> dialog;
  // Without a progress dialog nobody would see how the run ended: the console says it.
  if (RunBatchThread(*thread, dialog) == BatchStart::kSynchronous)
    GePrint(g_attachmentScannerRun->statusText);
}

}  // namespace

Filename DefaultReferenceFolder(const Filename& sceneFolder) {
  BaseContainer request(ZOR_CORE_HOST_INFO);
  const BaseContainer info = GeSendCoreMessage(ZOR_CORE_MESSAGE, request);
  const String name = sceneFolder.GetFile().GetString() + "_" + String::FromInt(GetHostApiVersion()) + "_" +
                      info.GetString(ZOR_HOST_INFO_BUILD);
  return sceneFolder.GetDirectory() + Filename(name);
}

AttachmentScannerDialog::~AttachmentScannerDialog() = default;

bool AttachmentScannerDialog::BuildLayout() {
  AddFolderFields();
  AddCheckbox(kClusterGadget, ZOR_LAYOUT_FIT, 0, 0, "Use Cluster Render");
  GroupEnd();
  AddDlgGroup(ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL);
  return true;
}

// The checkbox opens unticked whatever is stored; the stored flag stays in force until it is clicked.
bool AttachmentScannerDialog::InitializeValues() {
  ShowFolders();
  return true;
}

bool AttachmentScannerDialog::OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) {
  bool value = false;
  ReadFolderField(gadgetId);
  if (gadgetId == kClusterGadget && GetBool(kClusterGadget, value)) clusterRender_ = value ? 1 : 0;
  return GeModalDialog::OnGadgetCommand(gadgetId, msg);
}

AttachmentScannerProgressDialog::AttachmentScannerProgressDialog()
    : BatchProgressDialog(ProgressDialogSetup{String("Renderator Crash Checker"), kAttachmentScannerId,
                                              kAttachmentScannerEndEvent, true, RunStatusText}) {}

AttachmentScannerProgressDialog::~AttachmentScannerProgressDialog() = default;

AttachmentScannerThread::~AttachmentScannerThread() {
  End(true);
}

void AttachmentScannerThread::Run() {
  if (g_attachmentScannerRun) RunCrashCheck(*g_attachmentScannerRun, *this);
}

bool AttachmentScannerData::Execute(HostDocument*) {
  OwnedObj<AttachmentScannerDialog> dialog = NewOwnedObj(AttachmentScannerDialog);
  if (!dialog) return true;
  BaseContainer stored = GetStoredPluginSettings(kAttachmentScannerId);
  Filename sceneFolder = stored.GetFilename(kStoredSceneFolder);
  Filename referenceFolder = stored.GetFilename(kStoredReferenceFolder);
  dialog->SetClusterRender(stored.GetBool(kStoredCluster) ? 1 : 0);
  if (sceneFolder.IsEmpty()) sceneFolder = EnvironmentSceneFolder();
  // Without a scene folder the derived name would be a bare relative one, which the next step would
  // create in whatever the current folder is.
  if (referenceFolder.IsEmpty() && !sceneFolder.IsEmpty())
    referenceFolder = DefaultReferenceFolder(sceneFolder);
  dialog->SetFolders(sceneFolder, referenceFolder);

  if (!dialog->Open(-1, -1)) return true;
  sceneFolder = dialog->GetSceneFolder();
  referenceFolder = dialog->GetReferenceFolder();

  if (!referenceFolder.IsEmpty() && !FolderExists(referenceFolder) && !CreateFolder(referenceFolder))
    GeMessageBox("Error creating result dir|" + referenceFolder.GetString());

  // Stored before anything runs, so that a crash during the run cannot lose them.
  BaseContainer settings(kAttachmentScannerId);
  settings.SetFilename(kStoredSceneFolder, sceneFolder);
  settings.SetFilename(kStoredReferenceFolder, referenceFolder);
  settings.SetBool(kStoredCluster, dialog->GetClusterRender() != 0);
  SetStoredPluginSettings(kAttachmentScannerId, settings, ZOR_SETTINGS_ADD);

  if (sceneFolder.IsEmpty()) return true;

  AttachmentScannerRunState run;
  if (!referenceFolder.IsEmpty() && FolderExists(referenceFolder)) {
    run.resultFolder = referenceFolder;
  } else if (!CreateNumberedResultFolder(sceneFolder, run.resultFolder)) {
    return true;
  }
  // Two runs on one result folder would render every scene twice and mark each other's finished scenes
  // as errors. The lock dies with its process, so a crashed run never keeps the next one out.
  FileLock folderLock;
  if (!folderLock.Take(run.resultFolder + Filename(kResultFolderLockName))) {
    if (folderLock.Busy()) {
      GeMessageBox(run.resultFolder.GetString() + " is in use by another Attachment Scanner run");
      return true;
    }
    GePrint("cannot lock " + run.resultFolder.GetString() + ": a second run on it would not be kept out");
  }
  GePrint("start renderator to: " + run.resultFolder.GetString());
  run.resultFile = ReportFileIn(run.resultFolder);

  CollectAttachmentScenes(sceneFolder, run.items);
  SortAttachmentScenes(run.items);

  run.clusterRender = dialog->GetClusterRender();
  run.referenceMissing = FolderExists(referenceFolder) ? 0 : 1;
  PublishedRunState published(g_attachmentScannerRun, run);
  StartRun();
  return true;
}

bool RegisterAttachmentScanner() {
  return RegisterCommandPlugin(kAttachmentScannerId, "Attachment Scanner", 0, nullptr, String(),
                               NewObj(AttachmentScannerData));
}
