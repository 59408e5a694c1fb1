/* Documents family: scene documents, their active render settings and video post chain. Any thread,
 * one document at a time (the Renderator loads and frees its scenes on its worker thread). Render
 * setting and video post ids are in zor_api_render.h. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* load flags: a scene with everything it holds (zorhost loads every scene whole) */
enum { ZOR_LOAD_SCENE = 3 };

/* Append only; never reorder. Render data, video posts and their containers are borrowed from their
 * document: they live as long as it does and are never freed by the caller. */
typedef struct HostDocumentTable {
  int32_t size;
  /* the caller frees it; null when the scene cannot be loaded (the host prints why on the console);
   * flags are ZOR_LOAD_ flags */
  HostDocument* (*load)(const HostFilename* name, int32_t flags);
  void (*free)(HostDocument* doc);
  HostRenderData* (*active_render_data)(HostDocument* doc); /* borrowed */
  /* the live settings container of the render data; borrowed, copy it to keep it */
  HostContainer* (*render_data_container)(HostRenderData* rd);
  /* parameters are the render data's container entries, set with a type and flags */
  int32_t (*get_parameter_int)(HostRenderData* rd, int32_t id, int32_t def);
  bool (*set_parameter_int)(HostRenderData* rd, int32_t id, int32_t value, int32_t flags);
  HostVideoPost* (*first_video_post)(HostRenderData* rd); /* borrowed; null when none */
  HostVideoPost* (*next_video_post)(HostVideoPost* vp);   /* borrowed; null after the last */
  int32_t (*video_post_type)(const HostVideoPost* vp);    /* a ZOR_VIDEOPOST_ type */
  int32_t (*video_post_flags)(const HostVideoPost* vp);   /* ZOR_VIDEOPOST_FLAG_ bits */
  void (*set_video_post_flags)(HostVideoPost* vp, int32_t flags);
  HostContainer* (*video_post_container)(HostVideoPost* vp); /* borrowed, live */
  bool (*set_video_post_parameter_int)(HostVideoPost* vp, int32_t id, int32_t value, int32_t flags);
  double (*fps)(const HostDocument* doc);
  void (*min_time)(const HostDocument* doc, int64_t* num, int64_t* den);
  /* den must be positive; answers false and changes nothing otherwise */
  bool (*set_min_time)(HostDocument* doc, int64_t num, int64_t den);
} HostDocumentTable;

#ifdef __cplusplus
}
#endif

/* flags of set_parameter_int and set_video_post_parameter_int when a tool sets a parameter */
enum { ZOR_PARAMETER_SET = 4 };
