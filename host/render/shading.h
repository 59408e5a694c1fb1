// Shading pieces every engine shares: lights, tone mapping, a per-pixel random sequence, and the
// tile scheduler that spreads a frame over the render threads.
#pragma once
#include <cstdint>
#include <functional>

#include "bitmaps/bitmap_impl.h"
#include "render/render_scene.h"

namespace zorhost {

constexpr double kAmbient = 0.06;
constexpr double kRayEpsilon = 1e-6;

// What every engine gets to render one frame.
struct RenderJob {
  const HostDocument* document = nullptr;
  const HostContainer* settings = nullptr;
  HostBitmap* target = nullptr;  // already of the frame's size
  HostThread* thread = nullptr;
  HostRenderProgress progress = nullptr;
  void* progress_user = nullptr;
  Geometry* geometry = nullptr;
  bool crash = false;  // the scene's faults ask for a real fault in this render (see run_tiles)
};

// Takes the job's geometry into scene and builds the engine's acceleration structure over it. Filled
// in place: the structure refers to the scene's own geometry, so the scene must not move afterwards.
void prepare_scene(const RenderJob& job, AcceleratorKind kind, RenderScene& scene);

// Light arriving at `position` with surface normal `normal`, times the cosine term. Shadow rays are
// traced when `scene` is given; without it every light is seen.
Vec3 direct_light(const SceneModel& model, const RenderScene* scene, Vec3 position, Vec3 normal);

// The normal on the side the ray came from.
inline Vec3 facing(Vec3 normal, Vec3 ray_dir) {
  return dot(normal, ray_dir) > 0 ? -normal : normal;
}

// Linear colour to 8 bits: clamp and gamma 2.2.
void store_pixel(HostBitmap& target, int x, int y, Vec3 color);

// Deterministic random numbers, seeded per pixel so that a pixel's value never depends on which
// thread rendered it or in which order.
class PixelRandom {
 public:
  PixelRandom(uint32_t x, uint32_t y, uint32_t salt)
      : state_((static_cast<uint64_t>(y) << 32 | x) ^ (static_cast<uint64_t>(salt) * 0x9E3779B97F4A7C15ull)) {
  }
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

// Renders the frame in square tiles on render_thread_count() threads. Between tiles the host
// thread's break test is asked; answers ZOR_RENDER_OK or ZOR_RENDER_USER_BREAK. A job that asks for a
// crash faults on the first render worker thread as it starts (one is started for it also when the
// frame would be rendered on the calling thread alone).
using TileFunction = std::function<void(int x0, int y0, int x1, int y1)>;
int32_t run_tiles(const RenderJob& job, const TileFunction& render_tile);

// One ray per pixel through its centre, over the scene prepared with kind: trace(scene, ray) answers the
// pixel's colour. In tiles, as run_tiles renders them.
template <class Trace>
int32_t render_primary_rays(const RenderJob& job, AcceleratorKind kind, Trace trace) {
  RenderScene scene;
  prepare_scene(job, kind, scene);
  HostBitmap& target = *job.target;
  CameraModel camera(scene.model->camera, target.width, target.height);
  return run_tiles(job, [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x)
        store_pixel(target, x, y, trace(scene, Ray(camera.origin, camera.direction(x + 0.5, y + 0.5))));
    }
  });
}

// The preview model, shared with the hardware engine: lambert without shadows, plus ambient.
Vec3 preview_shade(const SceneModel& model, const SceneMaterial& material, Vec3 position, Vec3 normal);

// The engines. Each answers a ZOR_RENDER_ code.
int32_t render_standard(const RenderJob& job);
int32_t render_preview(const RenderJob& job);
int32_t render_physical(const RenderJob& job);
int32_t render_hardware(const RenderJob& job);

}  // namespace zorhost
