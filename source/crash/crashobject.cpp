#include "crash/crashobject.h"

#include "zor_memory.h"

namespace {

// Read at run time, so that the compiler can neither prove the store is to a null pointer (and replace
// it by a trap instruction) nor drop it.
int32_t* volatile g_crashAddress = nullptr;

// The sanitizers would catch the store themselves and end the process with their own report; the
// point is the hardware fault that a user's crash would be.
__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteToAddressZero() {
  *static_cast<volatile int32_t*>(g_crashAddress) = 0x123445;
}

}  // namespace

bool CrashObjectDialogCommand::Execute(HostDocument*) {
  WriteToAddressZero();
  return false;
}

bool CrashObjectDialogCommand::RestoreDialog(void*) {
  return false;
}

bool RegisterCrashObject() {
  const String name("Crash ZOR");
  const String help("Crash ZOR");
  return RegisterCommandPlugin(kCrashObjectPluginId, name, 0, nullptr, help,
                               NewObj(CrashObjectDialogCommand));
}
