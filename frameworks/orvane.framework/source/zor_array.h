// A growable array of plain values in host memory: the scan's tables are built in blocks the host
// counts, like every other allocation of the module.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "zor_memory.h"

template <class T>
class HostArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memcpy");

 public:
  HostArray() = default;
  HostArray(const HostArray&) = delete;
  HostArray& operator=(const HostArray&) = delete;
  ~HostArray() { Release(); }

  void Release() {
    Free(_items);
    _count = 0;
    _capacity = 0;
  }
  // false when the host has no memory; the array is then unchanged
  bool Reserve(int64_t capacity) {
    if (capacity <= _capacity) return true;
    T* grown = static_cast<T*>(ZOR_ALLOC(capacity * static_cast<int64_t>(sizeof(T))));
    if (grown == nullptr) return false;
    if (_count > 0) std::memcpy(grown, _items, static_cast<std::size_t>(_count) * sizeof(T));
    Free(_items);
    _items = grown;
    _capacity = capacity;
    return true;
  }
  // Room for extra more items, growing by doubling so that appending stays linear overall.
  bool MakeRoom(int64_t extra) {
    if (_count + extra <= _capacity) return true;
    int64_t capacity = _capacity < 16 ? 16 : _capacity;
    while (capacity < _count + extra) capacity *= 2;
    return Reserve(capacity);
  }
  bool Push(const T& item) {
    if (!MakeRoom(1)) return false;
    _items[_count++] = item;
    return true;
  }
  bool Append(const T* items, int64_t count) {
    if (count <= 0) return true;
    if (!MakeRoom(count)) return false;
    std::memcpy(_items + _count, items, static_cast<std::size_t>(count) * sizeof(T));
    _count += count;
    return true;
  }
  void Clear() { _count = 0; }
  int64_t Count() const { return _count; }
  T& operator[](int64_t index) { return _items[index]; }
  const T& operator[](int64_t index) const { return _items[index]; }
  const T* Data() const { return _items; }

 private:
  T* _items = nullptr;
  int64_t _count = 0;
  int64_t _capacity = 0;
};
