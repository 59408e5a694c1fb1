/* Handle types shared by the host and the module. Every host object is opaque to the module: it is
 * created, copied and freed only through the host table. */
#pragma once
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A four-character code as a 32-bit value, the first character in the most significant byte: message
 * ids, value ids, file type and creator codes. */
#define ZOR_FOUR_BYTE(a, b, c, d)                                              \
  ((int32_t)(((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | \
             ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d)))

typedef struct HostString HostString;
typedef struct HostFilename HostFilename;
typedef struct HostContainer HostContainer;
typedef struct HostFile HostFile;
typedef struct HostBrowse HostBrowse;
typedef struct HostDocument HostDocument;
typedef struct HostRenderData HostRenderData;
typedef struct HostVideoPost HostVideoPost;
typedef struct HostBitmap HostBitmap;
typedef struct HostDialog HostDialog;
typedef struct HostUserArea HostUserArea;
typedef struct HostGadget HostGadget;
typedef struct HostThread HostThread;
typedef struct HostResource HostResource;

#ifdef __cplusplus
}
#endif
