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

/* Error classes of the core framework's error objects. */
enum {
  NEXAL_ERROR_IO = 1,
  NEXAL_ERROR_ILLEGAL_ARGUMENT = 2,
  NEXAL_ERROR_OUT_OF_MEMORY = 3,
  NEXAL_ERROR_UNSUPPORTED = 4,
  NEXAL_ERROR_NULL_POINTER = 5,
  NEXAL_ERROR_ILLEGAL_STATE = 6
};

/* What a failing core call answers (null means success). The caller owns it and gives it back with
 * its own release, once. */
typedef struct NexalError {
  int32_t error_class; /* NEXAL_ERROR_ */
  /* UTF-8, zero-terminated, one line without line end; names what failed and why, e.g.
   * "/x/a.h: No such file or directory"; lives as long as the object */
  const char* message;
  void (*release)(struct NexalError* error);
} NexalError;

/* "nexal.IoASCIIParserInterface#1": the text tokenizer. It reads one file as a stream of tokens and
 * leaves every interpretation (comments, directives) to the caller.
 *
 * Tokens, in the order they stand in the file:
 * - NEXAL_TOKEN_LINE_END for every line break ("\n", "\r\n" or "\r"); its text is empty. A
 *   backslash directly before a line break joins the two lines: neither gives a token.
 * - NEXAL_TOKEN_WORD: a letter, "_" or a byte of 0x80 and above, followed by any of these and digits.
 * - NEXAL_TOKEN_NUMBER: a digit, or "." and a digit, followed by letters, digits, "_", "." and a sign
 *   right after e, E, p or P (C's preprocessing number: 0x1Fu, 1.5f, 1e-3).
 * - NEXAL_TOKEN_CHARACTER and NEXAL_TOKEN_STRING: from the quote to the closing quote, backslash
 *   escapes kept as written and quotes included; an unclosed one ends before the line break.
 * - "/", "*" and "#" are always tokens of their own (so "/" "*" opens a block comment for the caller),
 *   as are "{", "}", "(", ")", "[", "]", ",", ";" and ":" ("::" is an operator).
 * - "=" alone is NEXAL_TOKEN_ASSIGN; "==" and every other C operator, longest first, is
 *   NEXAL_TOKEN_OPERATOR with its text ("<<", "->", "|", "~"). Any other byte is NEXAL_TOKEN_OTHER.
 * - NEXAL_TOKEN_END at the end of the file, with empty text, and again at every later call.
 * A token's separated flag is 1 when white space or a line break stands between it and the token
 * before; the first token of a file counts as separated. White space is blanks, tabs, form feeds
 * and vertical tabs. Bytes are read as they are; a zero byte is white space. */
enum {
  NEXAL_TOKEN_END = 1,
  NEXAL_TOKEN_WORD = 2,
  NEXAL_TOKEN_NUMBER = 3,
  NEXAL_TOKEN_STRING = 4,
  NEXAL_TOKEN_CHARACTER = 5,
  NEXAL_TOKEN_LINE_END = 6,
  NEXAL_TOKEN_BRACE_OPEN = 7,
  NEXAL_TOKEN_BRACE_CLOSE = 8,
  NEXAL_TOKEN_PAREN_OPEN = 9,
  NEXAL_TOKEN_PAREN_CLOSE = 10,
  NEXAL_TOKEN_BRACKET_OPEN = 11,
  NEXAL_TOKEN_BRACKET_CLOSE = 12,
  NEXAL_TOKEN_SLASH = 13,
  NEXAL_TOKEN_ASSIGN = 14,
  NEXAL_TOKEN_COMMA = 15,
  NEXAL_TOKEN_SEMICOLON = 16,
  NEXAL_TOKEN_COLON = 17,
  NEXAL_TOKEN_OPERATOR = 18,
  NEXAL_TOKEN_HASH = 20,
  NEXAL_TOKEN_STAR = 21,
  NEXAL_TOKEN_OTHER = 22
};

typedef struct NexalTextParser NexalTextParser; /* the host's; opaque */

typedef struct NexalToken {
  int32_t kind;      /* NEXAL_TOKEN_ */
  int32_t separated; /* 1 when white space or a line break stands before it */
  int32_t line;      /* where it begins, from 1 */
  int32_t column;    /* in bytes, from 1 */
  const char* text;  /* zero-terminated; the parser's, valid until its next call */
  int32_t length;    /* bytes of text */
} NexalToken;

