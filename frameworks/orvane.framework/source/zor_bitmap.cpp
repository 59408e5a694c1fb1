#include "zor_bitmap.h"

#include <utility>

#include "zor_container.h"
#include "zor_filename.h"
#include "zor_host.h"

#define ZOR_BITMAPS(op) HostOperation(&HostFunctionTable::bitmaps, &HostBitmapTable::op)

BaseBitmap::BaseBitmap() {
  if (auto alloc = ZOR_BITMAPS(alloc)) bitmap_ = alloc();
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
  if (bitmap_) {
    if (auto free = ZOR_BITMAPS(free)) free(bitmap_);
  }
  bitmap_ = nullptr;
}

int32_t BaseBitmap::Init(int32_t width, int32_t height, int32_t depth, int32_t flags) {
  auto init = ZOR_BITMAPS(init);
  if (!bitmap_ || !init) return ZOR_IMAGE_NO_MEMORY;
  return init(bitmap_, width, height, depth, flags);
}

int32_t BaseBitmap::Load(const Filename& name, int32_t frame, int32_t flags) {
  auto load = ZOR_BITMAPS(load);
  if (!bitmap_ || !load) return ZOR_IMAGE_NO_MEMORY;
  return load(bitmap_, name.Get(), frame, flags);
}

int32_t BaseBitmap::Save(const Filename& name, int32_t format, const BaseContainer* options, int32_t flags) {
  auto save = ZOR_BITMAPS(save);
  if (!bitmap_ || !save) return ZOR_IMAGE_NO_MEMORY;
  return save(bitmap_, name.Get(), format, options ? options->Get() : nullptr, flags);
}

int32_t BaseBitmap::GetBw() const {
  return bitmap_ && ZOR_BITMAPS(width) ? ZOR_BITMAPS(width)(bitmap_) : 0;
}
int32_t BaseBitmap::GetBh() const {
  return bitmap_ && ZOR_BITMAPS(height) ? ZOR_BITMAPS(height)(bitmap_) : 0;
}
int32_t BaseBitmap::GetBt() const {
  return bitmap_ && ZOR_BITMAPS(depth) ? ZOR_BITMAPS(depth)(bitmap_) : 0;
}

bool BaseBitmap::GetPixelRow(int32_t x, int32_t y, int32_t count, uint8_t* buffer, int32_t increment,
                             int32_t colorMode) const {
  auto getRow = ZOR_BITMAPS(get_row);
  return bitmap_ && getRow && getRow(bitmap_, x, y, count, buffer, increment, colorMode);
}

bool BaseBitmap::SetPixelRow(int32_t x, int32_t y, int32_t count, const uint8_t* buffer, int32_t increment,
                             int32_t colorMode) {
  auto setRow = ZOR_BITMAPS(set_row);
  return bitmap_ && setRow && setRow(bitmap_, x, y, count, buffer, increment, colorMode);
}
