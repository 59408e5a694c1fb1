// Run Renderator: renders every scene below a scene folder and either stores the images as a new
// comparison base or compares them with an earlier one, writing "_result.txt" after every scene.
#pragma once
#include <cstdint>

#include "renderator_report.h"
#include "scene_batch/scene_collect.h"
#include "zor_filename.h"
#include "zor_string.h"

// Options that the settings dialog writes and every later run reads, also one from the command line.
// All 0 when the module is loaded.
struct RenderatorSettings {
  int32_t continueBuild = 0;   // 1: fill the gaps of an interrupted reference build
  int32_t overrideChoice = 0;  // 0 the scene's renderer; 1..3 the physical renderer with its structure 0..2
  int32_t clusterRender = 0;   // 1: render with the host's cluster render flag
};
extern RenderatorSettings g_renderatorSettings;

// The state of the one run in progress: written while the run is prepared, then read by the worker.
// The status text is shared with the progress dialog and touched only under the global lock.
struct RenderatorRunState {
  ResultList results;
  int32_t buildFlag = 0;      // 1: this run builds a comparison base
  int32_t continueBuild = 0;  // the continue flag as this run applies it
  Filename referenceFolder;
  Filename resultFolder;
  Filename reportFile;
  String statusText;
};
extern RenderatorRunState* g_renderatorRun;

// The command's id; also the special event, posted to the host's open dialogs, that says the status
// text changed.
inline constexpr int32_t kRenderatorId = 1001198;
inline constexpr int32_t kRenderatorEndEvent = 1001199;

// Blocks until the run has ended. Answers the thread start result, 0 after "Outdated reference" and
// 1 after "Error creating resultdir". openGl selects the hardware renderer for every scene.
int32_t RunRenderator(const Filename& sceneFolder, const Filename& referenceFolder, int32_t openGl);

// Appends every scene file (suffix "zor") below folder, sub-folders included, each folder once however
// many links lead to it; the links passed over are named on the console.
void CollectScenes(const Filename& folder, ResultList& list);
// Sorts by the full path text with the host's string comparison.
void SortScenes(ResultList& list);

// "0001" for the first scene; more digits when needed.
String SceneNumberText(int32_t index);
