/* The host function table: the only way the module reaches the host. The host answers its API
 * version in the first 32-bit word and the bytes it filled in the second; each family is a table of
 * its own with a size field.
 *
 * Growth. Every table (this root and each family) is append only; never reorder, never remove: a slot
 * keeps its offset for good. A module built against a longer header than its host's tests each slot
 * against the table's size before it reads it, and treats a slot beyond the size, or a null slot, as
 * "the host cannot".
 *
 * Answers, one rule per kind:
 * - Handles (new or borrowed host objects): null on failure.
 * - Booleans: true for success or yes, false for failure or no. Exception: a thread's test_break
 *   answers true when it cannot tell, so that a worker stops rather than runs on unchecked.
 * - Reads with a default argument answer the default when the value is missing or of no usable type.
 * - Lengths, positions and indices: -1 on failure or when absent. Counts of what a valid object
 *   holds cannot fail; of a null object they are 0.
 * - Status codes: the family's own enum, named with the operation (ZOR_IMAGE_*: 1 success, negative
 *   failure; ZOR_RENDER_*: 0 success, positive failure). Both are given by the host's API.
 * - Operations that answer nothing do nothing with a null handle.
 * - A null handle argument is a failure answered as above, never a crash; a null object of the
 *   strings, file-name and container families reads as an empty object.
 * - Ownership: what a caller passes in stays the caller's (the host copies what it keeps, unless a
 *   slot says otherwise); objects that an operation makes ("alloc", "copy", "load", a "caller frees"
 *   note) belong to the caller, who frees them with the family's free; "borrowed" results belong to
 *   the object they came from and live as long as it.
 *
 * Threads: unless a slot says otherwise, an operation may be called from any thread, provided that
 * one host object is used by one thread at a time. The Renderator's worker thread calls the documents,
 * render and bitmaps families, the console, message boxes and the status bar, besides strings, file
 * names, files, containers, memory, the global lock and its own thread's break test. Dialogs, user
 * areas, selections, registration and resources belong to the main thread. */
#pragma once
#include "zor_api_bitmaps.h"
#include "zor_api_containers.h"
#include "zor_api_documents.h"
#include "zor_api_files.h"
#include "zor_api_general.h"
#include "zor_api_gui.h"
#include "zor_api_memory.h"
#include "zor_api_plugins.h"
#include "zor_api_render.h"
#include "zor_api_scripts.h"
#include "zor_api_strings.h"
#include "zor_api_threads.h"
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* zorhost answers ZOR_HOST_API_VERSION unless told otherwise; below the minimum a module refuses to bind */
enum { ZOR_HOST_API_VERSION = 16050, ZOR_HOST_API_MINIMUM = 16000 };

/* zor_main actions */
enum {
  ZOR_ACTION_BIND = 1,
  ZOR_ACTION_START = 2,
  ZOR_ACTION_END = 3,
  ZOR_ACTION_QUERY = 4,
  ZOR_ACTION_MESSAGE = 6
};
/* zor_main's answers */
enum {
  ZOR_MAIN_OK = 1,
  ZOR_MAIN_FAILED = 0,        /* start: a tool that had to register did not */
  ZOR_MAIN_NOT_HANDLED = -1,  /* an unknown action, a message the module does not claim */
  ZOR_MAIN_BIND_REFUSED = -3, /* bind: API version below ZOR_HOST_API_MINIMUM, or no module file name */
  ZOR_MAIN_QUERY_ANSWER = 5   /* ZOR_ACTION_QUERY; its meaning is the host's */
};
/* host messages (action ZOR_ACTION_MESSAGE, p1) */
enum { ZOR_HOSTMSG_QUERY = 0, ZOR_HOSTMSG_RESOURCES = 1, ZOR_HOSTMSG_COMMANDLINE = 1002 };
/* what a module writes into the integer that ZOR_HOSTMSG_QUERY's data points to */
enum { ZOR_HOSTMSG_QUERY_ANSWER = 10000 };

/* data of ZOR_HOSTMSG_COMMANDLINE; a module consumes an argument by setting it to null */
typedef struct HostArguments {
  int32_t count;
  char** arguments;
} HostArguments;

/* Append only; never reorder. Family pointers are null for a family the host does not offer. Read
 * from any thread once bound; it lives as long as the host. */
typedef struct HostFunctionTable {
  int32_t version;
  int32_t size; /* bytes of this table the host filled, this field included */
  const HostStringTable* strings;
  const HostMemoryTable* memory;
  const HostFileTable* files;
  const HostContainerTable* containers;
  const HostDocumentTable* documents;
  const HostRenderTable* render;
  const HostBitmapTable* bitmaps;
  const HostGuiTable* gui;
  const HostThreadTable* threads;
  const HostPluginTable* plugins;
  const HostScriptTable* scripts;
  const HostGeneralTable* general;
} HostFunctionTable;

/* p1, p2, p3 by action: bind: table (kept by the module for its life), unused, module file name
 * (HostFilename*, lent for the call); message: message id (as an integer), data (lent for the call).
 * Called on the main thread only. */
typedef int32_t (*ZorMainFunction)(int32_t action, void* p1, void* p2, void* p3);

/* data of ZOR_HOSTMSG_RESOURCES: a block of at least six words whose sixth points to a host block of
 * at least thirteen words; the module clears the thirteenth before it opens its resources. */
typedef struct HostResourceMessage {
  void* words[6];
} HostResourceMessage;
#ifdef __cplusplus
}
#endif
