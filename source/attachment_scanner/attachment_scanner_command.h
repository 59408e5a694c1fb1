// The "Attachment Scanner" command: asks for a folder of collected crash scenes and a reference
// (result) folder, remembers both, and runs the crash-checking run over the scenes on a worker thread
// while a progress dialog shows the scene in progress (synchronously when the host has no user
// interface).
#pragma once
#include <cstdint>

#include "zor_command.h"
#include "zor_gui.h"
#include "zor_thread.h"

class AttachmentScannerData : public CommandData {
 public:
  bool Execute(HostDocument* doc) override;
};

class AttachmentScannerDialog : public GeModalDialog {
 public:
  ~AttachmentScannerDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override;
  bool OnGadgetCommand(int32_t gadgetId, const BaseContainer& msg) override;

  // filled by the command before the dialog opens and read after it closed
  Filename sceneFolder;
  Filename referenceFolder;
  int32_t clusterRender = 0;

 private:
  GadgetRef sceneField_;
  GadgetRef referenceField_;
};

class AttachmentScannerProgressDialog : public GeModalDialog {
 public:
  ~AttachmentScannerProgressDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override { return true; }
  bool HandleMessage(const BaseContainer& msg, BaseContainer& result) override;
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
