// The progress dialog of a Renderator run with a user interface.
#pragma once
#include "zor_gui.h"

class ZDialog : public GeModalDialog {
 public:
  ~ZDialog() override;
  bool BuildLayout() override;
  bool InitializeValues() override { return true; }
  bool HandleMessage(const BaseContainer& msg, BaseContainer& result) override;

  // true once the end of the run reached the dialog (and the final text was shown)
  bool SawRunEnd() const { return sawRunEnd_; }

 private:
  bool sawRunEnd_ = false;
};
