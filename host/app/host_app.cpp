#include "app/host_app.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "app/command_line.h"
#include "app/crash_handler.h"
#include "app/host_table.h"
#include "core/core_framework.h"
#include "files/filename_impl.h"
#include "gui/ui_session.h"
#include "memory/memory_tracker.h"
#include "nexal_records.h"
#include "plugins/plugin_registry.h"
#include "ui_server/ui_server.h"

namespace fs = std::filesystem;

namespace zorhost {
namespace {

void report(const std::string& module, const std::string& reason) {
  std::fprintf(stderr, "zorhost: %s: %s\n", module.c_str(), reason.c_str());
}

// Records in the order they were linked (the chain's head is the newest).
std::vector<NexalModuleRecord*> records_oldest_first(NexalModuleRecord* const* head) {
  std::vector<NexalModuleRecord*> records;
  for (NexalModuleRecord* record = head ? *head : nullptr; record && records.size() < 4096;
       record = record->previous) {
    records.push_back(record);
  }
  std::reverse(records.begin(), records.end());
  return records;
}

bool built_with_checks() {
#ifdef NDEBUG
  return false;
#else
  return true;
#endif
}

}  // namespace

Host::Host() {
  table_ = make_host_table(options().host_version);
  resource_message_.words[5] = resource_block_;
  reset_configuration();
  clear_run_notes();
}

Host::~Host() {
  end();
  unload();
}

int32_t Host::call(LoadedModule& module, int32_t action, void* p1, void* p2, void* p3) {
  return module.zor_main(action, p1, p2, p3);
}

std::vector<fs::path> Host::module_paths() const {
  if (!options().modules.empty()) return options().modules;
  const fs::path folder = options().startup_dir / "plugins";
  auto found = find_modules(folder);
  if (found.empty()) std::fprintf(stderr, "zorhost: warning: no modules found below %s\n", folder.c_str());
  return found;
}

int Host::load() {
  for (const fs::path& path : module_paths()) {
    auto module = std::make_unique<LoadedModule>();
    module->path = path;
    module->name = path.filename().string();
    std::error_code error;
    if (!fs::exists(path, error)) {
      report(path.string(), "no such file");
      return kExitModule;
    }
    if (fs::is_directory(path, error)) {
      report(path.string(), "is a folder, not a module");
      return kExitModule;
    }
    module->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module->handle) {
      std::string reason = dlerror() ?: "unknown reason";
      // dlerror names the file itself; the report already does
      if (reason.rfind(path.string() + ": ", 0) == 0) reason.erase(0, path.string().size() + 2);
      report(path.string(), "not a loadable module: " + reason);
      return kExitModule;
    }
    module->zor_main = reinterpret_cast<ZorMainFunction>(dlsym(module->handle, "zor_main"));
    if (!module->zor_main) {
      report(path.string(), "not a module: it has no zor_main entry point");
      dlclose(module->handle);
      return kExitModule;
    }
    module->records = static_cast<NexalModuleRecord* const*>(dlsym(module->handle, "g_privateModules"));
    modules_.push_back(std::move(module));
    // before the module runs any code: a fault in it is then named by its file
    refresh_crash_module_table();
  }
  return kExitOk;
}

int Host::bind() {
  for (auto& module : modules_) {
    if (module->bound) continue;
    module->own_name = std::make_unique<HostFilename>(HostFilename{fs::absolute(module->path).string()});
    const int32_t answer = call(*module, ZOR_ACTION_BIND, &table_, nullptr, module->own_name.get());
    if (answer != 1) {
      if (answer == ZOR_MAIN_BIND_REFUSED && table_.version < ZOR_HOST_API_MINIMUM) {
        report(module->path.string(),
               "host API version " + std::to_string(table_.version) + " is too old for this module");
      } else {
        report(module->path.string(), "module refused to bind (answer " + std::to_string(answer) + ")");
      }
      return kExitModule;
    }
    module->bound = true;
  }
  return kExitOk;
}

void Host::resolve() {
  for (auto& module : modules_) {
    if (module->records) resolve_core_references(*module->records);
  }
}

