#include "gui/core_messages.h"

#include <string>

#include "app/crash_handler.h"
#include "app/host_build.h"
#include "containers/container_impl.h"
#include "containers/container_integer.h"
#include "gui/transcript.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"

namespace zorhost {

HostContainer* answer_core_message(int32_t code, const HostContainer* message) {
  nlohmann::json event = {{"event", "coreMessage"}, {"code", code}, {"id", message ? message->id : 0}};
  HostContainer* answer = nullptr;
  if (code == ZOR_CORE_MESSAGE && message) {
    if (message->id == ZOR_CORE_HOST_INFO) {
      answer = tracked(ObjectKind::Container, new HostContainer(ZOR_CORE_HOST_INFO));
      answer->values[ZOR_HOST_INFO_BUILD] = StringValue{from_utf8(kHostBuildName)};
    } else if (message->id == ZOR_CORE_CRASH_CHECK) {
      // A crash report written while a run is in progress says so: the crash is then most likely the
      // scene's, and the run can be continued after the scene is moved away.
      const bool running = container_integer<int32_t>(*message, 1).value_or(0) != 0;
      crash_note_crash_check(running);
      event["running"] = running;
    }
  }
  event["answered"] = answer != nullptr;
  transcript::record(event);
  return answer;
}

}  // namespace zorhost
