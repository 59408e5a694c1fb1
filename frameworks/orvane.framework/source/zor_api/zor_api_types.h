/* Handle types shared by the host and the module. Every host object is opaque to the module: it is
 * created, copied and freed only through the host table. */
#pragma once
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

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
