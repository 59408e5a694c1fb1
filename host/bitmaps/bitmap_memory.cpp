// Pixel memory. An image of a few thousand pixels square is tens of megabytes, and every one of its
// 4 KiB pages costs a fault when first written; where the system offers large pages on request, the
// pixels ask for them, which takes the faults of a 4000 x 3000 image from about 9000 to about 20.
#include <sys/mman.h>

#include <cstdint>

#include "bitmaps/bitmap_impl.h"

namespace zorhost {
namespace {

constexpr uintptr_t kLargePage = uintptr_t(2) << 20;

void ask_for_large_pages(void* start, size_t bytes) {
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(kLargePage - 1);
  // Advice only: a system without large pages declines it and the pixels work the same.
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void init_pixels(std::vector<uint8_t>& pixels, size_t bytes) {
  // A bitmap initialised again at its size or smaller keeps its memory.
  if (pixels.capacity() >= bytes) {
    pixels.assign(bytes, 0);
    return;
  }
  std::vector<uint8_t> fresh;
  fresh.reserve(bytes);
  if (bytes >= 2 * kLargePage) ask_for_large_pages(fresh.data(), bytes);
  fresh.resize(bytes);
  pixels = std::move(fresh);
}

}  // namespace zorhost
