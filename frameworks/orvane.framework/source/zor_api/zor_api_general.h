/* General family: debug text output, the timer, clean-up and interaction hooks. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

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
} HostGeneralTable;

#ifdef __cplusplus
}
#endif
