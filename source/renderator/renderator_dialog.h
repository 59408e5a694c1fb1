// The "Renderator" command and its settings dialog.
#pragma once
#include <cstdint>

#include "zor_command.h"
#include "zor_gui.h"

inline constexpr int32_t kRenderatorPluginId = 1001198;

class RenderatorData : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

class RenderatorSettingsDialog : public GeModalDialog {
 public:
  RenderatorSettingsDialog(const Filename& scenePath, const Filename& referencePath)
      : scenePath_(scenePath), referencePath_(referencePath) {}
  ~RenderatorSettingsDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override;
  bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) override;
  virtual void UpdateEnabling();

  const Filename& GetScenePath() const { return scenePath_; }
  const Filename& GetReferencePath() const { return referencePath_; }
  int32_t GetOpenGl() const { return openGl_; }

 private:
  Filename scenePath_;
  Filename referencePath_;
  GadgetRef sceneField_;
  GadgetRef referenceField_;
  bool continueBoxMade_ = false;
  int32_t openGl_ = 1;
};

// Registers the command; its answer is the module's start result.
bool RegisterRenderator();
