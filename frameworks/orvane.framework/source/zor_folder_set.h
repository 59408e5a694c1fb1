// The folders a walk through a tree has entered, known by identity, so that a link back up the tree
// cannot lead the walk in circles. Every walk of the module that follows folders keeps one.
#pragma once
#include <cstdint>

#include "zor_file.h"
#include "zor_memory.h"

enum class FolderVisit { kNew, kSeen, kNoMemory };

// A set of folder identities, open addressing in one host block that doubles when half full.
// Identity {0, 0} marks a free slot: no folder has file number 0.
class FolderSet {
 public:
  FolderSet() = default;
  FolderSet(const FolderSet&) = delete;
  FolderSet& operator=(const FolderSet&) = delete;
  ~FolderSet() { Free(slots_); }

  FolderVisit Insert(const FolderIdentity& id) {
    if (2 * (count_ + 1) > capacity_ && !Grow()) return FolderVisit::kNoMemory;
    FolderIdentity* slot = Find(slots_, capacity_, id);
    if (*slot == id) return FolderVisit::kSeen;
    *slot = id;
    ++count_;
    return FolderVisit::kNew;
  }

 private:
  static uint64_t Hash(const FolderIdentity& id) {
    return (id.inode * 0x9E3779B97F4A7C15ull) ^ (id.device * 0xC2B2AE3D27D4EB4Full);
  }
  // the slot holding id, or the free slot where it belongs
  static FolderIdentity* Find(FolderIdentity* slots, int64_t capacity, const FolderIdentity& id) {
    const FolderIdentity empty;
    for (uint64_t k = Hash(id);; ++k) {
      FolderIdentity* slot = &slots[k & static_cast<uint64_t>(capacity - 1)];
      if (*slot == id || *slot == empty) return slot;
    }
  }
  bool Grow() {
    const int64_t capacity = capacity_ ? 2 * capacity_ : 64;
    auto* slots = static_cast<FolderIdentity*>(ZOR_ALLOC(capacity * int64_t(sizeof(FolderIdentity))));
    if (!slots) return false;
    const FolderIdentity empty;
    for (int64_t i = 0; i < capacity_; ++i)
      if (!(slots_[i] == empty)) *Find(slots, capacity, slots_[i]) = slots_[i];
    Free(slots_);
    slots_ = slots;
    capacity_ = capacity;
    return true;
  }

  FolderIdentity* slots_ = nullptr;
  int64_t capacity_ = 0;
  int64_t count_ = 0;
};
