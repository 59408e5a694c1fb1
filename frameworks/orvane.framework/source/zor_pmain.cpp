#include "zor_pmain.h"

#include "zor_host.h"
#include "zor_memory.h"
#include "zor_resource.h"

namespace {

int32_t g_bindCount = 0;
OwnedObj<Filename> g_modulePath;

int32_t Bind(void* table, void* moduleFile) {
  if (++g_bindCount != 1) return ZOR_MAIN_OK;
  const auto* host = static_cast<const HostFunctionTable*>(table);
  SetHostTable(host);
  if (host == nullptr || host->version < ZOR_HOST_API_MINIMUM || moduleFile == nullptr)
    return ZOR_MAIN_BIND_REFUSED;
  g_modulePath = NewOwnedObj(Filename);
  if (g_modulePath == nullptr) return ZOR_MAIN_OK;
  *g_modulePath = Filename::CopyOf(static_cast<const HostFilename*>(moduleFile));
  return ZOR_MAIN_OK;
}

int32_t End(const ModuleEntry& module) {
  if (--g_bindCount != 0) return ZOR_MAIN_OK;
  if (module.releaseToolObjects) module.releaseToolObjects();
  FreeModuleResources();
  g_modulePath.reset();
  return ZOR_MAIN_OK;
}

bool HandleMessage(const ModuleEntry& module, int32_t id, void* data) {
  switch (id) {
    case ZOR_HOSTMSG_QUERY:
      if (data == nullptr) return false;
      *static_cast<int32_t*>(data) = ZOR_HOSTMSG_QUERY_ANSWER;
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
      return ZOR_MAIN_BIND_REFUSED;
    case ZOR_ACTION_START:
      return ZOR_MAIN_FAILED;
    default:
      return ZOR_MAIN_NOT_HANDLED;
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
        return module.start ? module.start() : ZOR_MAIN_OK;
      case ZOR_ACTION_END:
        return End(module);
      case ZOR_ACTION_QUERY:
        return ZOR_MAIN_QUERY_ANSWER;
      case ZOR_ACTION_MESSAGE: {
        const auto id = static_cast<int32_t>(reinterpret_cast<intptr_t>(p1));
        return HandleMessage(module, id, p2) ? ZOR_MAIN_OK : ZOR_MAIN_NOT_HANDLED;
      }
      default:
        return ZOR_MAIN_NOT_HANDLED;
    }
  } catch (...) {
    return FailureValue(action);
  }
}

int32_t RunToolRegistrations(const ToolRegistration* tools, size_t count) {
  int32_t result = ZOR_MAIN_OK;
  for (size_t i = 0; i < count; ++i) {
    const bool registered = tools[i].registerTool();
    switch (tools[i].rule) {
      case RegistrationRule::Required:
        if (!registered) return ZOR_MAIN_FAILED;
        break;
      case RegistrationRule::Unchecked:
        break;
      case RegistrationRule::Decisive:
        result = registered ? ZOR_MAIN_OK : ZOR_MAIN_FAILED;
        break;
    }
  }
  return result;
}
