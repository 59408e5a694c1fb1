/* Render family: renders a document into a bitmap, and the ids of the render settings and video posts
 * that the module writes and the host's renderers read. */
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
/* render_document flags: a final image or a preview, either one with ZOR_RENDER_FLAG_CLUSTER added to
 * render on the host's cluster (zorhost renders every one alike, on this machine) */
enum { ZOR_RENDER_FLAGS_FINAL = 1, ZOR_RENDER_FLAGS_PREVIEW = 0x0B, ZOR_RENDER_FLAG_CLUSTER = 0x200 };
/* render engine ids (ZOR_RENDER_SETTING_ENGINE) */
enum {
  ZOR_ENGINE_STANDARD = 0,
  ZOR_ENGINE_PREVIEW = 1,
  ZOR_ENGINE_PHYSICAL = 1023342,
  ZOR_ENGINE_HARDWARE = 300001061,
  ZOR_ENGINE_LEGACY = 1016630
};
/* entries of the render settings container (the render data's, and the one render_document takes) */
enum {
  ZOR_RENDER_SETTING_WIDTH = 5008,  /* pixels; a scene file may hold a fraction, the renderer cuts it */
  ZOR_RENDER_SETTING_HEIGHT = 5009, /* the same */
  ZOR_RENDER_SETTING_ENGINE = 5300, /* a ZOR_ENGINE_ id */
  ZOR_RENDER_SETTING_PHYSICAL_ENABLE = 6023 /* set to 1 with ZOR_ENGINE_PHYSICAL */
};
/* video post types of a render data's chain, their flag bits and their settings entries */
enum {
  ZOR_VIDEOPOST_PHYSICAL = 1023342,
  ZOR_VIDEOPOST_FILM_GRAIN = 1001015,
  ZOR_VIDEOPOST_FLAG_OFF = 4,    /* the renderer skips a video post with this flag */
  ZOR_PHYSICAL_SAMPLER = 3100,   /* physical video post: the sampler (zorhost: samples per pixel) */
  ZOR_PHYSICAL_STRUCTURE = 4000, /* physical video post: the acceleration structure, 0 standard */
  ZOR_FILM_GRAIN_STRENGTH = 1000 /* film grain video post: its strength */
};

/* Called from any of the renderer's threads, one call at a time, before render_document answers. */
typedef void (*HostRenderProgress)(void* user, double fraction);

/* Append only; never reorder. */
typedef struct HostRenderTable {
  int32_t size;
  /* Answers ZOR_RENDER_OK or a failure code. Any thread, blocking until the render is done; thread is
   * the caller's host thread, whose break test ends the render early (null: nothing can break it).
   * The document, settings and target stay the caller's; flags are ZOR_RENDER_ flags. */
  int32_t (*render_document)(HostDocument* doc, const HostContainer* settings, HostBitmap* target,
                             int32_t flags, HostThread* thread, HostRenderProgress progress,
                             void* progress_user);
} HostRenderTable;

#ifdef __cplusplus
}
#endif

/* entry of the render settings container: the output format, a ZOR_FILTER_ id */
enum { ZOR_RENDER_SETTING_SAVE_FORMAT = 5033 };
