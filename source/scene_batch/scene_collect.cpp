// Scene collection: every scene file below the scene folder. Folders are known by their identity
// (device and file number), so a symbolic link can neither lead the collection in circles nor make
// it collect a folder twice; every link passed over is named on the console.
#include "scene_collect.h"

#include "zor_file.h"
#include "zor_folder_set.h"
#include "zor_general.h"
#include "zor_gui.h"
#include "zor_memory.h"

namespace {

struct Collection {
  SceneSink& sink;
  FolderSet collected;  // folders whose scene files are in the list
  FolderSet searched;   // folders searched for links
};

// true when folder is new to the set; with sayIt, an entry passed over is named on the console. A link
// whose folder the host cannot identify is passed over too, since following it might never end.
bool Enter(FolderSet& set, const Filename& folder, bool isLink, bool sayIt) {
  FolderIdentity id;
  FolderVisit visit = FolderVisit::kNew;
  const char* why = nullptr;
  if (!GetFolderIdentity(folder, id)) {
    if (!isLink) return true;
    why = ": its folder cannot be identified";
  } else {
    visit = set.Insert(id);
    if (visit == FolderVisit::kNew) return true;
    why = visit == FolderVisit::kSeen ? ": folder already visited" : ": not enough memory to follow it";
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
