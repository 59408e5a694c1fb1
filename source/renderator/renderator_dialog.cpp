#include "renderator_dialog.h"

#include "renderator_run.h"
#include "zor_memory.h"
#include "zor_settings.h"

namespace {

// after the folder fields
enum : int32_t {
  kContinueGadget = 1002,
  kClusterGadget = 1003,
  kOverrideGadget = 1004,
  kOpenGlGadget = 1005
};

// Stored settings entries. 3 and 4 record the continue flag and the override choice of the run the
// dialog started, for whoever inspects the stored settings; nothing reads them back, because the
// boxes always open in their layout state.
enum : int32_t {
  kStoredScenePath = 1,
  kStoredReferencePath = 2,
  kStoredContinue = 3,
  kStoredOverride = 4,
  kStoredOpenGl = 5
};

}  // namespace

RenderatorSettingsDialog::~RenderatorSettingsDialog() = default;

bool RenderatorSettingsDialog::BuildLayout() {
  AddFolderFields();
  GroupEnd();

  GroupBegin(0, ZOR_LAYOUT_FIT, 1, 0, String(), 0);
  continueBoxMade_ =
      AddCheckbox(kContinueGadget, ZOR_LAYOUT_FIT, 0, 0, "Continue interrupted reference build");
  SetBool(kContinueGadget, false);
  AddCheckbox(kClusterGadget, ZOR_LAYOUT_FIT, 0, 0, "Use Cluster Render");
  SetBool(kClusterGadget, true);
  AddCheckbox(kOpenGlGadget, ZOR_LAYOUT_FIT, 0, 0, "OpenGL Rendering");
  SetBool(kOpenGlGadget, true);
  GroupBegin(0, ZOR_LAYOUT_FIT, 2, 0, String(), 0);
  AddStaticText(0, ZOR_LAYOUT_LEFT, 0, 0, "Override");
  AddComboBox(kOverrideGadget, ZOR_LAYOUT_FIT);
  AddChild(kOverrideGadget, 0, "None");
  AddChild(kOverrideGadget, 1, "Physical - Standard");
  AddChild(kOverrideGadget, 2, "Physical - Embree Faster");
  AddChild(kOverrideGadget, 3, "Physical - Embree Smaller");
  GroupEnd();
  GroupEnd();

  AddDlgGroup(ZOR_BUTTONS_OK | ZOR_BUTTONS_CANCEL);
  return true;
}

bool RenderatorSettingsDialog::InitializeValues() {
  ShowFolders();
  UpdateEnabling();
  return true;
}

bool RenderatorSettingsDialog::OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) {
  bool value = false;
  ReadFolderField(gadgetId);
  switch (gadgetId) {
    case kContinueGadget:
      if (continueBoxMade_ && GetBool(kContinueGadget, value))
        g_renderatorSettings.continueBuild = value ? 1 : 0;
      break;
    case kClusterGadget:
      if (GetBool(kClusterGadget, value)) g_renderatorSettings.clusterRender = value ? 1 : 0;
      break;
    case kOverrideGadget:
      GetInt32(kOverrideGadget, g_renderatorSettings.overrideChoice);
      break;
    case kOpenGlGadget:
      if (GetBool(kOpenGlGadget, value)) openGl_ = value ? 1 : 0;
      break;
    default:
      break;
  }
  if (gadgetId >= kSceneFolderGadget && gadgetId <= kClusterGadget) UpdateEnabling();
  return GeModalDialog::OnGadgetCommand(gadgetId, msg);
}

void RenderatorSettingsDialog::UpdateEnabling() {
  const bool bothNamed = !GetSceneFolder().GetFile().IsEmpty() && !GetReferenceFolder().GetFile().IsEmpty();
  Enable(kContinueGadget, bothNamed);
}

bool RenderatorData::Execute(HostDocument*) {
  BaseContainer stored = GetStoredPluginSettings(kRenderatorId);
  OwnedObj<RenderatorSettingsDialog> dialog =
      NewOwnedObj(RenderatorSettingsDialog, stored.GetFilename(kStoredScenePath),
                  stored.GetFilename(kStoredReferencePath));
  if (!dialog || !dialog->Open(-1, -1)) return true;
  stored.SetFilename(kStoredScenePath, dialog->GetSceneFolder());
  stored.SetFilename(kStoredReferencePath, dialog->GetReferenceFolder());
  stored.SetBool(kStoredContinue, g_renderatorSettings.continueBuild != 0);
  stored.SetInt32(kStoredOverride, g_renderatorSettings.overrideChoice);
  stored.SetInt32(kStoredOpenGl, dialog->GetOpenGl());
  SetStoredPluginSettings(kRenderatorId, stored, ZOR_SETTINGS_ADD);
  if (!dialog->GetSceneFolder().IsEmpty()) {
    RunRenderator(dialog->GetSceneFolder(), dialog->GetReferenceFolder(), dialog->GetOpenGl());
  }
  return true;
}

bool RegisterRenderator() {
  return RegisterCommandPlugin(kRenderatorId, "Renderator", 0, nullptr, String(), NewObj(RenderatorData));
}
