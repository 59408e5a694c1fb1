/* Registration family: plug-in records and the module's resources. The command registration record is
 * a fixed byte layout that the host reads; its offsets are checked at compile time below. */
#pragma once
#include <assert.h> /* static_assert in C as in C++ */
#include <stddef.h>

#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_PLUGIN_API_VERSION = 16000, ZOR_PLUGIN_TYPE_COMMAND = 4, ZOR_COMMAND_RECORD_SIZE = 384 };
/* what query_state answers for a command nobody disabled */
enum { ZOR_COMMAND_STATE_ENABLED = 0x40000000 };

/* Every callback gets the registered object and is called on the main thread; destroy is the last. The
 * unnamed operations keep their slot numbers. */
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

static_assert(sizeof(HostCommandRecord) == 384, "record layout");
static_assert(offsetof(HostCommandRecord, info) == 0, "record layout");
static_assert(offsetof(HostCommandRecord, destroy) == 8, "record layout");
static_assert(offsetof(HostCommandRecord, object) == 64, "record layout");
static_assert(offsetof(HostCommandRecord, help) == 128, "record layout");
static_assert(offsetof(HostCommandRecord, icon) == 136, "record layout");
static_assert(offsetof(HostCommandRecord, execute) == 144, "record layout");
static_assert(offsetof(HostCommandRecord, query_state) == 152, "record layout");
static_assert(offsetof(HostCommandRecord, restore_dialog) == 160, "record layout");
static_assert(offsetof(HostCommandRecord, reserved_168) == 168, "record layout");
static_assert(offsetof(HostCommandRecord, query_text) == 176, "record layout");
static_assert(offsetof(HostCommandRecord, op5) == 184, "record layout");
static_assert(offsetof(HostCommandRecord, op2) == 192, "record layout");
static_assert(offsetof(HostCommandRecord, op8) == 200, "record layout");
static_assert(offsetof(HostCommandRecord, op3) == 208, "record layout");

/* Append only; never reorder. Main thread only. */
typedef struct HostPluginTable {
  int32_t size;
  /* The host copies the record and, on success, owns the object from then on (it destroys it through
   * the record's destroy). False when the id is taken or the record is malformed; the object stays the
   * caller's. */
  bool (*register_plugin)(int32_t api_version, int32_t type, int32_t id, const HostString* name,
                          const void* record, int32_t record_size);
  /* the caller frees it with resource_free; null when it cannot be opened */
  HostResource* (*resource_open)(const HostFilename* folder);
  void (*resource_free)(HostResource* res);
} HostPluginTable;

#ifdef __cplusplus
}
#endif
