#include "zor_pmain.h"

#include "zor_host.h"
#include "zor_memory.h"
#include "zor_resource.h"

namespace {

constexpr int32_t kBindRefused = -3;
constexpr int32_t kQueryAnswer = 5;
constexpr int32_t kMessageQueryAnswer = 10000;
constexpr int32_t kUnknownAction = -1;

int32_t g_bindCount = 0;
Filename* g_modulePath = nullptr;

int32_t Bind(void* table, void* moduleFile) {
  if (++g_bindCount != 1) return 1;
  const auto* host = static_cast<const HostFunctionTable*>(table);
  SetHostTable(host);
  if (host == nullptr || host->version < ZOR_HOST_API_MINIMUM || moduleFile == nullptr) return kBindRefused;
  g_modulePath = NewObj(Filename);
  if (g_modulePath == nullptr) return 1;
  *g_modulePath = Filename::CopyOf(static_cast<const HostFilename*>(moduleFile));
  return 1;
}

int32_t End(const ModuleEntry& module) {
  if (--g_bindCount != 0) return 1;
  if (module.releaseToolObjects) module.releaseToolObjects();
  FreeModuleResources();
  DeleteObj(g_modulePath);
  return 1;
}

bool HandleMessage(const ModuleEntry& module, int32_t id, void* data) {
  switch (id) {
    case ZOR_HOSTMSG_QUERY:
      if (data == nullptr) return false;
      *static_cast<int32_t*>(data) = kMessageQueryAnswer;
      return true;
    case ZOR_HOSTMSG_RESOURCES: {
      // The host wants word 12 of the block that word 5 of the message points to cleared before the
      // module opens its resources.
      auto* message = static_cast<HostResourceMessage*>(data);
      if (message != nullptr && message->words[5] != nullptr)
        static_cast<void**>(message->words[5])[12] = nullptr;
      return InitModuleResources();
    }
    default:
      return module.message ? module.message(id, data) : false;
  }
}

int32_t FailureValue(int32_t action) {
  switch (action) {
    case ZOR_ACTION_BIND:
      return kBindRefused;
    case ZOR_ACTION_START:
      return 0;
    default:
      return -1;
  }
}

}  // namespace

Filename GetModulePath() {
  return g_modulePath != nullptr ? *g_modulePath : Filename();
}

int32_t ZorMain(const ModuleEntry& module, int32_t action, void* p1, void* p2, void* p3) noexcept {
  try {
    switch (action) {
      case ZOR_ACTION_BIND:
        return Bind(p1, p3);
      case ZOR_ACTION_START:
        return module.start ? module.start() : 1;
      case ZOR_ACTION_END:
        return End(module);
      case ZOR_ACTION_QUERY:
        return kQueryAnswer;
      case ZOR_ACTION_MESSAGE: {
        const auto id = static_cast<int32_t>(reinterpret_cast<intptr_t>(p1));
        return HandleMessage(module, id, p2) ? 1 : -1;
      }
      default:
        return kUnknownAction;
    }
  } catch (...) {
    return FailureValue(action);
  }
}

int32_t RunToolRegistrations(const ToolRegistration* tools, size_t count) {
  int32_t result = 1;
  for (size_t i = 0; i < count; ++i) {
    const bool registered = tools[i].registerTool();
    switch (tools[i].rule) {
      case RegistrationRule::Required:
        if (!registered) return 0;
        break;
      case RegistrationRule::Unchecked:
        break;
      case RegistrationRule::Decisive:
        result = registered ? 1 : 0;
        break;
    }
  }
  return result;
}
