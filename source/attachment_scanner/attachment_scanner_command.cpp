#include "attachment_scanner_command.h"

#include <cstdlib>

#include "attachment_scanner_run.h"
#include "renderator/renderator_run.h"
#include "zor_file.h"
#include "zor_general.h"
#include "zor_memory.h"
#include "zor_settings.h"

namespace {

enum : int32_t { kSceneFolderGadget = 1000, kReferenceFolderGadget = 1001, kClusterGadget = 1002 };
constexpr int32_t kStatusGadget = 5000;
constexpr const char* kResultFolderLockName = "_scanner.lock";

// Stored settings entries.
enum : int32_t { kStoredSceneFolder = 1, kStoredReferenceFolder = 2, kStoredCluster = 3 };

constexpr int32_t kFilenameGadgetShowsFolders = 10000;
constexpr int32_t kStoreSettingsFlags = 1;
constexpr int32_t kFitFlags = 56;
constexpr int32_t kLabelFlags = 8;
constexpr int32_t kStatusFlags = 24;

// The scene folder offered on first use: the environment's folder of collected crash scenes.
Filename EnvironmentSceneFolder() {
  const char* folder = std::getenv("ZOR_ATTACHMENT_DIR");
  if (!folder || !*folder) return Filename();
  Filename name(folder);
  return FolderExists(name) ? name : Filename();
}

void StartRun() {
  OwnedObj<AttachmentScannerThread> thread = NewOwnedObj(AttachmentScannerThread);
  if (!thread) return;
  if (GeRunsWithoutGui()) {
    // Without a progress dialog nobody would see how the run ended: the console says it.
    if (thread->Start(ZOR_THREAD_SYNC)) GePrint(g_attachmentScannerRun->statusText);
    return;
  }
  if (!thread->Start(ZOR_THREAD_ASYNC)) return;
  OwnedObj<AttachmentScannerProgressDialog> dialog = NewOwnedObj(AttachmentScannerProgressDialog);
  if (dialog) dialog->Open(-1, -1);
  thread->End(true);
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
  BaseContainer fieldSettings;
  fieldSettings.SetBool(kFilenameGadgetShowsFolders, true);
  GroupBegin(0, kFitFlags, 2, 0, String(), 0);
  AddStaticText(0, kLabelFlags, 0, 0, "Scene Path");
  sceneField_ = AddCustomGadget(kSceneFolderGadget, ZOR_GADGET_FILENAME, kFitFlags, 800, 0, fieldSettings);
  AddStaticText(0, kLabelFlags, 0, 0, "Reference Path");
  referenceField_ =
      AddCustomGadget(kReferenceFolderGadget, ZOR_GADGET_FILENAME, kFitFlags, 0, 0, fieldSettings);
  AddCheckbox(kClusterGadget, kFitFlags, 0, 0, "Use Cluster Render");
  GroupEnd();
  AddDlgGroup(ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL);
  return true;
}

// The checkbox opens unticked whatever is stored; the stored flag stays in force until it is clicked.
bool AttachmentScannerDialog::InitializeValues() {
  if (sceneField_.IsValid()) sceneField_.SetFilename(sceneFolder);
  if (referenceField_.IsValid()) referenceField_.SetFilename(referenceFolder);
  return true;
}

bool AttachmentScannerDialog::OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) {
  bool value = false;
  switch (gadgetId) {
    case kSceneFolderGadget:
      if (sceneField_.IsValid()) sceneField_.GetFilename(sceneFolder);
      break;
    case kReferenceFolderGadget:
      if (referenceField_.IsValid()) referenceField_.GetFilename(referenceFolder);
      break;
    case kClusterGadget:
      if (GetBool(kClusterGadget, value)) clusterRender = value ? 1 : 0;
      break;
    default:
      break;
  }
  return GeModalDialog::OnGadgetCommand(gadgetId, msg);
}

AttachmentScannerProgressDialog::~AttachmentScannerProgressDialog() = default;

bool AttachmentScannerProgressDialog::BuildLayout() {
  SetTitle("Renderator Crash Checker");
  GroupBegin(0, kFitFlags, 5, 0, String(), 0);
  AddStaticText(kStatusGadget, kStatusFlags, 800, 0, String());
  GroupEnd();
  AddDlgGroup(ZOR_BUTTONS_CANCEL);
  return true;
}

bool AttachmentScannerProgressDialog::HandleMessage(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() == ZOR_MSG_CORE && g_attachmentScannerRun) {
    const int32_t eventId = msg.GetInt32(ZOR_MSG_VALUE_EVENT_ID);
    if (eventId == kAttachmentScannerId) {
      GeGlobalLockGuard lock;
      SetString(kStatusGadget, g_attachmentScannerRun->statusText);
    } else if (eventId == kAttachmentScannerEndEvent) {
      Close(true);
      GeGlobalLockGuard lock;
      GeMessageBox(g_attachmentScannerRun->statusText);
    }
  }
  return GeModalDialog::HandleMessage(msg, result);
}

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
  dialog->sceneFolder = stored.GetFilename(kStoredSceneFolder);
  dialog->referenceFolder = stored.GetFilename(kStoredReferenceFolder);
  dialog->clusterRender = stored.GetBool(kStoredCluster) ? 1 : 0;
  if (dialog->sceneFolder.IsEmpty()) dialog->sceneFolder = EnvironmentSceneFolder();
  // Without a scene folder the derived name would be a bare relative one, which the next step would
  // create in whatever the current folder is.
  if (dialog->referenceFolder.IsEmpty() && !dialog->sceneFolder.IsEmpty())
    dialog->referenceFolder = DefaultReferenceFolder(dialog->sceneFolder);

  if (!dialog->Open(-1, -1)) return true;
  const Filename sceneFolder = dialog->sceneFolder;
  const Filename referenceFolder = dialog->referenceFolder;

  if (!referenceFolder.IsEmpty() && !FolderExists(referenceFolder) && !CreateFolder(referenceFolder))
    GeMessageBox("Error creating result dir|" + referenceFolder.GetString());

  // Stored before anything runs, so that a crash during the run cannot lose them.
  BaseContainer settings(kAttachmentScannerId);
  settings.SetFilename(kStoredSceneFolder, sceneFolder);
  settings.SetFilename(kStoredReferenceFolder, referenceFolder);
  settings.SetBool(kStoredCluster, dialog->clusterRender != 0);
  SetStoredPluginSettings(kAttachmentScannerId, settings, kStoreSettingsFlags);

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
  run.resultFile = run.resultFolder + Filename("_result.txt");

  CollectAttachmentScenes(sceneFolder, run.items);
  SortAttachmentScenes(run.items);

  run.clusterRender = dialog->clusterRender;
  run.referenceMissing = FolderExists(referenceFolder) ? 0 : 1;
  PublishedRunState published(g_attachmentScannerRun, run);
  StartRun();
  return true;
}

bool RegisterAttachmentScanner() {
  return RegisterCommandPlugin(kAttachmentScannerId, "Attachment Scanner", 0, nullptr, String(),
                               NewObj(AttachmentScannerData));
}
