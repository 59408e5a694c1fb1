// A growable array in host memory, for the lists a tool keeps for a run: the host counts their blocks
// like every other allocation of the module, and a list with a fixed capacity reserves it once.
#pragma once
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "zor_memory.h"

template <class T>
class HostArray {
  static_assert(std::is_nothrow_move_constructible_v<T>, "growing moves the elements and must not fail");

 public:
  HostArray() = default;
  HostArray(const HostArray&) = delete;
  HostArray& operator=(const HostArray&) = delete;
  ~HostArray() { Release(); }

  void Release() {
    Clear();
    Free(items_);
    capacity_ = 0;
  }
  // false when the host has no memory; the array is then unchanged
  bool Reserve(int64_t capacity) {
    if (capacity <= capacity_) return true;
    T* grown = static_cast<T*>(ZOR_ALLOC(capacity * static_cast<int64_t>(sizeof(T))));
    if (grown == nullptr) return false;
    if constexpr (std::is_trivially_copyable_v<T>) {
      if (count_ > 0) std::memcpy(grown, items_, static_cast<std::size_t>(count_) * sizeof(T));
    } else {
      for (int64_t i = 0; i < count_; ++i) {
        new (&grown[i]) T(std::move(items_[i]));
        items_[i].~T();
      }
    }
    Free(items_);
    items_ = grown;
    capacity_ = capacity;
    return true;
  }
  // Room for extra more items, growing by doubling so that appending stays linear overall.
  bool MakeRoom(int64_t extra) {
    if (count_ + extra <= capacity_) return true;
    int64_t capacity = capacity_ < 16 ? 16 : capacity_;
    while (capacity < count_ + extra) capacity *= 2;
    return Reserve(capacity);
  }
  bool Push(T item) {
    if (!MakeRoom(1)) return false;
    new (&items_[count_]) T(std::move(item));
    ++count_;
    return true;
  }
  bool Append(const T* items, int64_t count) {
    static_assert(std::is_trivially_copyable_v<T>, "appends plain values only");
    if (count <= 0) return true;
    if (!MakeRoom(count)) return false;
    std::memcpy(items_ + count_, items, static_cast<std::size_t>(count) * sizeof(T));
    count_ += count;
    return true;
  }
  // Destroys the items and keeps the block.
  void Clear() {
    if constexpr (!std::is_trivially_destructible_v<T>)
      for (int64_t i = 0; i < count_; ++i) items_[i].~T();
    count_ = 0;
  }
  int64_t Count() const { return count_; }
  int64_t Capacity() const { return capacity_; }
  T& operator[](int64_t index) { return items_[index]; }
  const T& operator[](int64_t index) const { return items_[index]; }
  T* Data() { return items_; }
  const T* Data() const { return items_; }

 private:
  T* items_ = nullptr;
  int64_t count_ = 0;
  int64_t capacity_ = 0;
};
