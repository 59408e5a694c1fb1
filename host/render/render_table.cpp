// The render family: checks the request, reads the meshes, hands the frame to the engine that the
// settings name, and runs the video posts that work on the finished image.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <thread>

#include "app/crash_handler.h"
#include "app/entry_guard.h"
#include "app/host_table.h"
#include "bitmaps/bitmap_impl.h"
#include "containers/container_integer.h"
#include "documents/scene_errors.h"
#include "documents/scene_faults.h"
#include "gui/console.h"
#include "render/shading.h"

namespace zorhost {
namespace {

// On the console for whoever watches, and kept for the run's report folder (scene_errors.h).
void render_failed(const HostDocument& doc, const std::string& why) {
  console_line("Render failed: " + doc.file.string() + ": " + why);
  note_scene_error(doc.file, "render", why);
}

constexpr double kDefaultGrainStrength = 0.05;

// Resolution entries may be floats or integers; both are cut to whole pixels.
int settings_size(const HostContainer& settings, int32_t id) {
  return container_integer<int32_t>(settings, id).value_or(0);
}

// No entry is the standard engine; an entry that is no number names no engine.
int32_t settings_engine(const HostContainer& settings) {
  if (!settings.values.contains(ZOR_RENDER_SETTING_ENGINE)) return ZOR_ENGINE_STANDARD;
  return container_integer<int32_t>(settings, ZOR_RENDER_SETTING_ENGINE).value_or(-1);
}

// Grain is meant to look like film, so it differs on every render; a fresh clock-based seed (plus a
// counter, for two renders within one clock tick) gives that.
void apply_film_grain(const HostVideoPost& vp, HostBitmap& bmp) {
  static std::atomic<uint64_t> renders{0};
  double strength = kDefaultGrainStrength;
  auto it = vp.settings.values.find(ZOR_FILM_GRAIN_STRENGTH);
  if (it != vp.settings.values.end()) {
    if (auto* f = std::get_if<double>(&it->second)) strength = *f;
  }
  uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                  (renders++ * 0x9E3779B97F4A7C15ull);
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> noise(-strength * 255, strength * 255);
  for (size_t i = 0; i < bmp.pixels.size(); i += 3) {
    double n = noise(random);
    for (size_t c = 0; c < 3; ++c) {
      bmp.pixels[i + c] = static_cast<uint8_t>(std::clamp(std::lround(bmp.pixels[i + c] + n), 0L, 255L));
    }
  }
}

// A scene's delayMs: the time passes in short slices, each after the thread's break test, so that a
// cancelled run is not kept waiting by a long delay. False when the break test stopped it.
bool spend_delay(int32_t delay_ms, HostThread* thread) {
  if (delay_ms <= 0) return true;
  constexpr auto kSlice = std::chrono::milliseconds(10);
  const HostThreadTable* threads = threads_table();
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
  for (;;) {
    if (thread && threads->test_break(thread)) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, end - now));
  }
}

int32_t render(HostDocument* doc, const HostContainer* settings, HostBitmap* target, HostThread* thread,
               HostRenderProgress progress, void* progress_user) {
  if (!doc || !target) return ZOR_RENDER_FAILED;
  if (!settings) settings = &doc->render_data.settings;
  int width = settings_size(*settings, ZOR_RENDER_SETTING_WIDTH);
  int height = settings_size(*settings, ZOR_RENDER_SETTING_HEIGHT);
  if (width <= 0 || height <= 0) {
    render_failed(
        *doc, "the render size " + std::to_string(width) + " x " + std::to_string(height) + " is not valid");
    return ZOR_RENDER_FAILED;
  }
  if (target->depth == 0 || target->width != width || target->height != height) {
    render_failed(*doc, "the bitmap is " + std::to_string(target->width) + " x " +
                            std::to_string(target->height) + " but the render settings ask for " +
                            std::to_string(width) + " x " + std::to_string(height));
    return ZOR_RENDER_FAILED;
  }
  int32_t engine = settings_engine(*settings);
  int32_t (*engine_function)(const RenderJob&) = nullptr;
  switch (engine) {
    case ZOR_ENGINE_STANDARD:
    case ZOR_ENGINE_LEGACY:
      engine_function = render_standard;
      break;
    case ZOR_ENGINE_PREVIEW:
      engine_function = render_preview;
      break;
    case ZOR_ENGINE_PHYSICAL:
      engine_function = render_physical;
      break;
    case ZOR_ENGINE_HARDWARE:
      engine_function = render_hardware;
      break;
    default:
      render_failed(*doc, "unknown render engine " + std::to_string(engine));
      return ZOR_RENDER_FAILED;
  }
  const bool obey_faults = faults_obeyed(doc->faults);
  // a scene's memoryMb, held (every page written, so it is really in use) while the delay passes
  std::unique_ptr<char[]> ballast;
  if (obey_faults && doc->faults.memory_mb > 0) {
    const size_t bytes = size_t(doc->faults.memory_mb) << 20;
    ballast.reset(new (std::nothrow) char[bytes]);
    if (!ballast) return ZOR_RENDER_OUT_OF_MEMORY;
    std::memset(ballast.get(), 1, bytes);
  }
  if (obey_faults && !spend_delay(doc->faults.delay_ms, thread)) return ZOR_RENDER_USER_BREAK;
  Geometry geometry;
  std::string error;
  if (!build_geometry(doc->scene, geometry, error)) {
    render_failed(*doc, error);
    return ZOR_RENDER_ASSET_MISSING;
  }
  RenderJob job{doc, settings, target, thread, progress, progress_user, &geometry};
  job.crash = obey_faults && (doc->faults.crash == kCrashOnRender ||
                              (doc->faults.crash == kCrashOnFullRender && engine != ZOR_ENGINE_PREVIEW));
  int32_t result = engine_function(job);
  if (result != ZOR_RENDER_OK) return result;
  for (const auto& vp : doc->render_data.video_posts) {
    if (vp->type == ZOR_VIDEOPOST_FILM_GRAIN && !(vp->flags & ZOR_VIDEOPOST_FLAG_OFF)) {
      apply_film_grain(*vp, *target);
    }
  }
  return ZOR_RENDER_OK;
}

int32_t render_render_document(HostDocument* doc, const HostContainer* settings, HostBitmap* target,
                               int32_t /*flags*/, HostThread* thread, HostRenderProgress progress,
                               void* progress_user) {
  return guarded("render.render_document", int32_t{ZOR_RENDER_FAILED}, [&]() -> int32_t {
    CrashActivity activity("rendering", doc ? doc->file.string() : std::string());
    try {
      return render(doc, settings, target, thread, progress, progress_user);
    } catch (const std::bad_alloc&) {
      if (doc) note_scene_error(doc->file, "render", "out of memory");
      return ZOR_RENDER_OUT_OF_MEMORY;  // a scene too big for this machine is a result, not a fault
    } catch (const std::exception& e) {
      if (doc) {
        render_failed(*doc, e.what());
      } else {
        console_line(std::string("Render failed: ") + e.what());
      }
      return ZOR_RENDER_FAILED;
    }
  });
}

}  // namespace

const HostRenderTable* render_table() {
  static const HostRenderTable kTable{
      .size = sizeof(HostRenderTable),
      .render_document = render_render_document,
  };
  return &kTable;
}

}  // namespace zorhost
