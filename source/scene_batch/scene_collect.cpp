// Scene collection: every scene file below the scene folder. Folders are known by their identity
// (device and file number), so a symbolic link can neither lead the collection in circles nor make
// it collect a folder twice; every link passed over is named on the console.
#include "scene_collect.h"

#include "zor_file.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"

namespace {

enum class Visit { kNew, kSeen, kNoMemory };

// A set of folder identities, open addressing in one host block that doubles when half full.
// Identity {0, 0} marks a free slot: no folder has file number 0.
class FolderSet {
 public:
  FolderSet() = default;
  FolderSet(const FolderSet&) = delete;
  FolderSet& operator=(const FolderSet&) = delete;
  ~FolderSet() { Free(slots_); }

  Visit Insert(const FolderIdentity& id) {
    if (2 * (count_ + 1) > capacity_ && !Grow()) return Visit::kNoMemory;
    FolderIdentity* slot = Find(slots_, capacity_, id);
    if (*slot == id) return Visit::kSeen;
    *slot = id;
    ++count_;
    return Visit::kNew;
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

struct Collection {
  SceneSink& sink;
  FolderSet collected;  // folders whose scene files are in the list
  FolderSet searched;   // folders searched for links
};

// true when folder is new to the set; with sayIt, an entry passed over is named on the console. A link
// whose folder the host cannot identify is passed over too, since following it might never end.
bool Enter(FolderSet& set, const Filename& folder, bool isLink, bool sayIt) {
  FolderIdentity id;
  Visit visit = Visit::kNew;
  const char* why = nullptr;
  if (!GetFolderIdentity(folder, id)) {
    if (!isLink) return true;
    why = ": its folder cannot be identified";
  } else {
    visit = set.Insert(id);
    if (visit == Visit::kNew) return true;
    why = visit == Visit::kSeen ? ": folder already visited" : ": not enough memory to follow it";
  }
  if (sayIt) GePrint(String(isLink ? "Skipped link " : "Skipped folder ") + folder.GetString() + why);
  return false;
}

// The scene files of folder and of its sub-folders, links left out: they are followed afterwards, so
// that a folder reached both ways is collected under its own path.
void CollectTree(const Filename& folder, Collection& c) {
  BrowseFiles browse;
  if (!browse.Init(folder)) {
    // the host says why on its error output
    if (FolderExists(folder)) GePrint("Skipped folder " + folder.GetString() + ": it cannot be listed");
    return;
  }
  while (browse.GetNext()) {
    const Filename entry = folder + browse.GetFilename();
    if (browse.IsFolder()) {
      if (!browse.IsLink() && Enter(c.collected, entry, false, true)) CollectTree(entry, c);
    } else if (entry.CheckSuffix("zor")) {
      // beyond the list's capacity further scenes are passed over
      c.sink.Append(entry);
    }
  }
}

// Follows the links below folder to folders that are not collected yet.
void FollowLinks(const Filename& folder, Collection& c) {
  BrowseFiles browse;
  if (!browse.Init(folder)) return;  // said while collecting
  while (browse.GetNext()) {
    if (!browse.IsFolder()) continue;
    const Filename entry = folder + browse.GetFilename();
    if (browse.IsLink()) {
      if (!Enter(c.collected, entry, true, true)) continue;
      CollectTree(entry, c);
      Enter(c.searched, entry, true, false);
      FollowLinks(entry, c);
    } else if (Enter(c.searched, entry, false, false)) {
      FollowLinks(entry, c);
    }
  }
}

}  // namespace

void CollectSceneFiles(const Filename& folder, SceneSink& sink) {
  Collection c{sink, {}, {}};
  Enter(c.collected, folder, false, false);
  Enter(c.searched, folder, false, false);
  CollectTree(folder, c);
  FollowLinks(folder, c);
}

Filename NextResultFolder(const Filename& sceneFolder, int32_t hostVersion) {
  const String prefix =
      "_renderator_" + String::FromFloat(double(hostVersion) / 1000.0, 0, 3, false, '0') + "_";
  for (int64_t n = 1;; ++n) {
    const Filename candidate = sceneFolder + Filename(prefix + String::FromInt(n));
    if (!FolderExists(candidate)) return candidate;
  }
}

bool CreateNumberedResultFolder(const Filename& sceneFolder, Filename& resultFolder) {
  // Another run may take the same number between the test and the creation; the creation then
  // fails on a folder that exists, which is left to that run, and the next number is tried.
  for (;;) {
    resultFolder = NextResultFolder(sceneFolder, GetHostApiVersion());
    if (CreateFolder(resultFolder)) return true;
    if (!FolderExists(resultFolder)) {
      GeMessageBox("Error creating resultdir");
      return false;
    }
  }
}
