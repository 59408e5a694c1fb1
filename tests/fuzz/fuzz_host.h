// For targets whose reader lives in the module: zorhost's own host table installed once for the process,
// and the core framework's text parser resolved as the host resolves it when it loads the module.
#pragma once
#include <cstdlib>

#include "app/host_table.h"
#include "core/core_framework.h"
#include "nexal/object.h"
#include "zor_host.h"

namespace fuzz_support {

inline void InstallHost() {
  static const bool installed = [] {
    static const HostFunctionTable table = zorhost::make_host_table(ZOR_HOST_API_VERSION);
    SetHostTable(&table);
    if (!zorhost::resolve_core_reference(&nexal::Reference(nexal::Ref::TextParser))) std::abort();
    return true;
  }();
  (void)installed;
}

}  // namespace fuzz_support
