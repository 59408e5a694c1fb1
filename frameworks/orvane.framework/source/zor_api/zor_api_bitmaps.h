/* Bitmaps family: 8-bit RGB images in memory, loaded and saved as files. Any thread, one bitmap at a
 * time. */
#pragma once
#include "zor_api_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* the answers of init, load and save */
enum { ZOR_IMAGE_OK = 1, ZOR_IMAGE_NOT_EXISTING = -1, ZOR_IMAGE_WRONG_FORMAT = -2, ZOR_IMAGE_NO_MEMORY = -3 };
enum { ZOR_FILTER_TIFF = 1100 };
enum { ZOR_COLOR_MODE_RGB = 4 };
/* bits per pixel of an RGB bitmap, the one depth a bitmap is initialised with */
enum { ZOR_DEPTH_RGB = 24 };

/* Append only; never reorder. */
typedef struct HostBitmapTable {
  int32_t size;
  HostBitmap* (*alloc)(void); /* empty (0 x 0); the caller frees it */
  void (*free)(HostBitmap* bmp);
  int32_t (*init)(HostBitmap* bmp, int32_t width, int32_t height, int32_t depth, int32_t flags);
  int32_t (*width)(const HostBitmap* bmp);
  int32_t (*height)(const HostBitmap* bmp);
  int32_t (*depth)(const HostBitmap* bmp); /* bits per pixel */
  int32_t (*load)(HostBitmap* bmp, const HostFilename* name, int32_t frame, int32_t flags);
  /* written through a temporary file and renamed; options stay the caller's */
  int32_t (*save)(HostBitmap* bmp, const HostFilename* name, int32_t format, const HostContainer* options,
                  int32_t flags);
  /* count pixels of row y from x, increment bytes per pixel in the caller's buffer */
  bool (*get_row)(const HostBitmap* bmp, int32_t x, int32_t y, int32_t count, uint8_t* buffer,
                  int32_t increment, int32_t color_mode);
  bool (*set_row)(HostBitmap* bmp, int32_t x, int32_t y, int32_t count, const uint8_t* buffer,
                  int32_t increment, int32_t color_mode);
  /* Decodes the image that name holds (PNG, JPEG or TIFF, told from its bytes; a path, a core URL text
     or a memory name) into bmp as 8-bit RGB. frame -1: the first. Answers ZOR_IMAGE_OK, or
     ZOR_IMAGE_NOT_EXISTING, ZOR_IMAGE_WRONG_FORMAT (also for truncated or corrupt data),
     ZOR_IMAGE_NO_MEMORY (also for dimensions past 32768); a failure leaves bmp as it was. */
  int32_t (*init_with)(HostBitmap* bmp, const HostFilename* name, int32_t frame);
} HostBitmapTable;

#ifdef __cplusplus
}
#endif
