#include "ge_mtools.h"

#include <cstddef>
#include <cstring>

namespace {

// Exchanges two elements unit by unit, so that no element-sized buffer is needed.
template <class Unit>
void SwapUnits(unsigned char* a, unsigned char* b, int32_t elementSize) {
  for (int32_t offset = 0; offset < elementSize; offset += static_cast<int32_t>(sizeof(Unit))) {
    Unit x;
    Unit y;
    std::memcpy(&x, a + offset, sizeof(Unit));
    std::memcpy(&y, b + offset, sizeof(Unit));
    std::memcpy(a + offset, &y, sizeof(Unit));
    std::memcpy(b + offset, &x, sizeof(Unit));
  }
}

class HeapSorter {
 public:
  HeapSorter(GeSortAndSearchEx& sorter, void* array, int32_t elementSize)
      : sorter_(sorter), base_(static_cast<unsigned char*>(array)), size_(elementSize) {}

  void Run(int32_t count) {
    int32_t l = count / 2 + 1;
    int32_t r = count;
    for (;;) {
      if (l > 1) {
        --l;
        SiftDown(l, r);
      } else {
        Swap(1, r);
        --r;
        if (r == 1) return;
        SiftDown(1, r);
      }
    }
  }

 private:
  // Positions count from 1.
  unsigned char* At(int32_t position) const {
    return base_ + static_cast<std::ptrdiff_t>(position - 1) * size_;
  }

  void Swap(int32_t i, int32_t j) {
    if (i == j) return;
    if (size_ % 4 == 0) {
      SwapUnits<uint32_t>(At(i), At(j), size_);
    } else if (size_ % 2 == 0) {
      SwapUnits<uint16_t>(At(i), At(j), size_);
    } else {
      SwapUnits<uint8_t>(At(i), At(j), size_);
    }
  }

  void SiftDown(int32_t i, int32_t r) {
    // 64-bit so that doubling a position near the 32-bit limit cannot overflow.
    int64_t j = 2 * static_cast<int64_t>(i);
    while (j <= r) {
      if (j < r && sorter_.Compare(At(static_cast<int32_t>(j)), At(static_cast<int32_t>(j + 1))) < 0) ++j;
      if (sorter_.Compare(At(i), At(static_cast<int32_t>(j))) >= 0) return;
      Swap(i, static_cast<int32_t>(j));
      i = static_cast<int32_t>(j);
      j = 2 * j;
    }
  }

  GeSortAndSearchEx& sorter_;
  unsigned char* base_;
  int32_t size_;
};

}  // namespace

GeSortAndSearchEx::~GeSortAndSearchEx() = default;

void GeSortAndSearchEx::Sort(void* array, int32_t count, int32_t elementSize) {
  if (count < 2 || !array || elementSize <= 0) return;
  HeapSorter(*this, array, elementSize).Run(count);
}
