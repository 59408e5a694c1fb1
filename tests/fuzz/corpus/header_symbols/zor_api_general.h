/* General family: debug text output, the timer, clean-up and interaction hooks. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { ZOR_CHECK_MARKER = 0xDEADBEEFu };

/* Append only; never reorder. */
typedef struct HostGeneralTable {
  int32_t size;
  /* the plug-in layer's diagnostics: text as it is, no line end added; any thread */
  void (*debug_output)(const char* text);
  int64_t (*timer_ms)(void); /* any thread */
  /* after a document was freed, on the thread that freed it */
  void (*cleanup)(void);
  /* after a dialog interaction ("inta"); main thread */
  void (*interaction_done)(void);
  /* A consistency check of the host's own state at a point the caller chooses (the crash checker calls
   * it around every load, render and save). marker must be ZOR_CHECK_MARKER; the host reports a wrong
   * one and what the check found on its error output. Any thread. */
  void (*check)(uint32_t marker);
} HostGeneralTable;

#ifdef __cplusplus
}
#endif
