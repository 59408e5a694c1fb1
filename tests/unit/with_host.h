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

}  // namespace test_support
