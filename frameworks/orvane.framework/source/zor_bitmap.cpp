#include "zor_bitmap.h"

#include <utility>

#include "zor_container.h"
#include "zor_filename.h"
#include "zor_host.h"

using Bitmaps = HostBitmapTable;

BaseBitmap::BaseBitmap() {
  bitmap_ = HostCall(nullptr, &Bitmaps::alloc);
}

BaseBitmap::~BaseBitmap() {
  Reset();
}

BaseBitmap::BaseBitmap(BaseBitmap&& other) noexcept : bitmap_(std::exchange(other.bitmap_, nullptr)) {}

BaseBitmap& BaseBitmap::operator=(BaseBitmap&& other) noexcept {
  if (this != &other) {
    Reset();
    bitmap_ = std::exchange(other.bitmap_, nullptr);
  }
  return *this;
}

void BaseBitmap::Reset() {
  if (bitmap_) HostCall(&Bitmaps::free, bitmap_);
  bitmap_ = nullptr;
}

int32_t BaseBitmap::Init(int32_t width, int32_t height, int32_t depth, int32_t flags) {
  if (!bitmap_) return ZOR_IMAGE_NO_MEMORY;
  return HostCall(int32_t{ZOR_IMAGE_NO_MEMORY}, &Bitmaps::init, bitmap_, width, height, depth, flags);
}

int32_t BaseBitmap::Load(const Filename& name, int32_t frame, int32_t flags) {
  if (!bitmap_) return ZOR_IMAGE_NO_MEMORY;
  return HostCall(int32_t{ZOR_IMAGE_NO_MEMORY}, &Bitmaps::load, bitmap_, name.Get(), frame, flags);
}

int32_t BaseBitmap::InitWith(const Filename& name, int32_t frame) {
  if (!bitmap_) return ZOR_IMAGE_NO_MEMORY;
  return HostCall(int32_t{ZOR_IMAGE_WRONG_FORMAT}, &Bitmaps::init_with, bitmap_, name.Get(), frame);
}

int32_t BaseBitmap::Save(const Filename& name, int32_t format, const BaseContainer* options, int32_t flags) {
  if (!bitmap_) return ZOR_IMAGE_NO_MEMORY;
  return HostCall(int32_t{ZOR_IMAGE_NO_MEMORY}, &Bitmaps::save, bitmap_, name.Get(), format,
                  options ? options->Get() : nullptr, flags);
}

int32_t BaseBitmap::GetBw() const {
  return bitmap_ ? HostCall(0, &Bitmaps::width, bitmap_) : 0;
}
int32_t BaseBitmap::GetBh() const {
  return bitmap_ ? HostCall(0, &Bitmaps::height, bitmap_) : 0;
}
int32_t BaseBitmap::GetBt() const {
  return bitmap_ ? HostCall(0, &Bitmaps::depth, bitmap_) : 0;
}

bool BaseBitmap::GetPixelRow(int32_t x, int32_t y, int32_t count, uint8_t* buffer, int32_t increment,
                             int32_t colorMode) const {
  return bitmap_ && HostCall(false, &Bitmaps::get_row, bitmap_, x, y, count, buffer, increment, colorMode);
}

bool BaseBitmap::SetPixelRow(int32_t x, int32_t y, int32_t count, const uint8_t* buffer, int32_t increment,
                             int32_t colorMode) {
  return bitmap_ && HostCall(false, &Bitmaps::set_row, bitmap_, x, y, count, buffer, increment, colorMode);
}
