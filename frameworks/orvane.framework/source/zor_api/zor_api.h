/* The host function table: the only way the module reaches the host. The host answers its API
 * version in the first 32-bit word; each family is a table of its own with a size field. */
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

enum { ZOR_HOST_API_VERSION = 16050, ZOR_HOST_API_MINIMUM = 16000 };

/* zor_main actions */
enum {
  ZOR_ACTION_BIND = 1,
  ZOR_ACTION_START = 2,
  ZOR_ACTION_END = 3,
  ZOR_ACTION_QUERY = 4,
  ZOR_ACTION_MESSAGE = 6
};
/* host messages (action ZOR_ACTION_MESSAGE, p1) */
enum { ZOR_HOSTMSG_QUERY = 0, ZOR_HOSTMSG_RESOURCES = 1, ZOR_HOSTMSG_COMMANDLINE = 1002 };

/* data of ZOR_HOSTMSG_COMMANDLINE; a module consumes an argument by setting it to null */
typedef struct HostArguments {
  int32_t count;
  char** arguments;
} HostArguments;

typedef struct HostFunctionTable {
  int32_t version;
  int32_t size;
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

/* p1, p2, p3 by action: bind: table, unused, module file name (HostFilename*);
 * message: message id (as an integer), data. */
typedef int32_t (*ZorMainFunction)(int32_t action, void* p1, void* p2, void* p3);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
extern "C" {
#endif
/* data of ZOR_HOSTMSG_RESOURCES: a block of at least six words whose sixth points to a host block of
 * at least thirteen words; the module clears the thirteenth before it opens its resources. */
typedef struct HostResourceMessage {
  void* words[6];
} HostResourceMessage;
#ifdef __cplusplus
}
#endif
