// The worker of a Renderator run and the render settings it normalises before every render.
#pragma once
#include <cstdint>

#include "zor_thread.h"

class BaseContainer;
class RenderData;
struct RenderatorRunState;
struct SceneResult;

// Runs the scenes of the published run state one after the other; see RunRenderator.
class PreviewThread : public ZORThread {
 public:
  explicit PreviewThread(int32_t openGl) : openGl_(openGl) {}
  ~PreviewThread() override;
  bool TestExtraBreak() override { return false; }
  void Run() override;
  const char* QueryName() override { return "Renderator Thread"; }

 private:
  // What happened to one scene: next scene with or without rewriting the report, or the run ends at it.
  enum class SceneOutcome { kNext, kNextWithoutReport, kEndRun };
  // Skips, or loads, renders, saves and compares the scene at position index; sets its status.
  SceneOutcome ProcessScene(RenderatorRunState& run, int32_t index, SceneResult& record);

  int32_t openGl_;
};

// The progress of the scene at 0-based position index of count: (index + 1) / count in whole percent,
// truncated.
int32_t ScenePercent(int32_t index, int32_t count);

// Picks the renderer on the document's render settings: the hardware renderer for OpenGL, else the
// physical renderer with the chosen acceleration structure when an override is chosen.
void ApplyRendererChoice(RenderData& renderData, int32_t openGl, int32_t overrideChoice);

// Normalises a copy of the render settings so that every scene renders comparably: no film grain,
// integer resolution, TIFF output, and so on. The warm-up copy is also shrunk to 16 x 16.
void NormaliseRenderSettings(BaseContainer& settings, RenderData& renderData, bool warmUp);
