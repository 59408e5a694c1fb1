#include "batch_dialogs.h"

#include "zor_thread.h"

namespace {
constexpr int32_t kStatusGadget = 5000;
constexpr int32_t kWideGadget = 800;
}  // namespace

FolderPairDialog::~FolderPairDialog() = default;

void FolderPairDialog::AddFolderFields() {
  BaseContainer fieldSettings;
  fieldSettings.SetBool(ZOR_FILENAME_CHOOSES_FOLDER, true);
  GroupBegin(0, ZOR_LAYOUT_FIT, 2, 0, String(), 0);
  AddStaticText(0, ZOR_LAYOUT_LEFT, 0, 0, "Scene Path");
  sceneField_ =
      AddCustomGadget(kSceneFolderGadget, ZOR_GADGET_FILENAME, ZOR_LAYOUT_FIT, kWideGadget, 0, fieldSettings);
  AddStaticText(0, ZOR_LAYOUT_LEFT, 0, 0, "Reference Path");
  referenceField_ =
      AddCustomGadget(kReferenceFolderGadget, ZOR_GADGET_FILENAME, ZOR_LAYOUT_FIT, 0, 0, fieldSettings);
}

void FolderPairDialog::ShowFolders() {
  if (sceneField_.IsValid()) sceneField_.SetFilename(sceneFolder_);
  if (referenceField_.IsValid()) referenceField_.SetFilename(referenceFolder_);
}

void FolderPairDialog::ReadFolderField(int32_t gadgetId) {
  if (gadgetId == kSceneFolderGadget && sceneField_.IsValid()) sceneField_.GetFilename(sceneFolder_);
  if (gadgetId == kReferenceFolderGadget && referenceField_.IsValid())
    referenceField_.GetFilename(referenceFolder_);
}

BatchProgressDialog::~BatchProgressDialog() = default;

bool BatchProgressDialog::BuildLayout() {
  SetTitle(setup_.title);
  GroupBegin(0, ZOR_LAYOUT_FIT, 5, 0, String(), 0);
  AddStaticText(kStatusGadget, ZOR_LAYOUT_FIT_H, kWideGadget, 0, String());
  GroupEnd();
  AddDlgGroup(ZOR_BUTTONS_CANCEL);
  return true;
}

bool BatchProgressDialog::HandleMessage(const BaseContainer& msg, BaseContainer& result) {
  String* statusText = msg.GetId() == ZOR_MSG_CORE ? setup_.statusText() : nullptr;
  if (statusText) {
    const int32_t eventId = msg.GetInt32(ZOR_MSG_VALUE_EVENT_ID);
    if (eventId == setup_.statusEvent) {
      GeGlobalLockGuard lock;
      SetString(kStatusGadget, *statusText);
    } else if (eventId == setup_.endEvent) {
      sawRunEnd_ = true;
      Close(setup_.endResult);
      GeGlobalLockGuard lock;
      GeMessageBox(*statusText);
    }
  }
  return GeModalDialog::HandleMessage(msg, result);
}
