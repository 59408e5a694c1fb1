/* Paths and files family: file names, the file system, folder listings and byte files. Any thread,
 * one file name, listing or file object at a time. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_EXISTS_FILE = 0, ZOR_EXISTS_FOLDER = 1 };
enum { ZOR_DELETE_FORCE = 4 };
/* what identify answers: a scene the host loads (a .zor scene is recognised from its bytes), an image its
 * bitmaps decode (PNG, JPEG, TIFF, from the bytes), an image by its name only (no probe given) */
enum { ZOR_IDENTIFY_SCENE = 1, ZOR_IDENTIFY_IMAGE = 2, ZOR_IDENTIFY_IMAGE_BY_NAME = 4 };
enum { ZOR_FILE_READ = 1, ZOR_FILE_WRITE = 2, ZOR_FILE_READWRITE = 3, ZOR_FILE_APPEND = 4 };
/* byte order of a byte file's numbers (file_open); bytes themselves are written as given */
enum { ZOR_BYTEORDER_NATIVE = 0, ZOR_BYTEORDER_MOTOROLA = 1, ZOR_BYTEORDER_INTEL = 2 };
/* folder ids for folder_by_id. LIBRARY holds the "scripts" folder of script collection 0 (zorhost: the
 * prefs folder); SHARED_LIBRARY holds a "scripts" folder shared by all users (zorhost decides where). */
enum {
  ZOR_FOLDER_STARTUP = 0,
  ZOR_FOLDER_PREFS = 1,
  ZOR_FOLDER_TEMP = 2,
  ZOR_FOLDER_LIBRARY = 3,
  ZOR_FOLDER_SHARED_LIBRARY = 4,
  ZOR_FOLDER_HOME = 5
};

/* Append only; never reorder. Operations with an "out" argument write into an object the caller
 * owns; none of them hands ownership over unless it says so. */
typedef struct HostFileTable {
  int32_t size;

  /* file names */
  HostFilename* (*fn_alloc)(void); /* empty; the caller frees it with fn_free */
  void (*fn_free)(HostFilename* f);
  HostFilename* (*fn_copy)(const HostFilename* f); /* the caller frees it with fn_free */
  void (*fn_assign)(HostFilename* dst, const HostFilename* src);
  void (*fn_set_string)(HostFilename* f, const HostString* path);
  void (*fn_get_string)(const HostFilename* f, HostString* out);
  /* dst := base / name; dst may be base */
  void (*fn_join)(HostFilename* dst, const HostFilename* base, const HostFilename* name);
  void (*fn_directory)(const HostFilename* f, HostFilename* out); /* folder part */
  void (*fn_file)(const HostFilename* f, HostFilename* out);      /* file part */
  /* suffix without the dot, ASCII letters compared without case */
  bool (*fn_check_suffix)(const HostFilename* f, const char* suffix);
  void (*fn_set_suffix)(HostFilename* f, const char* suffix);
  bool (*fn_equal)(const HostFilename* a, const HostFilename* b);
  bool (*fn_is_empty)(const HostFilename* f); /* true for null */

  /* file system; false is a failure that the caller reports */
  bool (*exists)(const HostFilename* f, int32_t kind);
  bool (*create_folder)(const HostFilename* f);
  bool (*delete_file)(const HostFilename* f, int32_t flags);
  void (*startup_folder)(HostFilename* out);
  bool (*folder_by_id)(int32_t id, HostFilename* out);

  /* folder listing, in the order the file system gives */
  HostBrowse* (*browse_open)(const HostFilename* folder, int32_t flags); /* caller frees: browse_free */
  bool (*browse_next)(HostBrowse* b);                                    /* false after the last entry */
  void (*browse_name)(const HostBrowse* b, HostFilename* out);
  bool (*browse_is_folder)(const HostBrowse* b);
  int64_t (*browse_size)(const HostBrowse* b); /* 0 before the first entry */
  int64_t (*browse_time)(const HostBrowse* b); /* seconds since 1970; 0 before the first entry */
  void (*browse_free)(HostBrowse* b);

  /* byte files */
  HostFile* (*file_alloc)(void); /* the caller frees it with file_free, which closes it first */
  void (*file_free)(HostFile* file);
  bool (*file_open)(HostFile* file, const HostFilename* name, int32_t mode, int32_t error_dialog,
                    int32_t byte_order, uint32_t type, uint32_t creator);
  bool (*file_close)(HostFile* file); /* false when none was open or the written bytes could not be flushed */
  int64_t (*file_length)(HostFile* file);   /* -1 when not open */
  int64_t (*file_position)(HostFile* file); /* -1 when not open */
  bool (*file_seek)(HostFile* file, int64_t position);
  /* false when fewer than length bytes could be read */
  bool (*file_read)(HostFile* file, void* buffer, int64_t length);
  bool (*file_write)(HostFile* file, const void* buffer, int64_t length);

  /* the current entry is a symbolic link; browse_is_folder tells what it points to */
  bool (*browse_is_link)(const HostBrowse* b);
  /* device and file number of a folder, links followed: two paths of one folder answer the same;
     false when the folder cannot be reached */
  bool (*folder_identity)(const HostFilename* folder, uint64_t* device, uint64_t* inode);

  /* The host's comparison of two file names as texts, the way its file system matches names (zorhost:
     ASCII letters without case, everything else by code point); < 0, 0, > 0. Null reads as empty. */
  int32_t (*fn_compare)(const HostFilename* a, const HostFilename* b);

  /* Makes f a name that reads from size bytes at data instead of a file: the bitmaps family's init_with
     and recognises read them. The block stays the caller's and must live as long as f (or a copy of it)
     names it; setting a path (fn_set_string) ends it. */
  void (*fn_set_memory_read)(HostFilename* f, const void* data, int64_t size);
  /* What the host takes a file to be, from its name and the first probe_size bytes (probe may be null
     when probe_size is 0: then the name's suffix decides). Answers the ZOR_IDENTIFY_ bits of flags that
     apply. */
  int32_t (*identify)(const HostFilename* name, const void* probe, int32_t probe_size, int32_t flags);
  /* Whether the probe is a file of an identification class: ZOR_IDENTIFY_SCENE or ZOR_IDENTIFY_IMAGE. */
  bool (*identify_class)(const HostFilename* name, const void* probe, int32_t probe_size,
                         int32_t identification_class);
  /* The host's second test: a file it can open itself (a scene or an image), read from the name: a
     path, a URL text of its core framework ("file://", "zip://") or a memory name. */
  bool (*recognises)(const HostFilename* name);

  /* An advisory lock on a file of the file system, made empty when missing and left in place: held until
     lock_free, or until the process ends in any way (a crash or a kill releases it too). Processes that
     take it through this operation exclude each other; it keeps nobody from reading or writing. Null
     when it is not held: *busy (may be null) is then true when another holder has it, false when it
     could not be taken (the file cannot be made, or the file system has no such locks). */
  HostFileLock* (*lock_take)(const HostFilename* name, bool* busy);
  void (*lock_free)(HostFileLock* lock); /* releases the lock; null is ignored */
} HostFileTable;

#ifdef __cplusplus
}
#endif
