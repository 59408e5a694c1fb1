#include "render/shading.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "app/crash_handler.h"
#include "app/host_table.h"
#include "documents/scene_faults.h"
#include "render/render_threads.h"

namespace zorhost {
namespace {
std::atomic<int> g_thread_count{0};
constexpr int kTileSize = 32;

RenderThreadStarter& thread_starter() {
  static RenderThreadStarter starter;
  return starter;
}

std::thread start_thread(std::function<void()> body) {
  if (const RenderThreadStarter& starter = thread_starter()) return starter(std::move(body));
  return std::thread(std::move(body));
}
}  // namespace

void set_render_thread_starter(RenderThreadStarter starter) {
  thread_starter() = std::move(starter);
}

void set_render_thread_count(int count) {
  g_thread_count = std::max(0, count);
}

int render_thread_count() {
  int count = g_thread_count;
  if (count > 0) return count;
  const HostThreadTable* threads = threads_table();
  if (threads && threads->cpu_count) count = threads->cpu_count();
  if (count <= 0) count = static_cast<int>(std::thread::hardware_concurrency());
  return std::max(1, count);
}

Vec3 direct_light(const SceneModel& model, const RenderScene* scene, Vec3 position, Vec3 normal) {
  Vec3 sum;
  for (const SceneLight& light : model.lights) {
    Vec3 to_light;
    double distance = 1e300;
    double falloff = 1;
    if (light.kind == SceneLight::Kind::point) {
      Vec3 d = light.position - position;
      distance = length(d);
      if (distance == 0) continue;
      to_light = d / distance;
      falloff = 1.0 / (distance * distance);
    } else {
      to_light = -light.direction;
    }
    double cosine = dot(normal, to_light);
    if (cosine <= 0) continue;
    if (scene) {
      Ray shadow(position + normal * kRayEpsilon * 10, to_light);
      if (scene->occluded(shadow, kRayEpsilon, distance)) continue;
    }
    sum += light.color * (light.intensity * falloff * cosine);
  }
  return sum;
}

void store_pixel(HostBitmap& target, int x, int y, Vec3 color) {
  uint8_t* p = target.row(y) + static_cast<size_t>(x) * 3;
  for (int c = 0; c < 3; ++c) {
    double v = std::clamp(color[c], 0.0, 1.0);
    p[c] = static_cast<uint8_t>(std::pow(v, 1 / 2.2) * 255 + 0.5);
  }
}

int32_t run_tiles(const RenderJob& job, const TileFunction& render_tile) {
  const int width = job.target->width, height = job.target->height;
  const int columns = (width + kTileSize - 1) / kTileSize;
  const int rows = (height + kTileSize - 1) / kTileSize;
  const int tiles = columns * rows;
  std::atomic<int> next{0};
  std::atomic<bool> stop{false};
  std::mutex host_calls;  // the break test and the progress callback are not asked to be re-entrant
  int done = 0;
  const HostThreadTable* threads = threads_table();

  auto worker = [&] {
    for (;;) {
      if (stop) return;
      int tile = next++;
      if (tile >= tiles) return;
      if (job.thread && threads && threads->test_break) {
        std::lock_guard lock(host_calls);
        if (threads->test_break(job.thread)) {
          stop = true;
          return;
        }
      }
      int x0 = (tile % columns) * kTileSize, y0 = (tile / columns) * kTileSize;
      render_tile(x0, y0, std::min(width, x0 + kTileSize), std::min(height, y0 + kTileSize));
      if (job.progress) {
        std::lock_guard lock(host_calls);
        job.progress(job.progress_user, static_cast<double>(++done) / tiles);
      }
    }
  };

  int count = std::min(render_thread_count(), tiles);
  // a scene's crash happens on a render worker, where a renderer's own faults happen most often
  if (job.crash) count = std::max(count, 2);
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < count; ++i) {
      helpers.push_back(start_thread([&worker, &job, first = i == 1] {
        crash_note_thread_role("render worker");
        if (first && job.crash) fault_now(kCrashOnRender);
        worker();
      }));
    }
  } catch (const std::exception& e) {
    // The helpers already running use this frame: they stop and are joined before it goes, and the
    // image is incomplete, so the render failed.
    stop = true;
    for (auto& t : helpers) t.join();
    std::fprintf(stderr, "zorhost: render failed: cannot start a render thread: %s\n", e.what());
    return ZOR_RENDER_FAILED;
  }
  worker();
  for (auto& t : helpers) t.join();
  return stop ? ZOR_RENDER_USER_BREAK : ZOR_RENDER_OK;
}

void prepare_scene(const RenderJob& job, AcceleratorKind kind, RenderScene& scene) {
  scene.model = &job.document->scene;
  scene.geometry = std::move(*job.geometry);
  scene.accelerator = build_accelerator(scene.geometry, kind);
}

}  // namespace zorhost
