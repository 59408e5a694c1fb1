// The options zorhost runs with, set once by the command line and read by every service family.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "zor_api.h"

namespace zorhost {

struct HostOptions {
  std::filesystem::path startup_dir;                          // --startup
  std::filesystem::path prefs_dir;                            // --prefs
  std::vector<std::filesystem::path> modules;                 // --module (empty: <startup>/plugins)
  bool headless = false;                                      // --headless: run-mode flag 2
  std::filesystem::path ui_script;                            // --ui
  std::string ui_server;                                      // --ui-server [HOST:]PORT
  std::vector<std::string> commands;                          // --command, in order
  std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
  std::map<char, std::filesystem::path> drives;               // --drive C=DIR (upper-case letter)
  std::filesystem::path transcript;                           // --transcript
  bool allow_faults = false;                                  // --allow-faults
  int32_t host_version = ZOR_HOST_API_VERSION;                // --host-version
  bool check_leaks = false;                                   // --check-leaks
  std::vector<std::string> module_arguments;                  // everything that is not a host option
};

// Process-wide; tests may change it before they create a host.
HostOptions& options();

}  // namespace zorhost
