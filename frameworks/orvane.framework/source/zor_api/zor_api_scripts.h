/* Scripts family: the scripting-language library, script collections, the expression evaluator.
 * Any thread, one evaluator at a time. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostScriptLibrary HostScriptLibrary;
typedef struct HostEvaluator HostEvaluator;

/* the scripting-language library as the host's library registry knows it */
enum { ZOR_SCRIPT_LIBRARY_ID = 1000477, ZOR_SCRIPT_LIBRARY_KIND = 17 };

/* The scripting-language library's function table. The library fills `size` with the bytes it
 * filled (both header fields included); a caller uses a slot only when the size covers it, and
 * treats a size below 8 as no table at all. Append only. */
typedef struct HostScriptLibraryTable {
  int32_t header; /* the library's own; callers do not read it */
  int32_t size;
  /* Compiles the script source into its compiled form at destination. An empty destination writes
   * beside the source, with the source's name and the suffix "tpb". On a syntax error the library
   * prints each error as "file:line:column: text" on standard error, writes nothing (an existing
   * destination is left as it was) and answers 0; success answers non-zero. */
  int32_t (*compile)(const HostFilename* source, const HostFilename* destination);
} HostScriptLibraryTable;

/* Error bits of the expression evaluator (several may be set). */
enum {
  ZOR_EVAL_OK = 0,
  ZOR_EVAL_SYNTAX = 1,   /* not an expression: a stray token, unbalanced brackets, a bad number */
  ZOR_EVAL_UNKNOWN = 2,  /* a name where a number must stand (the caller may put a value in its place) */
  ZOR_EVAL_DIVISION = 4, /* division or remainder by zero */
  /* Integer mode: the expression was evaluated (in 64 bits), but its result fits 32 bits neither as
   * a signed nor as an unsigned number; *value holds its low 32 bits, as C converts such a constant,
   * and the call answers false. A caller that accepts a cut value tests this bit. Floating mode never
   * sets it. */
  ZOR_EVAL_WRAPPED = 8,
  ZOR_EVAL_EMPTY = 16 /* nothing but white space */
};

/* One script of a script collection: its identifier (the name it is registered under), its data
 * container (per-language name and help texts among other values) and its source. Items belong to
 * their collection and live as long as the host; a module never frees one. */
typedef struct HostScriptItem HostScriptItem;

/* the script collections: 0 the user's scripts, 1 the scripts that come with the application */
enum { ZOR_SCRIPT_COLLECTION_USER = 0, ZOR_SCRIPT_COLLECTION_APPLICATION = 1 };
/* file identifier of a script written back to its file (item_write) */
enum { ZOR_SCRIPT_FILE_ID = ZOR_FOUR_BYTE('s', 'c', 'r', 'p') };

/* Append only; never reorder. */
typedef struct HostScriptTable {
  int32_t size;

  /* The library registered under this id and plug-in kind; borrowed, it lives as long as the host.
   * Null when the host has none. */
  HostScriptLibrary* (*library_find)(int32_t id, int32_t kind);
  /* The library's function table; borrowed, it lives as long as the library. Null when none. */
  const HostScriptLibraryTable* (*library_table)(const HostScriptLibrary* library);

  /* The expression evaluator: C integer constant expressions. Numbers in decimal, hexadecimal (0x)
   * and octal (leading 0), with the suffixes u, l, ul, ll, ull in any case; character constants 'a'
   * and escapes such as '\n', also without the closing quote ('a); brackets; unary + - ~ !; binary
   * * / % + - << >> < <= > >= == != & ^ | && || with C's precedence and associativity. White space
   * anywhere between tokens. Floating mode also takes numbers with a fraction or an exponent (1.5,
   * 2e3, 1.5f) and computes in double; % and the bit operators then work on the integer parts. */
  HostEvaluator* (*evaluator_alloc)(void); /* the caller frees it with evaluator_free */
  void (*evaluator_free)(HostEvaluator* evaluator);
  /* options 0 (plain C syntax), radix 10 (radix of numbers without a prefix); *error gets ZOR_EVAL_
   * bits, 0 on success. Answers true on success. */
  bool (*evaluate_int)(HostEvaluator* evaluator, const HostString* text, int32_t options, int32_t radix,
                       int32_t* value, int32_t* error);
  /* options 0, unit 0 (plain numbers), radix 10 */
  bool (*evaluate_float)(HostEvaluator* evaluator, const HostString* text, int32_t options, int32_t unit,
                         int32_t radix, double* value, int32_t* error);

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
