// An introspective sort: quicksort with median-of-three pivots that falls back
// to heapsort when the recursion gets deeper than twice the base-2 logarithm of
// the count, and insertion sort for runs of at most 32. Unstable. compare(a, b)
// answers below 0, 0 or above 0, like a text comparison.
#pragma once
#include <cstddef>
#include <utility>

namespace io_browser {

inline constexpr std::size_t kInsertionSortRun = 32;

namespace intro_sort_detail {

template <class T, class Compare>
void InsertionSort(T* items, std::size_t count, Compare& compare) {
  for (std::size_t i = 1; i < count; ++i) {
    T value = std::move(items[i]);
    std::size_t j = i;
    for (; j > 0 && compare(value, items[j - 1]) < 0; --j) items[j] = std::move(items[j - 1]);
    items[j] = std::move(value);
  }
}

template <class T, class Compare>
void SiftDown(T* items, std::size_t root, std::size_t count, Compare& compare) {
  for (;;) {
    std::size_t child = 2 * root + 1;
    if (child >= count) return;
    if (child + 1 < count && compare(items[child], items[child + 1]) < 0) ++child;
    if (compare(items[root], items[child]) >= 0) return;
    std::swap(items[root], items[child]);
    root = child;
  }
}

template <class T, class Compare>
void HeapSort(T* items, std::size_t count, Compare& compare) {
  for (std::size_t i = count / 2; i-- > 0;) SiftDown(items, i, count, compare);
  for (std::size_t end = count; end > 1; --end) {
    std::swap(items[0], items[end - 1]);
    SiftDown(items, 0, end - 1, compare);
  }
}

// Puts the median of the first, middle and last item first, as the pivot.
template <class T, class Compare>
void MedianOfThreeFirst(T* items, std::size_t count, Compare& compare) {
  T& a = items[0];
  T& b = items[count / 2];
  T& c = items[count - 1];
  if (compare(b, a) < 0) std::swap(a, b);
  if (compare(c, b) < 0) std::swap(b, c);
  if (compare(b, a) < 0) std::swap(a, b);
  // a <= b <= c: b is the median
  std::swap(items[0], items[count / 2]);
}

template <class T, class Compare>
void Sort(T* items, std::size_t count, std::size_t depth, Compare& compare) {
  while (count > kInsertionSortRun) {
    if (depth == 0) {
      HeapSort(items, count, compare);
      return;
    }
    --depth;
    MedianOfThreeFirst(items, count, compare);
    // Hoare partition around items[0]; both scans stop on equal items, so runs
    // of equal items split in the middle instead of degrading.
    std::size_t i = 0;
    std::size_t j = count;
    for (;;) {
      do ++i;
      while (i < count && compare(items[i], items[0]) < 0);
      do --j;
      while (compare(items[0], items[j]) < 0);
      if (i >= j) break;
      std::swap(items[i], items[j]);
    }
    std::swap(items[0], items[j]);
    // Recurse into the smaller side, loop on the larger, so the stack stays
    // logarithmic.
    const std::size_t left = j;
    const std::size_t right = count - j - 1;
    if (left < right) {
      Sort(items, left, depth, compare);
      items += j + 1;
      count = right;
    } else {
      Sort(items + j + 1, right, depth, compare);
      count = left;
    }
  }
  InsertionSort(items, count, compare);
}

}  // namespace intro_sort_detail

// 2 * floor(log2(count)); 0 for fewer than 2 items.
inline std::size_t IntroSortDepthLimit(std::size_t count) {
  std::size_t log = 0;
  while (count > 1) {
    count >>= 1;
    ++log;
  }
  return 2 * log;
}

template <class T, class Compare>
void IntroSort(T* items, std::size_t count, Compare compare) {
  if (count < 2) return;
  intro_sort_detail::Sort(items, count, IntroSortDepthLimit(count), compare);
}

}  // namespace io_browser