typedef struct NexalTextParserInterface {
  /* a parser with no file open; null when out of memory. The location is kept while it lives. */
  NexalTextParser* (*create)(const NexalSourceLocation* where);
  void (*destroy)(NexalTextParser* parser); /* closes the file; null is ignored */
  /* Opens the file for reading. url: "file://" and the path, every byte other than letters, digits,
   * "/", "-", ".", "_" and "~" written as "%" and two hex digits; the host decodes them. */
  NexalError* (*open)(NexalTextParser* parser, const char* url);
  /* The next token into *token; a read error answers an error and no token. */
  NexalError* (*next)(NexalTextParser* parser, NexalToken* token);
  /* 1 when the text of the last token read equals text byte for byte, else 0 */
  int32_t (*compare)(const NexalTextParser* parser, const char* text);
  /* Passes over the rest of the current line: the next token is that line's NEXAL_TOKEN_LINE_END (or
   * the end of the file). Joined lines count as one line. */
  NexalError* (*skip_line)(NexalTextParser* parser);
} NexalTextParserInterface;

#define NEXAL_TEXT_PARSER_ID "nexal.IoASCIIParserInterface#1"
#define NEXAL_TEXT_PARSER_METHODS 6

/* ---- URLs, I/O handlers, streams, metadata ------------------------------------------------------
 *
 * A URL is a text: "<scheme>://" and a scheme-specific rest. The host knows these forms:
 * - "file://" + the absolute path, every byte other than letters, digits, "/", "-", ".", "_" and "~"
 *   written as "%" and two hex digits ("file:///home/a%20b.txt"); "file://" alone is the root folder.
 * - "zip://" + the URL of an archive + "!/" + the escaped path of an entry inside it, folders without a
 *   closing "/" ("zip://file:///x/a.zip!/docs/readme.txt"); "zip://<archive>!/" is the archive's top
 *   level. The last "!/" separates, so archives inside archives nest.
 * - "handler://": the list of the host's I/O handlers, one entry "<scheme>://" per scheme it serves.
 * Any other text stays as it is; the calls that need a handler then answer an error naming the URL. */

/* A text the host made for the caller, zero-terminated UTF-8 (length without the zero); the caller
 * gives it back with its release, once. */
typedef struct NexalText {
  const char* text;
  int64_t length;
  void (*release)(struct NexalText* text);
} NexalText;

/* A calendar time of the local time zone; all zero when unknown. */
typedef struct NexalDateTime {
  int32_t year;
  uint8_t month, day, hour, minute, second, reserved;
} NexalDateTime;

/* attribute bits of a listed entry */
enum {
  NEXAL_IO_FOLDER = 1,
  NEXAL_IO_BUNDLE = 2,
  NEXAL_IO_READ_ONLY = 4,
  NEXAL_IO_HIDDEN = 8, /* zorhost: names starting with "." */
  NEXAL_IO_REVISION = 16,
  NEXAL_IO_DELETED = 128
};

/* Objects the host hands out carry their methods: the first field of every object is its interface. The
 * host resolves each interface reference ("nexal.IoBrowseInterface#1", ...) to the table its objects
 * carry, so a module that finds the reference resolved knows it may call them. */
typedef struct NexalIoBrowse NexalIoBrowse;
typedef struct NexalInputStream NexalInputStream;
typedef struct NexalExif NexalExif;
typedef struct NexalDictionary NexalDictionary;

/* "nexal.IoBrowseInterface#1": one level of a location's entries, in the order the handler gives. It
 * starts on the first entry (has_entry answers 0 for an empty location). Texts answered by the
 * iterator live until its next call of next or release. */
typedef struct NexalIoBrowseInterface {
  int32_t (*has_entry)(const NexalIoBrowse* browse); /* 1 while there is a current entry */
  NexalError* (*next)(NexalIoBrowse* browse);
  const char* (*url)(const NexalIoBrowse* browse);       /* the entry's full URL */
  const char* (*alternate)(const NexalIoBrowse* browse); /* a second text, "" when it has none */
  uint32_t (*attributes)(const NexalIoBrowse* browse);   /* NEXAL_IO_ bits */
  int64_t (*size)(const NexalIoBrowse* browse);          /* bytes; -1 for folders and unknown */
  NexalError* (*modified)(const NexalIoBrowse* browse, NexalDateTime* time);
  /* a handler or file system that keeps no creation time answers an unsupported error */
  NexalError* (*created)(const NexalIoBrowse* browse, NexalDateTime* time);
  void (*release)(NexalIoBrowse* browse); /* null is ignored */
} NexalIoBrowseInterface;

