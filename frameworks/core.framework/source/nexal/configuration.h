// Configuration variables: registered during static initialisation, handed to the host's configuration
// when the framework's ".configuration" component starts, so that the host can set them.
#pragma once
#include <cstdint>

#include "nexal_records.h"

namespace nexal {

enum ConfigType : int32_t {
  CONFIG_BOOL = NEXAL_CONFIG_BOOL,
  CONFIG_MODULE_SWITCH = NEXAL_CONFIG_MODULE_SWITCH
};

// Constant-initialisable, so that registrations from any library's static initialisers find it ready.
class ConfigVariableTable {
 public:
  static constexpr int32_t kCapacity = 256;

  // Appends an entry while there is room; at the limit the storage only gets its default. Answers the
  // default, which the caller stores into its variable.
  bool Register(const char* name, bool* storage, bool defaultValue, int32_t type, const char* help);

  NexalConfigEntry* Entries() { return entries_; }
  int32_t Count() const { return count_; }

 private:
  NexalConfigEntry entries_[kCapacity] = {};
  int32_t count_ = 0;
};

ConfigVariableTable& ConfigVariables();

bool StartConfigurationComponent();  // hands every entry to the host; false when it cannot be reached
void EndConfigurationComponent();    // releases the texts the host left in entries

}  // namespace nexal

bool RegisterConfigVariable(const char* name, bool* storage, bool defaultValue, int32_t type,
                            const char* help);

extern bool g_enableDebugBreak;
extern bool g_enableParallelFor;
