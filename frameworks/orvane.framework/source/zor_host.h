// The host function table as the plug-in layer reaches it. Only the wrapper classes of this folder
// call through it, and only with HostOperation or HostCall; tool code uses the wrappers.
#pragma once
#include <cstddef>
#include <type_traits>
#include <utility>

#include "zor_api.h"

const HostFunctionTable* HostTable();  // null before bind
void SetHostTable(const HostFunctionTable* table);

namespace zor_host_detail {

// The root slot that holds each family, found from the family's type.
#define ZOR_FAMILY_SLOT(Family, slot)        \
  constexpr auto FamilySlot(const Family*) { \
    return &HostFunctionTable::slot;         \
  }
ZOR_FAMILY_SLOT(HostStringTable, strings)
ZOR_FAMILY_SLOT(HostMemoryTable, memory)
ZOR_FAMILY_SLOT(HostFileTable, files)
ZOR_FAMILY_SLOT(HostContainerTable, containers)
ZOR_FAMILY_SLOT(HostDocumentTable, documents)
ZOR_FAMILY_SLOT(HostRenderTable, render)
ZOR_FAMILY_SLOT(HostBitmapTable, bitmaps)
ZOR_FAMILY_SLOT(HostGuiTable, gui)
ZOR_FAMILY_SLOT(HostThreadTable, threads)
ZOR_FAMILY_SLOT(HostPluginTable, plugins)
ZOR_FAMILY_SLOT(HostScriptTable, scripts)
ZOR_FAMILY_SLOT(HostGeneralTable, general)
#undef ZOR_FAMILY_SLOT

// Whether the size the host wrote into a table covers the whole slot. Only the slot's address is
// taken, never its content, so a table shorter than this module's header is not read past its end.
template <class Table, class Slot>
bool Covers(const Table& table, Slot Table::*slot) {
  const std::ptrdiff_t offset =
      reinterpret_cast<const char*>(&(table.*slot)) - reinterpret_cast<const char*>(&table);
  return table.size >= 0 &&
         static_cast<std::size_t>(table.size) >= static_cast<std::size_t>(offset) + sizeof(Slot);
}

}  // namespace zor_host_detail

// One host operation, or null when the host is not bound, or its root table or the family table is
// too short to hold the operation (an older host), or it left the slot empty. Null means "the host
// cannot": the caller answers its documented default.
template <class Family, class Operation>
Operation HostOperation(Operation Family::*operation) {
  const HostFunctionTable* root = HostTable();
  constexpr auto slot = zor_host_detail::FamilySlot(static_cast<const Family*>(nullptr));
  if (root == nullptr || !zor_host_detail::Covers(*root, slot)) return nullptr;
  const Family* family = root->*slot;
  if (family == nullptr || !zor_host_detail::Covers(*family, operation)) return nullptr;
  return family->*operation;
}

// Calls the operation when the host offers it, else answers fallback:
//   return HostCall(0, &HostStringTable::length, text);
template <class Family, class Result, class... Parameters, class... Arguments>
Result HostCall(std::type_identity_t<Result> fallback, Result (*Family::*operation)(Parameters...),
                Arguments&&... arguments) {
  const auto function = HostOperation(operation);
  return function ? function(std::forward<Arguments>(arguments)...) : fallback;
}

// The same for an operation that answers nothing; answers whether the host offered it.
template <class Family, class... Parameters, class... Arguments>
bool HostCall(void (*Family::*operation)(Parameters...), Arguments&&... arguments) {
  const auto function = HostOperation(operation);
  if (function) function(std::forward<Arguments>(arguments)...);
  return function != nullptr;
}