struct NexalIoBrowse {
  const NexalIoBrowseInterface* methods;
};

/* "nexal.InputStreamInterface#1": bytes of one URL from the start, read once. */
typedef struct NexalInputStreamInterface {
  NexalError* (*length)(NexalInputStream* stream, int64_t* length);
  /* bytes a read can deliver now without waiting; 0 at the end */
  NexalError* (*available)(NexalInputStream* stream, int64_t* count);
  /* Reads count bytes into into. Fewer than count is an I/O error "The requested number of bytes could
   * not be read (N of M)." (N read, M asked); the N bytes are in into and the stream is at its end. */
  NexalError* (*read)(NexalInputStream* stream, void* into, int64_t count);
  void (*close)(NexalInputStream* stream); /* closes and releases; null is ignored */
} NexalInputStreamInterface;

struct NexalInputStream {
  const NexalInputStreamInterface* methods;
};

/* A key-value dictionary of metadata, in the order the reader found the values. */
typedef struct NexalDictionaryInterface {
  int32_t (*count)(const NexalDictionary* dictionary);
  const char* (*key)(const NexalDictionary* dictionary, int32_t index);   /* null past the end */
  const char* (*value)(const NexalDictionary* dictionary, int32_t index); /* as text */
  /* one line "key: value" per entry, joined with "\n", no line end after the last */
  NexalText* (*text)(const NexalDictionary* dictionary);
  void (*release)(NexalDictionary* dictionary); /* null is ignored */
} NexalDictionaryInterface;

struct NexalDictionary {
  const NexalDictionaryInterface* methods;
};

/* "nexal.ExifInterface#1": the Exif block of one image file, read when the reader is made. Keys are
 * "<IFD> <tag name>" ("Image Make", "EXIF DateTimeOriginal"); values as the tag's text. */
typedef struct NexalExifInterface {
  /* the metadata as a new dictionary the caller releases; an image without Exif data answers an
   * unsupported error */
  NexalError* (*metadata)(const NexalExif* exif, NexalDictionary** dictionary);
  void (*release)(NexalExif* exif); /* null is ignored */
} NexalExifInterface;

struct NexalExif {
  const NexalExifInterface* methods;
};

/* "nexal.ErrorInterface#1": what the module may ask of any error object beyond its fields. */
typedef struct NexalErrorInterface {
  /* "I/O error", "illegal argument", "out of memory", "unsupported", "null pointer", "illegal state",
   * "error" for a class it does not know; static text */
  const char* (*class_name)(int32_t error_class);
  NexalError* (*make)(int32_t error_class, const char* message); /* released like any error */
} NexalErrorInterface;

/* "nexal.UrlInterface#1": URLs as texts and what the host's I/O handlers do with them. Every call
 * that makes a text answers null only when out of memory (or when a URL argument is null). */
