#include "app/entry_guard.h"
#include "app/host_table.h"
#include "memory/memory_tracker.h"

namespace zorhost {
namespace {

void* memory_alloc(int64_t size, int32_t line, const char* file) {
  return guarded("memory.alloc", static_cast<void*>(nullptr),
                 [&] { return tracked_alloc(size, line, file); });
}

void memory_free(void* block) {
  guarded_void("memory.free", [&] { tracked_free(block); });
}

}  // namespace

const HostMemoryTable* memory_table() {
  static const HostMemoryTable kTable{
      .size = sizeof(HostMemoryTable),
      .alloc = memory_alloc,
      .free = memory_free,
  };
  return &kTable;
}

}  // namespace zorhost
