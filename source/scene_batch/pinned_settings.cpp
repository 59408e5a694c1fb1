#include "pinned_settings.h"

#include "zor_container.h"
#include "zor_document.h"

namespace {

constexpr int32_t kSamplerReplaced = 2;
constexpr int32_t kSamplerUsed = 1;

void Apply(BaseContainer& settings, const RenderData& renderData, const PinnedSetting& pin) {
  switch (pin.kind) {
    case PinKind::kBool:
      settings.SetBool(pin.id, pin.value != 0);
      break;
    case PinKind::kInt:
      settings.SetInt32(pin.id, pin.value);
      break;
    case PinKind::kFloat:
      settings.SetFloat(pin.id, double(pin.value));
      break;
    case PinKind::kWholeFloat:
      settings.SetFloat(pin.id, double(int32_t(settings.GetFloat(pin.id))));
      break;
    case PinKind::kIntOfRenderData:
      settings.SetInt32(pin.id, renderData.GetParameterInt(pin.id, 0));
      break;
    case PinKind::kTimeOfRenderData: {
      int64_t num = 0;
      int64_t den = 1;
      renderData.GetDataCopy().GetTime(pin.id, num, den);
      settings.SetTime(pin.id, num, den);
      break;
    }
    case PinKind::kNoLegacyEngine:
      if (settings.GetInt32(pin.id) == ZOR_ENGINE_LEGACY) settings.SetInt32(pin.id, ZOR_ENGINE_STANDARD);
      break;
    case PinKind::kFilmGrainOff:
      SwitchOffFilmGrain(renderData);
      break;
    case PinKind::kPhysicalSamplerDown:
      LowerPhysicalSampler(renderData);
      break;
  }
}

}  // namespace

void SwitchOffFilmGrain(const RenderData& renderData) {
  BaseVideoPost grain = renderData.FindVideoPost(ZOR_VIDEOPOST_FILM_GRAIN);
  if (grain.IsValid()) grain.SetFlags(grain.GetFlags() | ZOR_VIDEOPOST_FLAG_OFF);
}

void LowerPhysicalSampler(const RenderData& renderData) {
  BaseVideoPost physical = renderData.FindVideoPost(ZOR_VIDEOPOST_PHYSICAL);
  if (!physical.IsValid()) return;
  BaseContainer physicalSettings = physical.GetDataInstance();
  if (physicalSettings.IsValid() && physicalSettings.GetInt32(ZOR_PHYSICAL_SAMPLER) == kSamplerReplaced)
    physicalSettings.SetInt32(ZOR_PHYSICAL_SAMPLER, kSamplerUsed);
}

void ApplyPinnedSettings(BaseContainer& settings, const RenderData& renderData,
                         std::span<const PinnedSetting> table) {
  for (const PinnedSetting& pin : table) Apply(settings, renderData, pin);
}

namespace {
constexpr PinnedSetting kEveryBatchRender[] = {
    {5016, PinKind::kInt, 1},
    {5035, PinKind::kInt, 0},
    {5076, PinKind::kBool, 0},
    {6014, PinKind::kBool, 0},
    {5036, PinKind::kBool, 0},
    {5077, PinKind::kInt, 0},
    {ZOR_RENDER_SETTING_SAVE_FORMAT, PinKind::kInt, ZOR_FILTER_TIFF},
};
}  // namespace

const std::span<const PinnedSetting> kPinnedForEveryBatchRender(kEveryBatchRender);
