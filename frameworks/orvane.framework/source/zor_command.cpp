#include "zor_command.h"

#include <cstring>

#include "zor_host.h"
#include "zor_memory.h"

BaseData::~BaseData() = default;
CommandData::~CommandData() = default;

bool CommandData::Execute(HostDocument*) {
  return false;
}
bool CommandData::ReservedOperation2(HostDocument*, int32_t) {
  return false;
}
bool CommandData::ReservedOperation3(HostDocument*, int32_t) {
  return false;
}
int32_t CommandData::QueryState(HostDocument*) {
  return ZOR_COMMAND_STATE_ENABLED;
}
bool CommandData::ReservedOperation5(HostDocument*, int32_t) {
  return false;
}
bool CommandData::RestoreDialog(void*) {
  return true;
}
String CommandData::QueryText() {
  return String();
}
bool CommandData::ReservedOperation8(HostDocument*, int32_t) {
  return true;
}

namespace {

CommandData* AsCommand(void* object) {
  return static_cast<CommandData*>(object);
}

// Host memory is freed at the address NewObj returned, which is the most derived object's.
void DestroyCommand(void* object) {
  CommandData* command = AsCommand(object);
  if (!command) return;
  void* block = dynamic_cast<void*>(command);
  command->~CommandData();
  Free(block);
}

// Every forwarder answers the failure value when the object throws: nothing may cross into the host.
bool ExecuteCommand(void* object, HostDocument* doc) {
  try {
    return AsCommand(object)->Execute(doc);
  } catch (...) {
    return false;
  }
}

int32_t QueryCommandState(void* object, HostDocument* doc) {
  try {
    return AsCommand(object)->QueryState(doc);
  } catch (...) {
    return 0;
  }
}

bool RestoreCommandDialog(void* object, void* secret) {
  try {
    return AsCommand(object)->RestoreDialog(secret);
  } catch (...) {
    return false;
  }
}

// The host frees the string it is given.
HostString* QueryCommandText(void* object) {
  try {
    const String text = AsCommand(object)->QueryText();
    return HostCall(nullptr, &HostStringTable::copy, text.Get());
  } catch (...) {
    return nullptr;
  }
}

template <bool (CommandData::*Operation)(HostDocument*, int32_t)>
bool ForwardReserved(void* object, HostDocument* doc, int32_t arg) {
  try {
    return (AsCommand(object)->*Operation)(doc, arg);
  } catch (...) {
    return false;
  }
}

}  // namespace

void FillCommandRecord(HostCommandRecord& record, int32_t info, void* icon, HostString* help,
                       CommandData* object) {
  std::memset(&record, 0, sizeof(record));
  record.info = info;
  record.destroy = &DestroyCommand;
  record.object = object;
  record.help = help;
  record.icon = icon;
  record.execute = &ExecuteCommand;
  record.query_state = &QueryCommandState;
  record.restore_dialog = &RestoreCommandDialog;
  record.query_text = &QueryCommandText;
  record.op5 = &ForwardReserved<&CommandData::ReservedOperation5>;
  record.op2 = &ForwardReserved<&CommandData::ReservedOperation2>;
  record.op8 = &ForwardReserved<&CommandData::ReservedOperation8>;
  record.op3 = &ForwardReserved<&CommandData::ReservedOperation3>;
}

bool RegisterCommandPlugin(int32_t id, const String& name, int32_t info, void* icon, const String& help,
                           CommandData* object) {
  if (!object) return false;
  object->registeredHelp_ = help;
  HostCommandRecord record;
  FillCommandRecord(record, info, icon, const_cast<HostString*>(object->registeredHelp_.Get()), object);
  const bool registered = HostCall(false, &HostPluginTable::register_plugin, ZOR_PLUGIN_API_VERSION,
                                   ZOR_PLUGIN_TYPE_COMMAND, id, name.Get(), &record, ZOR_COMMAND_RECORD_SIZE);
  if (!registered) DestroyCommand(object);
  return registered;
}
