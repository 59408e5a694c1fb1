// The "Attachment Scanner" command: asks for a folder of collected crash scenes and a reference
// (result) folder, remembers both, and runs the crash-checking run over the scenes on a worker thread
// while a progress dialog shows the scene in progress (synchronously when the host has no user
// interface).
#pragma once
#include <cstdint>

#include "scene_batch/batch_dialogs.h"
#include "zor_command.h"
#include "zor_thread.h"

class AttachmentScannerData : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

class AttachmentScannerDialog : public FolderPairDialog {
 public:
  AttachmentScannerDialog() : FolderPairDialog(Filename(), Filename()) {}
  ~AttachmentScannerDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override;
  bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) override;

  int32_t GetClusterRender() const { return clusterRender_; }
  void SetClusterRender(int32_t clusterRender) { clusterRender_ = clusterRender; }

 private:
  int32_t clusterRender_ = 0;
};

class AttachmentScannerProgressDialog : public BatchProgressDialog {
 public:
  AttachmentScannerProgressDialog();
  ~AttachmentScannerProgressDialog() override;
};

class AttachmentScannerThread : public ZORThread {
 public:
  ~AttachmentScannerThread() override;
  void Run() override;
  const char* QueryName() override { return "Renderator Thread"; }
};

// The reference folder offered when none is stored: beside the scene folder, named after it, the
// host version and the host's build name.
Filename DefaultReferenceFolder(const Filename& sceneFolder);

// Registers the command; the registration's answer.
bool RegisterAttachmentScanner();
