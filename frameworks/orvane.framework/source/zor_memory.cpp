#include "zor_memory.h"

#include "zor_host.h"

void* Allocate(int64_t size, int32_t line, const char* file) {
  if (size < 0) return nullptr;
  auto alloc = ZOR_MEMORY(alloc);
  return alloc ? alloc(size, line, file) : nullptr;
}

void FreeBlock(void* block) {
  if (block == nullptr) return;
  if (auto free = ZOR_MEMORY(free)) free(block);
}
