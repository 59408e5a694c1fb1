/* Scripts family: the scripting-language library, script collections, the expression evaluator.
 * The operations arrive with the tools that use them (distribution builder, script strings). */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Append only; never reorder. */
typedef struct HostScriptTable {
  int32_t size;
} HostScriptTable;

#ifdef __cplusplus
}
#endif
