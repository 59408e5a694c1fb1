// Host bitmaps: 8-bit RGB images in host memory, loaded from and saved to image files.
#pragma once
#include <cstdint>

#include "zor_api.h"

class Filename;
class BaseContainer;

class BaseBitmap {
 public:
  // Asks the host for a bitmap; IsValid() tells whether it gave one.
  BaseBitmap();
  ~BaseBitmap();
  BaseBitmap(BaseBitmap&& other) noexcept;
  BaseBitmap& operator=(BaseBitmap&& other) noexcept;
  BaseBitmap(const BaseBitmap&) = delete;
  BaseBitmap& operator=(const BaseBitmap&) = delete;

  bool IsValid() const { return bitmap_ != nullptr; }

  // Host image results (ZOR_IMAGE_OK on success).
  int32_t Init(int32_t width, int32_t height, int32_t depth = 24, int32_t flags = 0);
  int32_t Load(const Filename& name, int32_t frame = -1, int32_t flags = 0);
  // Decodes the PNG, JPEG or TIFF image name holds (a path, a core URL text or a memory name);
  // ZOR_IMAGE_OK (1) on success, else the bitmap is as it was.
  int32_t InitWith(const Filename& name, int32_t frame = -1);
  int32_t Save(const Filename& name, int32_t format, const BaseContainer* options, int32_t flags = 0);

  int32_t GetBw() const;
  int32_t GetBh() const;
  int32_t GetBt() const;

  // count pixels of row y from x; increment is the bytes per pixel in the buffer
  bool GetPixelRow(int32_t x, int32_t y, int32_t count, uint8_t* buffer, int32_t increment = 3,
                   int32_t colorMode = ZOR_COLOR_MODE_RGB) const;
  bool SetPixelRow(int32_t x, int32_t y, int32_t count, const uint8_t* buffer, int32_t increment = 3,
                   int32_t colorMode = ZOR_COLOR_MODE_RGB);

  HostBitmap* Get() { return bitmap_; }
  const HostBitmap* Get() const { return bitmap_; }

 private:
  void Reset();
  HostBitmap* bitmap_ = nullptr;
};
