// What the batch tools share before their first render: the scene files below a folder, and the
// numbered result folder a run writes into when it has no folder of its own.
#pragma once
#include <cstdint>

#include "zor_filename.h"

// Where collected scene files go; false when the list is full, and further scenes are passed over.
class SceneSink {
 public:
  virtual bool Append(const Filename& file) = 0;

 protected:
  ~SceneSink() = default;
};

// Appends every scene file (suffix "zor") below folder, sub-folders included, each folder once however
// many links lead to it; the links passed over are named on the console.
void CollectSceneFiles(const Filename& folder, SceneSink& sink);

// Collects into any list with an Append(file) that answers false when it is full.
template <class List>
void CollectSceneFilesInto(const Filename& folder, List& list) {
  class ListSink final : public SceneSink {
   public:
    explicit ListSink(List& list) : list_(list) {}
    bool Append(const Filename& file) override { return list_.Append(file); }

   private:
    List& list_;
  } sink(list);
  CollectSceneFiles(folder, sink);
}

// The first "_renderator_<version>_<N>" below the scene folder that does not exist yet.
Filename NextResultFolder(const Filename& sceneFolder, int32_t hostVersion);
// Creates the next numbered result folder below the scene folder; false (after the message "Error
// creating resultdir") when it cannot be created.
bool CreateNumberedResultFolder(const Filename& sceneFolder, Filename& resultFolder);
