/* The core framework's module records: the module declares the interfaces it uses by id, and the host
 * resolves each reference at load by writing a pointer to its implementation's function table. This
 * byte layout is read by the host; it is declared once, here. */
#pragma once
#include <assert.h> /* static_assert in C as in C++ */
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  NEXAL_REF_STATIC_INTERFACE = 0, /* a table of functions with a method count */
  NEXAL_REF_INTERFACE = 1,        /* methods an object carries */
  NEXAL_REF_OBJECT_CLASS = 2,
  NEXAL_REF_DATA_TYPE = 3
};

/* hash over the bytes h = h * 31 + byte, stored as (length << 52) + (h & (2^51 - 1));
 * bit 51 marks a shared, reference-counted text */
#define NEXAL_ID_SHARED_BIT (1ull << 51)

typedef struct NexalReference {
  const char* id; /* "nexal.UrlInterface#1" */
  uint64_t id_hash;
  int32_t kind;
  int32_t method_count; /* for static interfaces: functions the module may call */
  const void* resolved; /* written by the host; null while unresolved */
} NexalReference;

/* configuration variable types (their meaning is the host's) and the states of an entry */
enum {
  NEXAL_CONFIG_BOOL = 1,          /* storage: one byte */
  NEXAL_CONFIG_MODULE_SWITCH = 5, /* storage: one byte */
  NEXAL_CONFIG_STATE_REGISTERED = 0,
  NEXAL_CONFIG_STATE_TEXT = 3,       /* storage holds a reference-counted text the host put there */
  NEXAL_CONFIG_STATE_SHARED_TEXT = 4 /* the same */
};

/* The output mask that both output paths start with: all three levels on, bit 29 set while the mask is
 * still the initial one. A host without an opinion of its own answers it too. */
#define NEXAL_OUTPUT_MASK_INITIAL 0x20000007u

/* a configuration variable as the host's configuration sees it */
typedef struct NexalConfigEntry {
  const char* name;
  const char* help;
  int32_t type;  /* NEXAL_CONFIG_ */
  void* storage; /* the module's; one byte for the bool types */
  int32_t state; /* NEXAL_CONFIG_STATE_ */
} NexalConfigEntry;

struct NexalModuleRecord;

/* Written by the host into every record: resolves a reference that was left unresolved at load. */
typedef struct NexalInitializer {
  int32_t (*resolve)(NexalReference* reference); /* 1 when resolved */
} NexalInitializer;

typedef struct NexalModuleRecord {
  struct NexalModuleRecord* previous;
  const char* id; /* "net.nexal.zor.relkit" */
  uint64_t id_hash;
  NexalReference* references;
  int32_t reference_count;
  /* starts the module's framework components (".configuration" hands its variables to the host);
   * the host calls it after resolving the references, before the start action */
  int32_t (*start_components)(void);
  /* releases what the components hold; called after the end action */
  void (*end_components)(void);
  const NexalInitializer* initializer; /* written by the host */
} NexalModuleRecord;

/* The location record passed with every core allocation. */
typedef struct NexalSourceLocation {
  const char* file;
  int32_t line;
} NexalSourceLocation;

/* "nexal.System#1": memory, output and configuration. */
typedef struct NexalSystemInterface {
  void* (*alloc)(int64_t size, const NexalSourceLocation* where); /* zero-filled */
  void (*free)(void* block);
  void (*output)(const char* line);
  uint32_t (*output_mask)(void);
  /* the host may set each storage from its own configuration */
  void (*register_config)(NexalConfigEntry* entries, int32_t count);
  void (*release_text)(void* text); /* for entries in state 3 or 4 */
} NexalSystemInterface;

#define NEXAL_SYSTEM_ID "nexal.System#1"
#define NEXAL_SYSTEM_METHODS 6

/* The host reads these records byte by byte; their layout must not drift. */
static_assert(offsetof(NexalReference, id) == 0 && offsetof(NexalReference, id_hash) == 8 &&
                  offsetof(NexalReference, kind) == 16 && offsetof(NexalReference, method_count) == 20 &&
                  offsetof(NexalReference, resolved) == 24 && sizeof(NexalReference) == 32,
              "NexalReference layout");
static_assert(offsetof(NexalModuleRecord, previous) == 0 && offsetof(NexalModuleRecord, id) == 8 &&
                  offsetof(NexalModuleRecord, id_hash) == 16 &&
                  offsetof(NexalModuleRecord, references) == 24 &&
                  offsetof(NexalModuleRecord, reference_count) == 32 &&
                  offsetof(NexalModuleRecord, start_components) == 40 &&
                  offsetof(NexalModuleRecord, end_components) == 48 &&
                  offsetof(NexalModuleRecord, initializer) == 56 && sizeof(NexalModuleRecord) == 64,
              "NexalModuleRecord layout");
static_assert(offsetof(NexalConfigEntry, name) == 0 && offsetof(NexalConfigEntry, help) == 8 &&
                  offsetof(NexalConfigEntry, type) == 16 && offsetof(NexalConfigEntry, storage) == 24 &&
                  offsetof(NexalConfigEntry, state) == 32 && sizeof(NexalConfigEntry) == 40,
              "NexalConfigEntry layout");
static_assert(offsetof(NexalSourceLocation, line) == 8 && sizeof(NexalSourceLocation) == 16,
              "NexalSourceLocation layout");

static inline uint64_t nexal_id_hash(const char* id) {
  uint64_t h = 0, length = 0;
  for (const unsigned char* p = (const unsigned char*)id; *p; ++p, ++length) h = h * 31u + *p;
  return (length << 52) + (h & ((1ull << 51) - 1));
}

#ifdef __cplusplus
}
#endif
