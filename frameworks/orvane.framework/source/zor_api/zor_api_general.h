/* General family: debug text output, the timer, clean-up and interaction hooks. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostGeneralTable {
  int32_t size;
  /* the plug-in layer's diagnostics: text as it is, no line end added */
  void (*debug_output)(const char* text);
  int64_t (*timer_ms)(void);
  /* after a document was freed */
  void (*cleanup)(void);
  /* after a dialog interaction ("inta") */
  void (*interaction_done)(void);
} HostGeneralTable;

#ifdef __cplusplus
}
#endif
