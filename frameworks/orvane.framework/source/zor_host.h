// The host function table as the plug-in layer reaches it. Only the wrapper classes of this folder
// call through it; tool code uses the wrappers.
#pragma once
#include <cstddef>

#include "zor_api.h"

const HostFunctionTable* HostTable();  // null before bind
void SetHostTable(const HostFunctionTable* table);

// One host operation, or null when the host is not bound, lacks the family, or hands over a family
// table too short to hold the operation (an older host). Callers treat null as "the host cannot".
template <class Family, class Operation>
Operation HostOperation(const Family* const HostFunctionTable::*family, Operation Family::*operation) {
  const HostFunctionTable* table = HostTable();
  if (table == nullptr) return nullptr;
  const Family* ops = table->*family;
  if (ops == nullptr) return nullptr;
  const std::ptrdiff_t offset =
      reinterpret_cast<const char*>(&(ops->*operation)) - reinterpret_cast<const char*>(ops);
  if (ops->size < static_cast<int32_t>(offset + sizeof(Operation))) return nullptr;
  return ops->*operation;
}

#define ZOR_STRINGS(op) HostOperation(&HostFunctionTable::strings, &HostStringTable::op)
#define ZOR_MEMORY(op) HostOperation(&HostFunctionTable::memory, &HostMemoryTable::op)
#define ZOR_FILES(op) HostOperation(&HostFunctionTable::files, &HostFileTable::op)
#define ZOR_CONTAINERS(op) HostOperation(&HostFunctionTable::containers, &HostContainerTable::op)
#define ZOR_GENERAL(op) HostOperation(&HostFunctionTable::general, &HostGeneralTable::op)
#define ZOR_GUI(op) HostOperation(&HostFunctionTable::gui, &HostGuiTable::op)