typedef struct NexalUrlInterface {
  /* making URLs */
  NexalText* (*from_path)(const char* path); /* "file://" + escaped path; relative paths made absolute */
  NexalText* (*parse)(const char* text);     /* the host's form of any text (below) */
  NexalText* (*handlers)(void);              /* "handler://" */
  NexalText* (*wrap)(const char* scheme, const char* inner);     /* "zip" around an archive URL */
  NexalText* (*append)(const char* url, const char* name);       /* one level down; name escaped */
  NexalText* (*set_suffix)(const char* url, const char* suffix); /* replaces or adds ".suffix" */
  /* parts; "" when the URL has none */
  NexalText* (*scheme)(const char* url); /* lower case, without "://" */
  NexalText* (*path)(const char* url);   /* decoded: the file path, the path inside the archive */
  NexalText* (*name)(const char* url);   /* decoded last segment; a scheme root's name is its scheme */
  NexalText* (*suffix)(const char* url); /* of the name, without the dot */
  NexalText* (*inner)(const char* url);  /* the wrapped URL of a "zip" URL */
  NexalText* (*directory)(
      const char* url); /* the URL without its last segment (for the top level: the URL) */
  /* 1 and *parent when url has a parent. The top of a "zip" archive's parent is the folder that holds
   * the archive; the root folder, a scheme root and "handler://" have none (0). */
  int32_t (*parent)(const char* url, NexalText** parent);
  int32_t (*is_root)(const char* url);            /* 1 for "file:///", "<scheme>://", the top of an archive */
  int32_t (*equal)(const char* a, const char* b); /* 1 when both are the same location */
  int32_t (*compare)(const char* a, const char* b); /* < 0, 0, > 0; text order of the host's forms */
  int32_t (*has_handler)(const char* scheme);       /* 1 when the host serves the scheme */
  /* The file system path of a "file" URL; an error for other schemes. */
  NexalError* (*system_path)(const char* url, NexalText** path);
  /* listing and reading; the caller releases what it gets */
  NexalError* (*browse)(const char* url, int32_t flags, NexalIoBrowse** browse); /* flags: 0 */
  NexalError* (*open_input)(const char* url, NexalInputStream** stream);
  /* one location's own properties, as a listing of its folder would give them */
  NexalError* (*exists)(const char* url, int32_t* exists); /* 0 none, 1 file, 2 folder */
  NexalError* (*attributes)(const char* url, uint32_t* attributes);
  NexalError* (*size)(const char* url, int64_t* size);
  NexalError* (*modified)(const char* url, NexalDateTime* time);
  NexalError* (*created)(const char* url, NexalDateTime* time);
  /* Texts in the host's orders, < 0, 0, > 0. mode 0: code points; 1: ASCII letters without case, then
   * code points; 4: names as a person reads them (see the host's notes: letters without case, digit
   * runs by value, then code points as the tie-break). Other modes compare as 0. */
  int32_t (*compare_text)(const char* a, int64_t a_length, const char* b, int64_t b_length, int32_t mode);
  /* the Exif reader for an image at url; an error when it cannot be read */
  NexalError* (*exif_open)(const char* url, NexalExif** exif);
  /* text escaping as the URL forms use it */
  NexalText* (*escape)(const char* text, int64_t length);   /* %XX for reserved bytes, "/" kept */
  NexalText* (*unescape)(const char* text, int64_t length); /* %XX decoded; a bad escape stays as it is */
  /* the whole content of a URL into a new text (binary-safe: length counts); at most limit bytes, else
   * an I/O error */
  NexalError* (*read_all)(const char* url, int64_t limit, NexalText** content);
  /* the top of the URL's tree: "file:///", the top level of its archive, "<scheme>://" */
  NexalText* (*root)(const char* url);
  /* "YYYY-MM-DD hh:mm:ss" of a time, "" when all zero */
  NexalText* (*format_time)(const NexalDateTime* time);
  int32_t (*compare_time)(const NexalDateTime* a, const NexalDateTime* b); /* < 0, 0, > 0 */
  /* the local time now */
  void (*now)(NexalDateTime* time);
  /* the URL for people: escapes decoded (a "file" URL shows its path) */
  NexalText* (*display)(const char* url);
} NexalUrlInterface;

#define NEXAL_URL_ID "nexal.UrlInterface#1"
#define NEXAL_URL_METHODS 35
#define NEXAL_IO_BROWSE_ID "nexal.IoBrowseInterface#1"
#define NEXAL_INPUT_STREAM_ID "nexal.InputStreamInterface#1"
#define NEXAL_ERROR_INTERFACE_ID "nexal.ErrorInterface#1"
#define NEXAL_EXIF_ID "nexal.ExifInterface#1"

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
static_assert(offsetof(NexalError, message) == 8 && offsetof(NexalError, release) == 16 &&
                  sizeof(NexalError) == 24,
              "NexalError layout");
static_assert(offsetof(NexalToken, text) == 16 && offsetof(NexalToken, length) == 24 &&
                  sizeof(NexalToken) == 32,
              "NexalToken layout");

static_assert(sizeof(NexalUrlInterface) == NEXAL_URL_METHODS * sizeof(void*),
              "the URL interface's method count");
static_assert(offsetof(NexalText, length) == 8 && offsetof(NexalText, release) == 16 &&
                  sizeof(NexalText) == 24,
              "NexalText layout");
static_assert(offsetof(NexalDateTime, month) == 4 && sizeof(NexalDateTime) == 12, "NexalDateTime layout");

static inline uint64_t NexalIdHash(const char* id) {
  uint64_t h = 0, length = 0;
  for (const unsigned char* p = (const unsigned char*)id; *p; ++p, ++length) h = h * 31u + *p;
  return (length << 52) + (h & ((1ull << 51) - 1));
}

#ifdef __cplusplus
}
#endif
