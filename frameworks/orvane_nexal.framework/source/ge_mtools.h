// In-place sorting of plain arrays through a compare operation over element addresses.
#pragma once
#include <cstdint>

class GeSortAndSearchEx {
 public:
  virtual ~GeSortAndSearchEx();
  // Below 0 when a sorts before b, 0 when they are equivalent, above 0 otherwise.
  virtual int32_t Compare(const void* a, const void* b) = 0;

  // A heapsort into ascending order. It needs no memory of its own and exchanges elements in place;
  // equivalent elements end up in the order this particular procedure gives, which lists rely on.
  void Sort(void* array, int32_t count, int32_t elementSize);
};

// Sorts a list of T pointers with a compare function over the addresses of two list entries.
template <class T>
class GeSchmodderSort : public GeSortAndSearchEx {
 public:
  using CompareFunction = int32_t (*)(T* const* a, T* const* b);

  explicit GeSchmodderSort(CompareFunction compare = nullptr) : compare_(compare) {}
  void SetCompare(CompareFunction compare) { compare_ = compare; }

  int32_t Compare(const void* a, const void* b) override {
    return compare_(static_cast<T* const*>(a), static_cast<T* const*>(b));
  }

  void Sort(T** list, int32_t count) {
    if (compare_) GeSortAndSearchEx::Sort(list, count, static_cast<int32_t>(sizeof(T*)));
  }
  using GeSortAndSearchEx::Sort;

 private:
  CompareFunction compare_;
};
