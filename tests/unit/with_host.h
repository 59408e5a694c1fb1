// Tests that drive the plug-in layer in-process: a host table installed for a scope.
#pragma once
#include "app/host_table.h"
#include "zor_host.h"

namespace test_support {

// Installs a host table for one scope and puts the previous one back.
class WithHost {
 public:
  explicit WithHost(const HostFunctionTable* table) : previous_(HostTable()) { SetHostTable(table); }
  ~WithHost() { SetHostTable(previous_); }
  WithHost(const WithHost&) = delete;
  WithHost& operator=(const WithHost&) = delete;

 private:
  const HostFunctionTable* previous_;
};

// zorhost's own table at the default version, made once.
inline const HostFunctionTable* RealHostTable() {
  static const HostFunctionTable table = zorhost::make_host_table(ZOR_HOST_API_VERSION);
  return &table;
}

// zorhost's table with its own copies of the families whose operations a test replaces, installed for
// the object's life; the table points at the copies from the start, so they can be changed at any time.
class PatchedHost {
 public:
  PatchedHost() {
    table.files = &files;
    table.gui = &gui;
    table.plugins = &plugins;
    table.scripts = &scripts;
    table.general = &general;
  }
  PatchedHost(const PatchedHost&) = delete;
  PatchedHost& operator=(const PatchedHost&) = delete;

  HostFunctionTable table = *RealHostTable();
  HostFileTable files = *table.files;
  HostGuiTable gui = *table.gui;
  HostPluginTable plugins = *table.plugins;
  HostScriptTable scripts = *table.scripts;
  HostGeneralTable general = *table.general;

 private:
  WithHost installed_{&table};
};

}  // namespace test_support
