// Memory from the host, every block tagged with the source location that asked for it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

void* Allocate(int64_t size, int32_t line, const char* file);  // zeroed; null on failure
void FreeBlock(void* block);                                   // null is ignored

template <class T>
void Free(T*& p) {
  FreeBlock(const_cast<void*>(static_cast<const void*>(p)));
  p = nullptr;
}

#define ZOR_ALLOC(size) ::Allocate((size), __LINE__, __FILE__)

// The host hands out blocks aligned for any fundamental type, not more.
inline constexpr std::size_t kHostBlockAlignment = alignof(std::max_align_t);

template <class T, class... Args>
T* NewObjAt(int32_t line, const char* file, Args&&... args) noexcept {
  static_assert(alignof(T) <= kHostBlockAlignment, "over-aligned types cannot live in host memory");
  void* block = ::Allocate(static_cast<int64_t>(sizeof(T)), line, file);
  if (block == nullptr) return nullptr;
  try {
    return new (block) T(std::forward<Args>(args)...);
  } catch (...) {
    FreeBlock(block);
    return nullptr;
  }
}

template <class T>
void DeleteObj(T*& p) {
  if (p == nullptr) return;
  p->~T();
  FreeBlock(const_cast<void*>(static_cast<const void*>(p)));
  p = nullptr;
}

#define NewObj(Type, ...) NewObjAt<Type>(__LINE__, __FILE__ __VA_OPT__(, ) __VA_ARGS__)

// Ownership of an object made by NewObj, so that every way out of a scope gives it back to the host.
struct ObjDeleter {
  template <class T>
  void operator()(T* p) const noexcept {
    DeleteObj(p);
  }
};
template <class T>
using OwnedObj = std::unique_ptr<T, ObjDeleter>;

template <class T, class... Args>
OwnedObj<T> NewOwnedObjAt(int32_t line, const char* file, Args&&... args) noexcept {
  return OwnedObj<T>(NewObjAt<T>(line, file, std::forward<Args>(args)...));
}

// empty when the host has no memory for it
#define NewOwnedObj(Type, ...) NewOwnedObjAt<Type>(__LINE__, __FILE__ __VA_OPT__(, ) __VA_ARGS__)
