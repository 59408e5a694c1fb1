// The render settings the batch tools pin before every render, so that a scene renders under the same
// conditions in every run whatever its file saved. Each tool keeps its own table of what it pins, in
// the order it writes them; this applies such a table to a copy of the scene's render settings.
#pragma once
#include <cstdint>
#include <span>

class BaseContainer;
class RenderData;

enum class PinKind {
  kBool,              // value 0 or 1
  kInt,               // value
  kFloat,             // value as a floating-point number
  kWholeFloat,        // the copy's own floating-point value cut to an integer
  kIntOfRenderData,   // the render data's own integer
  kTimeOfRenderData,  // the render data's own time
  kNoLegacyEngine,    // the legacy engine replaced by the standard one, any other engine kept
  // on the document itself, so they hold for every copy:
  kFilmGrainOff,         // the first film grain video post switched off (it differs on every render)
  kPhysicalSamplerDown,  // the first physical video post's sampler brought from 2 down to 1
};

struct PinnedSetting {
  int32_t id;  // the render settings entry; unused by the video post kinds
  PinKind kind;
  int32_t value;
};

// The two video post kinds on their own, for a tool that applies them apart from a table.
void SwitchOffFilmGrain(const RenderData& renderData);
void LowerPhysicalSampler(const RenderData& renderData);

void ApplyPinnedSettings(BaseContainer& settings, const RenderData& renderData,
                         std::span<const PinnedSetting> table);

// What both tools pin, in this order, in the middle of their tables: the output as TIFF, and the
// entries the host documents by id only, at the value every batch render holds them.
extern const std::span<const PinnedSetting> kPinnedForEveryBatchRender;
