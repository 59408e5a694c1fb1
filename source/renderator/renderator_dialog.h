// The "Renderator" command and its settings dialog.
#pragma once
#include <cstdint>

#include "scene_batch/batch_dialogs.h"
#include "zor_command.h"

class RenderatorData : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

class RenderatorSettingsDialog : public FolderPairDialog {
 public:
  RenderatorSettingsDialog(const Filename& scenePath, const Filename& referencePath)
      : FolderPairDialog(scenePath, referencePath) {}
  ~RenderatorSettingsDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override;
  bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) override;
  virtual void UpdateEnabling();

  int32_t GetOpenGl() const { return openGl_; }

 private:
  bool continueBoxMade_ = false;
  int32_t openGl_ = 1;
};

// Registers the command; its answer is the module's start result.
bool RegisterRenderator();
