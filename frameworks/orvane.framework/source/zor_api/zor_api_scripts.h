/* Scripts family: the scripting-language library, script collections, the expression evaluator.
 * The operations arrive with the tools that use them (distribution builder, script strings). */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One script of a script collection: its identifier (the name it is registered under), its data
 * container (per-language name and help texts among other values) and its source. Items belong to
 * their collection and live as long as the host; a module never frees one. */
typedef struct HostScriptItem HostScriptItem;

/* the script collections: 0 the user's scripts, 1 the scripts that come with the application */
enum { ZOR_SCRIPT_COLLECTION_USER = 0, ZOR_SCRIPT_COLLECTION_APPLICATION = 1 };
/* file identifier of a script written back to its file (item_write) */
enum { ZOR_SCRIPT_FILE_ID = ZOR_FOURCC('s', 'c', 'r', 'p') };

/* Append only; never reorder. */
typedef struct HostScriptTable {
  int32_t size;

  /* Script collections, main thread only. Items are borrowed and listed in the collection's own order
   * (the order the host loaded them in); the list does not change while a command runs. */
  HostScriptItem* (*collection_first)(int32_t collection);        /* null when empty or no such collection */
  HostScriptItem* (*collection_next)(const HostScriptItem* item); /* null after the last */
  void (*item_identifier)(const HostScriptItem* item, HostString* out);
  /* borrowed from the item and changed in place: what a module stores there is what the host saves;
     null when the item has no data container */
  HostContainer* (*item_data)(HostScriptItem* item);
  /* Writes the item (identifier, data container, source) into the file name, replacing a file that is
   * there; file_id is ZOR_SCRIPT_FILE_ID; doc may be null. A later start of the host loads what was
   * written. False when the file could not be written (the host says why on its own output). */
  bool (*item_write)(HostScriptItem* item, const HostFilename* name, int32_t file_id, HostDocument* doc);
} HostScriptTable;

#ifdef __cplusplus
}
#endif
