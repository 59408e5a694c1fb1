#include "plugins/plugin_registry.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>

#include "core/system_interface.h"
#include "gui/console.h"
#include "gui/dialog_layouts.h"
#include "gui/dialog_model.h"
#include "gui/transcript.h"
#include "gui/ui_driver.h"

namespace zorhost {
namespace {

struct CommandEntry {
  int32_t id = 0;
  std::string name;
  HostCommandRecord record{};
};

std::mutex g_mutex;
std::vector<CommandEntry> g_commands;

bool refuse(const std::string& name, int32_t id, const std::string& why) {
  console_line("Warning: plug-in \"" + name + "\" (" + std::to_string(id) + ") not registered: " + why);
  return false;
}

const CommandEntry* find_command(const std::string& key) {
  for (const CommandEntry& entry : g_commands)
    if (entry.name == key) return &entry;
  int32_t id = 0;
  auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
  if (error != std::errc() || end != key.data() + key.size() || key.empty()) return nullptr;
  for (const CommandEntry& entry : g_commands)
    if (entry.id == id) return &entry;
  return nullptr;
}

}  // namespace

std::vector<RegisteredCommand> registered_commands() {
  std::lock_guard lock(g_mutex);
  std::vector<RegisteredCommand> list;
  for (const CommandEntry& entry : g_commands) list.push_back({entry.id, entry.name});
  return list;
}

bool register_command(int32_t api_version, int32_t type, int32_t id, const std::string& name,
                      const void* record, int32_t record_size) {
  if (api_version < ZOR_PLUGIN_API_VERSION)
    return refuse(name, id, "API version " + std::to_string(api_version) + " is too old");
  if (type != ZOR_PLUGIN_TYPE_COMMAND)
    return refuse(name, id, "type " + std::to_string(type) + " is not a command");
  if (!record || record_size != ZOR_COMMAND_RECORD_SIZE)
    return refuse(name, id,
                  "the record has " + std::to_string(record_size) + " bytes, not " +
                      std::to_string(ZOR_COMMAND_RECORD_SIZE));
  CommandEntry entry;
  entry.id = id;
  entry.name = name;
  std::memcpy(&entry.record, record, sizeof(HostCommandRecord));
  if (!entry.record.object) return refuse(name, id, "the record has no object");
  std::lock_guard lock(g_mutex);
  for (const CommandEntry& other : g_commands)
    if (other.id == id) return refuse(name, id, "the id is taken by \"" + other.name + "\"");
  g_commands.push_back(std::move(entry));
  return true;
}

bool execute_commands(const std::vector<std::string>& commands) {
  for (const std::string& key : commands) {
    CommandEntry command;
    {
      std::lock_guard lock(g_mutex);
      const CommandEntry* found = find_command(key);
      if (!found) {
        std::string hint;
        for (const std::string& name : module_switches_off())
          hint +=
              (hint.empty() ? "; tools switched off: turn one on with --set " : ", --set ") + name + "=true";
        std::fprintf(stderr, "zorhost: unknown command \"%s\"%s\n", key.c_str(), hint.c_str());
        return false;
      }
      command = *found;  // a copy: the command may register others while it runs
    }
    bool result = false;
    ui::set_running_command(command.name);
    try {
      if (command.record.execute) result = command.record.execute(command.record.object, nullptr);
    } catch (...) {
      std::fprintf(stderr, "zorhost: command \"%s\" failed with an exception\n", command.name.c_str());
    }
    ui::set_running_command("");
    // What workers posted while the command ran reaches the dialogs that are still open.
    ui::deliver_pending_events();
    ui::driver().idle();
    transcript::record(
        {{"event", "command"}, {"id", command.id}, {"name", command.name}, {"result", result}});
  }
  return true;
}

void restore_dialogs() {
  std::vector<CommandEntry> commands;
  {
    std::lock_guard lock(g_mutex);
    commands = g_commands;
  }
  for (const CommandEntry& command : commands) {
    if (!command.record.restore_dialog) continue;
    for (const ui::DialogLayout& layout : ui::open_layouts(command.id)) {
      ui::HandedLayout handed(layout);
      bool restored = false;
      try {
        restored = command.record.restore_dialog(command.record.object, handed.secret());
      } catch (...) {
        std::fprintf(stderr, "zorhost: restoring \"%s\" failed with an exception\n", command.name.c_str());
      }
      if (!restored)
        std::fprintf(stderr, "zorhost: the dialog of \"%s\" (sub-id %d) was not restored\n",
                     command.name.c_str(), layout.sub_id);
    }
  }
  ui::deliver_pending_events();
  ui::driver().idle();
}

void destroy_plugins() {
  ui::close_all_dialogs();
  std::vector<CommandEntry> commands;
  {
    std::lock_guard lock(g_mutex);
    commands.swap(g_commands);
  }
  for (auto it = commands.rbegin(); it != commands.rend(); ++it) {
    if (!it->record.destroy) continue;
    try {
      it->record.destroy(it->record.object);
    } catch (...) {
      std::fprintf(stderr, "zorhost: destroying \"%s\" failed with an exception\n", it->name.c_str());
    }
  }
}

}  // namespace zorhost
