// The dialog pair of a batch tool: the settings dialog's two folder fields, and the progress dialog
// that shows the run's status text and its final text. Each tool gives its own texts and ids.
#pragma once
#include <cstdint>
#include <utility>

#include "zor_filename.h"
#include "zor_gui.h"
#include "zor_string.h"

// The settings dialog's scene folder and reference folder, as gadgets 1000 and 1001.
class FolderPairDialog : public GeModalDialog {
 public:
  FolderPairDialog(const Filename& sceneFolder, const Filename& referenceFolder)
      : sceneFolder_(sceneFolder), referenceFolder_(referenceFolder) {}
  ~FolderPairDialog() override;

  static constexpr int32_t kSceneFolderGadget = 1000;
  static constexpr int32_t kReferenceFolderGadget = 1001;

  const Filename& GetSceneFolder() const { return sceneFolder_; }
  const Filename& GetReferenceFolder() const { return referenceFolder_; }
  void SetFolders(const Filename& sceneFolder, const Filename& referenceFolder) {
    sceneFolder_ = sceneFolder;
    referenceFolder_ = referenceFolder;
  }

 protected:
  // Opens a two-column group holding the labelled fields; the tool ends it.
  void AddFolderFields();
  void ShowFolders();
  // Takes the folder of gadget 1000 or 1001 when it is the one that changed.
  void ReadFolderField(int32_t gadgetId);

 private:
  Filename sceneFolder_;
  Filename referenceFolder_;
  GadgetRef sceneField_;
  GadgetRef referenceField_;
};

// What a tool's progress dialog shows and answers to.
struct ProgressDialogSetup {
  String title;
  int32_t statusEvent;      // the status text changed: shown in the dialog
  int32_t endEvent;         // the run ended: the dialog closes and shows the final text
  bool endResult;           // how the dialog closes at the end of the run
  String* (*statusText)();  // the run's status text; null when no run is published
};

// Shows the run's status text, read under the global lock when the worker says it changed.
class BatchProgressDialog : public GeModalDialog {
 public:
  explicit BatchProgressDialog(ProgressDialogSetup setup) : setup_(std::move(setup)) {}
  ~BatchProgressDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override { return true; }
  bool HandleMessage(const BaseContainer& msg, BaseContainer& result) override;

  // true once the end of the run reached the dialog (and the final text was shown)
  bool SawRunEnd() const { return sawRunEnd_; }

 private:
  ProgressDialogSetup setup_;
  bool sawRunEnd_ = false;
};
