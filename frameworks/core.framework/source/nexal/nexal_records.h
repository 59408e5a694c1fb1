/* The core framework's module records: the module declares the interfaces it uses by id, and the host
 * resolves each reference at load by writing a pointer to its implementation's function table. This
 * byte layout is read by the host; it is declared once, here. */
#pragma once
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

/* a configuration variable as the host's configuration sees it */
typedef struct NexalConfigEntry {
  const char* name;
  const char* help;
  int32_t type;  /* 1 bool, 5 bool switch of a module; the host's meaning */
  void* storage; /* one byte for the bool types */
  int32_t state; /* 0 at registration; 3 and 4: storage holds a reference-counted text */
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

static inline uint64_t nexal_id_hash(const char* id) {
  uint64_t h = 0, length = 0;
  for (const unsigned char* p = (const unsigned char*)id; *p; ++p, ++length) h = h * 31u + *p;
  return (length << 52) + (h & ((1ull << 51) - 1));
}

#ifdef __cplusplus
}
#endif
