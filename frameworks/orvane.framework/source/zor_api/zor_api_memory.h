/* Memory family: every block carries the source location that asked for it. Any thread. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Append only; never reorder. */
typedef struct HostMemoryTable {
  int32_t size;
  /* zero-filled; null when no memory; the caller frees it; the host copies file */
  void* (*alloc)(int64_t size, int32_t line, const char* file);
  void (*free)(void* block); /* null is ignored */
} HostMemoryTable;

#ifdef __cplusplus
}
#endif
