/* Registration family: plug-in records and the module's resources. The command registration record is
 * a fixed byte layout that the host reads; its offsets are checked at compile time below. */
#pragma once
#include <stddef.h>

#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_PLUGIN_API_VERSION = 16000, ZOR_PLUGIN_TYPE_COMMAND = 4, ZOR_COMMAND_RECORD_SIZE = 384 };

/* Every callback gets the registered object. The unnamed operations keep their slot numbers. */
typedef struct HostCommandRecord {
  int32_t info;                                              /* 0 */
  int32_t reserved_4;                                        /* 4 */
  void (*destroy)(void* object);                             /* 8: destructor, then free */
  uint8_t reserved_16[48];                                   /* 16 */
  void* object;                                              /* 64: the command object */
  uint8_t reserved_72[56];                                   /* 72 */
  HostString* help;                                          /* 128 */
  void* icon;                                                /* 136 */
  bool (*execute)(void* object, HostDocument* doc);          /* 144: op 1 */
  int32_t (*query_state)(void* object, HostDocument* doc);   /* 152: op 4 */
  bool (*restore_dialog)(void* object, void* secret);        /* 160: op 6 */
  void* reserved_168;                                        /* 168 */
  HostString* (*query_text)(void* object);                   /* 176: op 7, caller frees */
  bool (*op5)(void* object, HostDocument* doc, int32_t arg); /* 184 */
  bool (*op2)(void* object, HostDocument* doc, int32_t arg); /* 192 */
  bool (*op8)(void* object, HostDocument* doc, int32_t arg); /* 200 */
  bool (*op3)(void* object, HostDocument* doc, int32_t arg); /* 208 */
  uint8_t reserved_216[168];                                 /* 216 .. 383 */
} HostCommandRecord;

#ifdef __cplusplus
#define ZOR_RECORD_ASSERT(cond) static_assert(cond, #cond)
#else
#define ZOR_RECORD_ASSERT(cond) _Static_assert(cond, #cond)
#endif
ZOR_RECORD_ASSERT(sizeof(HostCommandRecord) == 384);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, info) == 0);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, destroy) == 8);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, object) == 64);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, help) == 128);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, icon) == 136);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, execute) == 144);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, query_state) == 152);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, restore_dialog) == 160);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, reserved_168) == 168);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, query_text) == 176);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, op5) == 184);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, op2) == 192);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, op8) == 200);
ZOR_RECORD_ASSERT(offsetof(HostCommandRecord, op3) == 208);

typedef struct HostPluginTable {
  int32_t size;
  /* the host copies the record; false when the id is taken or the record is malformed */
  bool (*register_plugin)(int32_t api_version, int32_t type, int32_t id, const HostString* name,
                          const void* record, int32_t record_size);
  HostResource* (*resource_open)(const HostFilename* folder); /* null when it cannot be opened */
  void (*resource_free)(HostResource* res);
} HostPluginTable;

#ifdef __cplusplus
}
#endif
