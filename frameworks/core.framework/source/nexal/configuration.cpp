#include "configuration.h"

#include "object.h"

namespace nexal {

bool ConfigVariableTable::Register(const char* name, bool* storage, bool defaultValue, int32_t type,
                                   const char* help) {
  if (storage != nullptr) *storage = defaultValue;
  if (count_ >= kCapacity) return defaultValue;
  entries_[count_++] = NexalConfigEntry{name, help ? help : "", type, storage, NEXAL_CONFIG_STATE_REGISTERED};
  return defaultValue;
}

namespace {
constinit ConfigVariableTable g_configVariables;
}  // namespace

ConfigVariableTable& ConfigVariables() {
  return g_configVariables;
}

bool StartConfigurationComponent() {
  const NexalSystemInterface* system = SystemForCall();
  if (system == nullptr || system->register_config == nullptr) return false;
  ConfigVariableTable& table = ConfigVariables();
  if (table.Count() > 0) system->register_config(table.Entries(), table.Count());
  return true;
}

void EndConfigurationComponent() {
  ConfigVariableTable& table = ConfigVariables();
  const NexalSystemInterface* system = ResolvedSystem();
  for (int32_t i = 0; i < table.Count(); ++i) {
    NexalConfigEntry& entry = table.Entries()[i];
    if (entry.state != NEXAL_CONFIG_STATE_TEXT && entry.state != NEXAL_CONFIG_STATE_SHARED_TEXT) continue;
    // In these states the storage holds a reference-counted text the host put there; the host knows
    // its shape, so it gets the storage itself back to release.
    if (system && system->release_text) system->release_text(entry.storage);
    entry.state = NEXAL_CONFIG_STATE_REGISTERED;
  }
}

}  // namespace nexal

bool RegisterConfigVariable(const char* name, bool* storage, bool defaultValue, int32_t type,
                            const char* help) {
  return nexal::ConfigVariables().Register(name, storage, defaultValue, type, help);
}

bool g_enableDebugBreak =
    RegisterConfigVariable("g_enableDebugBreak", &g_enableDebugBreak, true, nexal::CONFIG_BOOL,
                           "enable debug breaks (when debugger is attached)");
bool g_enableParallelFor =
    RegisterConfigVariable("g_enableParallelFor", &g_enableParallelFor, true, nexal::CONFIG_BOOL,
                           "enable parallel execution of all ParallelFor loops");
