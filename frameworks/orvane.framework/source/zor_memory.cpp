#include "zor_memory.h"

#include "zor_host.h"

void* Allocate(int64_t size, int32_t line, const char* file) {
  if (size < 0) return nullptr;
  return HostCall(nullptr, &HostMemoryTable::alloc, size, line, file);
}

void FreeBlock(void* block) {
  if (block == nullptr) return;
  HostCall(&HostMemoryTable::free, block);
}
