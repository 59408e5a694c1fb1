// The module's entry point: the frame handles the life cycle, the module adds its tools and messages.
#include <cstdint>

#include "commandline.h"
#include "register.h"
#include "zor_api.h"
#include "zor_pmain.h"

namespace {

// The module's options on the host's command line; the scan consumes what it uses.
bool HandleCommandLine(HostArguments* arguments) {
  return ScanCommandLine(arguments);
}

bool HandleModuleMessage(int32_t id, void* data) {
  switch (id) {
    case ZOR_HOSTMSG_COMMANDLINE:
      HandleCommandLine(static_cast<HostArguments*>(data));
      return false;  // always, so that other modules see the command line too
    default:
      return false;
  }
}

const ModuleEntry kModule = {RegisterRelkitTools, ReleaseRelkitToolObjects, HandleModuleMessage};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t zor_main(int32_t action, void* p1, void* p2,
                                                                   void* p3) {
  return ZorMain(kModule, action, p1, p2, p3);
}
