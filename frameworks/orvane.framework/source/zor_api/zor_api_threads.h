/* Threads family: host threads made from three callbacks, the global lock, the run mode. Any thread. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_THREAD_ASYNC = 0, ZOR_THREAD_SYNC = 1 };
/* run-mode flag value: no user interface */
enum { ZOR_RUNMODE_NO_GUI = 2 };

/* The thread's body, on the new thread (or the caller's, with ZOR_THREAD_SYNC). */
typedef void (*HostThreadRun)(void* object);
/* Asked by test_break, from whichever thread tests (a renderer's helper threads too), one call at a
 * time. */
typedef bool (*HostThreadExtraBreak)(void* object);
/* The text stays the module's and must live as long as the thread. */
typedef const char* (*HostThreadName)(void* object);

/* Append only; never reorder. */
typedef struct HostThreadTable {
  int32_t size;
  /* the caller frees it; object stays the caller's and must outlive the thread */
  HostThread* (*alloc)(HostThreadRun run, HostThreadExtraBreak extra_break, HostThreadName name,
                       void* object);
  void (*free)(HostThread* t); /* ends and waits first when still running */
  /* ZOR_THREAD_SYNC runs the body to its end before answering */
  bool (*start)(HostThread* t, int32_t mode, int32_t priority);
  void (*end)(HostThread* t, bool wait);
  bool (*is_running)(HostThread* t);
  /* true once end was asked or the extra break test answers true; true also when it cannot tell */
  bool (*test_break)(HostThread* t);
  /* the one global lock, shared by the host and every module; it may be taken again by its holder */
  void (*lock)(void);
  void (*unlock)(void);
  int32_t (*run_mode_flags)(void);
  int32_t (*cpu_count)(void); /* at least 1 */
} HostThreadTable;

#ifdef __cplusplus
}
#endif
