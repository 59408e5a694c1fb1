/* Threads family: host threads made from three callbacks, the global lock, the run mode. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_THREAD_ASYNC = 0, ZOR_THREAD_SYNC = 1 };
/* run-mode flag value: no user interface */
enum { ZOR_RUNMODE_NO_GUI = 2 };

typedef void (*HostThreadRun)(void* object);
typedef bool (*HostThreadExtraBreak)(void* object);
typedef const char* (*HostThreadName)(void* object);

typedef struct HostThreadTable {
  int32_t size;
  HostThread* (*alloc)(HostThreadRun run, HostThreadExtraBreak extra_break, HostThreadName name,
                       void* object);
  void (*free)(HostThread* t); /* ends and waits first when still running */
  /* ZOR_THREAD_SYNC runs the body to its end before answering */
  bool (*start)(HostThread* t, int32_t mode, int32_t priority);
  void (*end)(HostThread* t, bool wait);
  bool (*is_running)(HostThread* t);
  /* true once end was asked or the extra break test answers true */
  bool (*test_break)(HostThread* t);
  void (*lock)(void);
  void (*unlock)(void);
  int32_t (*run_mode_flags)(void);
  int32_t (*cpu_count)(void);
} HostThreadTable;

#ifdef __cplusplus
}
#endif
