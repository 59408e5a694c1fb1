/* Render family: renders a document into a bitmap. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  ZOR_RENDER_OK = 0,
  ZOR_RENDER_OUT_OF_MEMORY = 1,
  ZOR_RENDER_ASSET_MISSING = 2,
  ZOR_RENDER_USER_BREAK = 3,
  ZOR_RENDER_FAILED = 4
};
/* render engine ids (render settings entry 5300) */
enum {
  ZOR_ENGINE_STANDARD = 0,
  ZOR_ENGINE_PREVIEW = 1,
  ZOR_ENGINE_PHYSICAL = 1023342,
  ZOR_ENGINE_HARDWARE = 300001061,
  ZOR_ENGINE_LEGACY = 1016630
};

typedef void (*HostRenderProgress)(void* user, double fraction);

typedef struct HostRenderTable {
  int32_t size;
  /* answers ZOR_RENDER_OK or a failure code; thread may be null (then nothing can break it) */
  int32_t (*render_document)(HostDocument* doc, const HostContainer* settings, HostBitmap* target,
                             int32_t flags, HostThread* thread, HostRenderProgress progress,
                             void* progress_user);
} HostRenderTable;

#ifdef __cplusplus
}
#endif
