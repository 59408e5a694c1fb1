/* Memory family: every block carries the source location that asked for it. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostMemoryTable {
  int32_t size;
  /* zero-filled; null when no memory */
  void* (*alloc)(int64_t size, int32_t line, const char* file);
  void (*free)(void* block); /* null is ignored */
} HostMemoryTable;

#ifdef __cplusplus
}
#endif
