#include "renderator_dialog.h"

#include "renderator_run.h"
#include "zor_memory.h"
#include "zor_settings.h"

namespace {

enum : int32_t {
  kScenePathGadget = 1000,
  kReferencePathGadget = 1001,
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

constexpr int32_t kFilenameGadgetShowsFolders = 10000;
constexpr int32_t kAddSettingsFlag = 1;
constexpr int32_t kFitFlags = 0x38;
constexpr int32_t kLabelFlags = 8;

}  // namespace

RenderatorSettingsDialog::~RenderatorSettingsDialog() = default;

bool RenderatorSettingsDialog::BuildLayout() {
  BaseContainer fieldSettings;
  fieldSettings.SetBool(kFilenameGadgetShowsFolders, true);

  GroupBegin(0, kFitFlags, 2, 0, String(), 0);
  AddStaticText(0, kLabelFlags, 0, 0, "Scene Path");
  sceneField_ = AddCustomGadget(kScenePathGadget, ZOR_GADGET_FILENAME, kFitFlags, 800, 0, fieldSettings);
  AddStaticText(0, kLabelFlags, 0, 0, "Reference Path");
  referenceField_ =
      AddCustomGadget(kReferencePathGadget, ZOR_GADGET_FILENAME, kFitFlags, 0, 0, fieldSettings);
  GroupEnd();

  GroupBegin(0, kFitFlags, 1, 0, String(), 0);
  continueBoxMade_ = AddCheckbox(kContinueGadget, kFitFlags, 0, 0, "Continue interrupted reference build");
  SetBool(kContinueGadget, false);
  AddCheckbox(kClusterGadget, kFitFlags, 0, 0, "Use Cluster Render");
  SetBool(kClusterGadget, true);
  AddCheckbox(kOpenGlGadget, kFitFlags, 0, 0, "OpenGL Rendering");
  SetBool(kOpenGlGadget, true);
  GroupBegin(0, kFitFlags, 2, 0, String(), 0);
  AddStaticText(0, kLabelFlags, 0, 0, "Override");
  AddComboBox(kOverrideGadget, kFitFlags);
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
  if (sceneField_.IsValid()) sceneField_.SetFilename(scenePath_);
  if (referenceField_.IsValid()) referenceField_.SetFilename(referencePath_);
  UpdateEnabling();
  return true;
}

bool RenderatorSettingsDialog::OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) {
  bool value = false;
  switch (gadgetId) {
    case kScenePathGadget:
      if (sceneField_.IsValid()) sceneField_.GetFilename(scenePath_);
      break;
    case kReferencePathGadget:
      if (referenceField_.IsValid()) referenceField_.GetFilename(referencePath_);
      break;
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
  if (gadgetId >= kScenePathGadget && gadgetId <= kClusterGadget) UpdateEnabling();
  return GeModalDialog::OnGadgetCommand(gadgetId, msg);
}

void RenderatorSettingsDialog::UpdateEnabling() {
  const bool bothNamed = !scenePath_.GetFile().IsEmpty() && !referencePath_.GetFile().IsEmpty();
  Enable(kContinueGadget, bothNamed);
}

bool RenderatorData::Execute(HostDocument*) {
  BaseContainer stored = GetStoredPluginSettings(kRenderatorPluginId);
  OwnedObj<RenderatorSettingsDialog> dialog =
      NewOwnedObj(RenderatorSettingsDialog, stored.GetFilename(kStoredScenePath),
                  stored.GetFilename(kStoredReferencePath));
  if (!dialog || !dialog->Open(-1, -1)) return true;
  stored.SetFilename(kStoredScenePath, dialog->GetScenePath());
  stored.SetFilename(kStoredReferencePath, dialog->GetReferencePath());
  stored.SetBool(kStoredContinue, g_renderatorSettings.continueBuild != 0);
  stored.SetInt32(kStoredOverride, g_renderatorSettings.overrideChoice);
  stored.SetInt32(kStoredOpenGl, dialog->GetOpenGl());
  SetStoredPluginSettings(kRenderatorPluginId, stored, kAddSettingsFlag);
  if (!dialog->GetScenePath().IsEmpty()) {
    RunRenderator(dialog->GetScenePath(), dialog->GetReferencePath(), dialog->GetOpenGl());
  }
  return true;
}

bool RegisterRenderator() {
  return RegisterCommandPlugin(kRenderatorPluginId, "Renderator", 0, nullptr, String(),
                               NewObj(RenderatorData));
}
