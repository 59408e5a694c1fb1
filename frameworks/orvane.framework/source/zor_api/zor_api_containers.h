/* Containers family: id-keyed typed values, stored plug-in settings, the global settings. Any thread,
 * one container at a time; stored settings and the global settings from any thread. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
  ZOR_VALUE_NONE = 0,
  ZOR_VALUE_BOOL = 1,
  ZOR_VALUE_INT32 = 2,
  ZOR_VALUE_INT64 = 3,
  ZOR_VALUE_FLOAT = 4,
  ZOR_VALUE_TIME = 5,
  ZOR_VALUE_FILENAME = 6,
  ZOR_VALUE_STRING = 7,
  ZOR_VALUE_CONTAINER = 8
};

/* entries that memory_statistics fills, each a 64-bit integer */
enum {
  ZOR_MEMSTAT_BLOCKS = 1,      /* blocks allocated and not yet freed */
  ZOR_MEMSTAT_BYTES = 2,       /* their bytes */
  ZOR_MEMSTAT_PEAK_BYTES = 3,  /* the most bytes allocated at one time */
  ZOR_MEMSTAT_ALLOCATIONS = 4, /* allocations since start */
  ZOR_MEMSTAT_LOW_MEMORY = 7   /* low-memory situations since start */
};

/* Append only; never reorder. */
typedef struct HostContainerTable {
  int32_t size;
  HostContainer* (*alloc)(int32_t id); /* empty; the caller frees it */
  void (*free)(HostContainer* c);
  HostContainer* (*copy)(const HostContainer* c); /* deep; the caller frees it */
  void (*assign)(HostContainer* dst, const HostContainer* src);
  int32_t (*get_id)(const HostContainer* c);
  void (*set_id)(HostContainer* c, int32_t id);
  int32_t (*value_type)(const HostContainer* c, int32_t id); /* ZOR_VALUE_NONE when missing */
  bool (*remove)(HostContainer* c, int32_t id);
  /* iteration in ascending id order */
  int32_t (*count)(const HostContainer* c);
  int32_t (*id_at)(const HostContainer* c, int32_t index); /* -1 outside 0 .. count - 1 */

  /* reads answer the default when the entry is missing; numbers convert between numeric types */
  bool (*get_bool)(const HostContainer* c, int32_t id, bool def);
  int32_t (*get_int32)(const HostContainer* c, int32_t id, int32_t def);
  int64_t (*get_int64)(const HostContainer* c, int32_t id, int64_t def);
  double (*get_float)(const HostContainer* c, int32_t id, double def);
  void (*get_time)(const HostContainer* c, int32_t id, int64_t* num, int64_t* den);
  /* into the caller's object; a missing entry makes it empty and answers false */
  bool (*get_filename)(const HostContainer* c, int32_t id, HostFilename* out);
  bool (*get_string)(const HostContainer* c, int32_t id, HostString* out);
  /* borrowed from c, valid while c holds the entry; null when missing */
  HostContainer* (*get_container)(HostContainer* c, int32_t id);

  void (*set_bool)(HostContainer* c, int32_t id, bool v);
  void (*set_int32)(HostContainer* c, int32_t id, int32_t v);
  void (*set_int64)(HostContainer* c, int32_t id, int64_t v);
  void (*set_float)(HostContainer* c, int32_t id, double v);
  void (*set_time)(HostContainer* c, int32_t id, int64_t num, int64_t den);
  /* the setters copy the value; the caller keeps its object */
  void (*set_filename)(HostContainer* c, int32_t id, const HostFilename* v);
  void (*set_string)(HostContainer* c, int32_t id, const HostString* v);
  void (*set_container)(HostContainer* c, int32_t id, const HostContainer* v);

  /* stored settings per plug-in id, written to the prefs folder at once */
  HostContainer* (*get_plugin_settings)(int32_t plugin_id); /* a copy the caller frees, or null */
  bool (*set_plugin_settings)(int32_t plugin_id, const HostContainer* settings, int32_t flags); /* copies */

  HostContainer* (*copy_global_settings)(void); /* the caller frees it */
  void (*restore_global_settings)(const HostContainer* settings);
  void (*memory_statistics)(HostContainer* out);
} HostContainerTable;

#ifdef __cplusplus
}
#endif

/* flags of set_plugin_settings: the container is added to what the host stores */
enum { ZOR_SETTINGS_ADD = 1 };
