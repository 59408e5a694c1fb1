// "Crash ZOR": a command that makes the host crash at once, so that the host's crash reporting can be
// tried on a real fault in module code.
#pragma once
#include <cstdint>

#include "zor_command.h"

inline constexpr int32_t kCrashObjectPluginId = 1022343;

class CrashObjectDialogCommand : public CommandData {
 public:
  // Writes to address 0; the fault ends the host, so this never returns.
  bool Execute(HostDocument* doc) override;
  bool RestoreDialog(void* secret) override;
};

// Registers the command; false when the command object could not be made or the host refused it.
bool RegisterCrashObject();