int Host::start() {
  for (auto& module : modules_) {
    for (NexalModuleRecord* record : records_oldest_first(module->records)) {
      if (record->start_components && !record->start_components()) {
        report(module->name, std::string("framework components of ") +
                                 (record->id ? record->id : "a record") + " did not start");
      }
    }
    module->components_started = true;
  }
  for (const std::string& name : unregistered_settings()) {
    std::fprintf(stderr, "zorhost: warning: --set %s: no module registered this variable\n", name.c_str());
  }

  // Asked once the modules are loaded, so that a module that cannot be is named first.
  if (auto problem = choose_driver(options(), isatty(STDIN_FILENO) == 1)) {
    std::fprintf(stderr, "%s\n", problem->c_str());
    return kExitUsage;
  }
  std::string error;
  if (!start_ui_session(options(), &error)) {
    std::fprintf(stderr, "zorhost: %s\n", error.c_str());
    return kExitUsage;
  }
  ui_session_started_ = true;

  plugins_started_ = true;
  for (auto& module : modules_) {
    const auto before = registered_commands();
    if (call(*module, ZOR_ACTION_START, nullptr, nullptr, nullptr) != 1) {
      report(module->name, "warning: the module's start failed; some of its tools may be missing");
    }
    module->started = true;
    for (const RegisteredCommand& command : registered_commands()) {
      const bool known = std::any_of(before.begin(), before.end(),
                                     [&](const RegisteredCommand& other) { return other.id == command.id; });
      if (!known) module->commands.push_back(command);
    }
  }
  for (auto& module : modules_) {
    call(*module, ZOR_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{ZOR_HOSTMSG_RESOURCES}),
         &resource_message_, nullptr);
  }
  return kExitOk;
}

void Host::messages() {
  const auto& arguments = options().module_arguments;
  std::vector<std::string> storage(arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (std::string& argument : storage) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  HostArguments message{static_cast<int32_t>(storage.size()), pointers.data()};
  for (auto& module : modules_) {
    // answers -1 by design: the command line is not a message a module claims
    call(*module, ZOR_ACTION_MESSAGE, reinterpret_cast<void*>(intptr_t{ZOR_HOSTMSG_COMMANDLINE}), &message,
         nullptr);
  }
  unused_arguments_.clear();
  for (size_t i = 0; i < storage.size(); ++i) {
    // A module answers a help request with its usage and leaves it for the next module, so a help
    // request is never consumed, yet it was used.
    const bool help = storage[i] == "-help" || storage[i] == "--help";
    if (pointers[i] && !help) unused_arguments_.push_back(storage[i]);
  }
  for (const std::string& argument : unused_arguments_) {
    std::fprintf(stderr, "zorhost: warning: argument '%s' was not used\n", argument.c_str());
  }
  for (const auto& module : modules_) {
    for (const RegisteredCommand& command : module->commands) {
      std::fprintf(stderr, "zorhost: %s: command %d %s\n", module->name.c_str(), command.id,
                   command.name.c_str());
    }
  }
}

int Host::commands() {
  for (const std::string& command : options().commands) {
    // A wrong UI script step ends the run: the later commands would only meet cancelled dialogs.
    if (ui_script_failed()) break;
    if (!execute_commands({command})) return kExitUsage;
  }
  // With the browser the commands given are only the start: the person goes on in the page.
  serve_until_quit();
  return ui_script_failed() ? kExitUsage : kExitOk;
}

void Host::end() {
  if (plugins_started_) {
    destroy_plugins();
    plugins_started_ = false;
  }
  // modules end in the reverse order of their loading
  for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
    LoadedModule& module = **it;
    if (module.bound) call(module, ZOR_ACTION_END, nullptr, nullptr, nullptr);
    module.bound = false;
    module.started = false;
    if (module.components_started) {
      auto records = records_oldest_first(module.records);
      for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if ((*record)->end_components) (*record)->end_components();
      }
      module.components_started = false;
    }
  }
  if (ui_session_started_) {
    end_ui_session();
    ui_session_started_ = false;
  }
  flush_core_output();
}

void Host::unload() {
  for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
    if ((*it)->handle) dlclose((*it)->handle);
  }
  modules_.clear();
  refresh_crash_module_table();
}

int Host::check_leaks() {
  if (!options().check_leaks && !built_with_checks()) return kExitOk;
  return report_leaks(stderr) ? kExitLeaks : kExitOk;
}

int Host::run() {
  int status = load();
  if (status == kExitOk) status = bind();
  if (status == kExitOk) {
    resolve();
    status = start();
  }
  if (status == kExitOk) {
    messages();
    // A run without a user interface shows no dialog, so it brings none back either.
    if (!options().headless) restore_dialogs();
    status = commands();
  }
  end();
  unload();
  const int leaks = check_leaks();
  // Headless, nobody reads the warning: a mistyped module option (-renderater) would otherwise end a
  // CI job green without having done its work.
  if (status == kExitOk && options().headless && !unused_arguments_.empty()) {
    std::fflush(stdout);
    const size_t more = unused_arguments_.size() - 1;
    std::fprintf(stderr, "zorhost: exit %d: no module took the argument '%s'%s\n", kExitUsage,
                 unused_arguments_.front().c_str(),
                 more ? (" (and " + std::to_string(more) + " more)").c_str() : "");
    return kExitUsage;
  }
  return final_exit_status(status, leaks == kExitLeaks);
}

}  // namespace zorhost
