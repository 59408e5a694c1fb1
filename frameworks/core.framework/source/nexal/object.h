// This module's record in the core framework's module chain, the interfaces it references by id, and
// core-layer allocation through the host's system interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "nexal_records.h"

extern "C" {
// Head of the chain of module records the host walks when it loads the library.
extern __attribute__((visibility("default"))) NexalModuleRecord* g_privateModules;
}

namespace nexal {

inline constexpr const char* kModuleId = "net.nexal.zor.relkit";

// The references this module declares, by position in its record.
enum class Ref : int32_t {
  System,
  Url,
  IoBrowse,
  IoHandler,
  InputStream,
  Error,
  Exif,
  IoErrorObject,
  IoBrowseBaseClass,
  Int32DataType,
  TextParser,
  Count
};

NexalModuleRecord& ModuleRecord();
NexalReference& Reference(Ref which);
NexalReference* FindReference(const char* id);  // null when this module does not declare it

// The implementation behind a reference for a call through it. When the host left the reference
// unresolved, the record's initializer is asked; failing that the failure is printed and null comes
// back, so that the caller answers its failure value.
const void* ResolveForCall(NexalReference& reference);

// The system interface if the host resolved it; never asks the initializer (the output path uses
// this, and must not recurse into its own diagnostics).
const NexalSystemInterface* ResolvedSystem();
// The system interface for a call, through ResolveForCall.
const NexalSystemInterface* SystemForCall();

// Core-layer memory. The location record is kept by the host for as long as the block lives.
void* CoreAlloc(int64_t size, const NexalSourceLocation* where);
void CoreFree(void* block);

template <class T, class... Args>
T* NewCoreObjAt(const NexalSourceLocation* where, Args&&... args) noexcept {
  static_assert(alignof(T) <= alignof(std::max_align_t), "over-aligned types cannot live in host memory");
  void* block = CoreAlloc(static_cast<int64_t>(sizeof(T)), where);
  if (block == nullptr) return nullptr;
  try {
    return new (block) T(std::forward<Args>(args)...);
  } catch (...) {
    CoreFree(block);
    return nullptr;
  }
}

template <class T>
void DeleteCoreObj(T*& p) {
  if (p == nullptr) return;
  p->~T();
  CoreFree(const_cast<void*>(static_cast<const void*>(p)));
  p = nullptr;
}

}  // namespace nexal

// A location record with static lifetime for the line that uses it.
#define NEXAL_SOURCE_LOCATION()                                      \
  ([]() -> const NexalSourceLocation* {                              \
    static constexpr NexalSourceLocation kWhere{__FILE__, __LINE__}; \
    return &kWhere;                                                  \
  }())
#define NEXAL_ALLOC(size) ::nexal::CoreAlloc((size), NEXAL_SOURCE_LOCATION())
#define NewCoreObj(Type, ...) ::nexal::NewCoreObjAt<Type>(NEXAL_SOURCE_LOCATION() __VA_OPT__(, ) __VA_ARGS__)
