#include "zor_host.h"

#include <atomic>

namespace {
// Written once at bind, read from worker threads afterwards.
std::atomic<const HostFunctionTable*> g_hostTable{nullptr};
}  // namespace

const HostFunctionTable* HostTable() {
  return g_hostTable.load(std::memory_order_acquire);
}

void SetHostTable(const HostFunctionTable* table) {
  g_hostTable.store(table, std::memory_order_release);
}
