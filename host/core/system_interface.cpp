#include "core/system_interface.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "app/entry_guard.h"
#include "app/host_options.h"
#include "core/core_framework.h"
#include "gui/console.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

struct CoreState {
  std::mutex mutex;
  std::string pending_line;  // output without a line end waits for the rest of its line
  std::set<std::string> registered_names;
  std::set<std::string> switches_off;  // module switches left off: their tools are not registered
};

CoreState& state() {
  static CoreState* instance = new CoreState;  // outlives late output from static destructors
  return *instance;
}

void* system_alloc(int64_t size, const NexalSourceLocation* where) {
  return guarded("nexal.System.alloc", static_cast<void*>(nullptr), [&] {
    return tracked_alloc(size, where ? where->line : 0, where && where->file ? where->file : "?");
  });
}

void system_free(void* block) {
  guarded_void("nexal.System.free", [&] { tracked_free(block); });
}

void system_output(const char* text) {
  guarded_void("nexal.System.output", [&] {
    if (!text) return;
    CoreState& core = state();
    std::lock_guard lock(core.mutex);
    core.pending_line += text;
    size_t end;
    while ((end = core.pending_line.find('\n')) != std::string::npos) {
      console_line(std::string_view(core.pending_line).substr(0, end));
      core.pending_line.erase(0, end + 1);
    }
  });
}

uint32_t system_output_mask() {
  return guarded("nexal.System.output_mask", uint32_t{NEXAL_OUTPUT_MASK_INITIAL},
                 [] { return uint32_t{NEXAL_OUTPUT_MASK_INITIAL}; });
}

std::optional<bool> parse_bool(const std::string& text) {
  if (text == "true" || text == "1") return true;
  if (text == "false" || text == "0") return false;
  return std::nullopt;
}

void apply_setting(NexalConfigEntry& entry, const std::string& value) {
  if (entry.type != NEXAL_CONFIG_BOOL && entry.type != NEXAL_CONFIG_MODULE_SWITCH) {
    std::fprintf(stderr, "zorhost: warning: --set %s: variables of type %d cannot be set\n", entry.name,
                 entry.type);
    return;
  }
  const auto parsed = parse_bool(value);
  if (!parsed) {
    std::fprintf(stderr, "zorhost: warning: --set %s=%s: expected true, false, 1 or 0\n", entry.name,
                 value.c_str());
    return;
  }
  if (entry.storage) *static_cast<uint8_t*>(entry.storage) = *parsed ? 1 : 0;
}

void system_register_config(NexalConfigEntry* entries, int32_t count) {
  guarded_void("nexal.System.register_config", [&] {
    if (!entries) return;
    CoreState& core = state();
    for (int32_t i = 0; i < count; ++i) {
      NexalConfigEntry& entry = entries[i];
      if (!entry.name) continue;
      {
        std::lock_guard lock(core.mutex);
        core.registered_names.insert(entry.name);
      }
      for (const auto& [name, value] : options().settings) {  // in order: the last one wins
        if (name == entry.name) apply_setting(entry, value);
      }
      if (entry.type == NEXAL_CONFIG_MODULE_SWITCH && entry.storage) {
        std::lock_guard lock(core.mutex);
        if (*static_cast<const uint8_t*>(entry.storage) == 0) {
          core.switches_off.insert(entry.name);
        } else {
          core.switches_off.erase(entry.name);
        }
      }
    }
  });
}

// Texts in configuration storage would come from the host's own configuration, which only ever sets
// bools here; there is nothing to release.
void system_release_text(void*) {
  guarded_void("nexal.System.release_text", [] {});
}

const NexalSystemInterface kSystem{system_alloc,           system_free,
                                   system_output,          system_output_mask,
                                   system_register_config, system_release_text};

}  // namespace

std::vector<std::string> module_switches_off() {
  std::lock_guard lock(state().mutex);
  return {state().switches_off.begin(), state().switches_off.end()};
}

const NexalSystemInterface* system_interface() {
  return &kSystem;
}

std::vector<std::string> unregistered_settings() {
  CoreState& core = state();
  std::lock_guard lock(core.mutex);
  std::vector<std::string> names;
  for (const auto& [name, value] : options().settings) {
    if (!core.registered_names.count(name) && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(name);
    }
  }
  return names;
}

void reset_configuration() {
  CoreState& core = state();
  std::lock_guard lock(core.mutex);
  core.registered_names.clear();
}

void flush_core_output() {
  CoreState& core = state();
  std::lock_guard lock(core.mutex);
  if (!core.pending_line.empty()) console_line(core.pending_line);
  core.pending_line.clear();
}

}  // namespace zorhost
