// One zorhost run: the modules it loads and the steps of their life. run() does every step in order;
// tests drive the steps one by one. Each step that can fail writes one line naming the module and the
// reason on stderr and answers the exit status (0 when it went well).
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/host_options.h"
#include "app/run_status.h"
#include "plugins/plugin_registry.h"
#include "zor_api.h"

struct NexalModuleRecord;

namespace zorhost {

class Host {
 public:
  // Works with the process-wide options(), which must be complete (defaults applied).
  Host();
  ~Host();  // ends and unloads whatever is still loaded
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  int load();         // kExitModule when a module cannot be loaded
  int bind();         // kExitModule when a module refuses
  void resolve();     // core references and initializers of every module record
  int start();        // configuration, UI session, start action, resources; kExitUsage for a bad UI session
  void messages();    // the command line for the modules, warnings for unused arguments, what registered
  int commands();     // the --command list; kExitUsage when one is unknown or a UI script step was wrong
  void end();         // plug-ins destroyed, end action, components ended, UI session ended
  void unload();      // dlclose
  int check_leaks();  // kExitLeaks when checking is on and something was never freed

  // every step, then the exit status of final_exit_status (run_status.h)
  int run();

  struct LoadedModule;
  const std::vector<std::unique_ptr<LoadedModule>>& modules() const { return modules_; }
  // Module arguments no module consumed, after messages().
  const std::vector<std::string>& unused_arguments() const { return unused_arguments_; }

 private:
  int32_t call(LoadedModule& module, int32_t action, void* p1, void* p2, void* p3);
  std::vector<std::filesystem::path> module_paths() const;

  HostFunctionTable table_{};
  std::vector<std::unique_ptr<LoadedModule>> modules_;
  std::vector<std::string> unused_arguments_;
  // message 1: the module clears the thirteenth word of the block the sixth word points to
  void* resource_block_[16] = {};
  HostResourceMessage resource_message_{};
  bool ui_session_started_ = false;
  bool plugins_started_ = false;
};

struct Host::LoadedModule {
  std::filesystem::path path;
  std::string name;  // file name, for messages
  void* handle = nullptr;
  ZorMainFunction zor_main = nullptr;
  NexalModuleRecord* const* records = nullptr;  // g_privateModules, when the module exports it
  std::unique_ptr<HostFilename> own_name;       // p3 of bind; lives as long as the module may read it
  bool bound = false;
  bool components_started = false;
  bool started = false;
  std::vector<RegisteredCommand> commands;  // what it registered at start
};

}  // namespace zorhost
