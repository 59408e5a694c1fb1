// The physical engine: a path tracer. Diffuse bounces are cosine-sampled, lights are sampled directly
// at every diffuse vertex, mirrors are chosen with the material's "reflect" as probability, and the
// background lights the scene as a sky. The physical video post picks the samples per pixel and the
// acceleration structure.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "containers/container_integer.h"
#include "render/shading.h"

namespace zorhost {
namespace {

constexpr int kMaxBounces = 4;
constexpr int kDefaultSamples = 4;
constexpr int kMaxSamples = 1024;

struct PhysicalSettings {
  int samples = kDefaultSamples;
  AcceleratorKind accelerator = AcceleratorKind::sah;
};

int32_t settings_int(const HostContainer& c, int32_t id, int32_t def) {
  return container_integer<int32_t>(c, id).value_or(def);
}

PhysicalSettings read_settings(const HostDocument& doc) {
  PhysicalSettings s;
  for (const auto& vp : doc.render_data.video_posts) {
    if (vp->type != ZOR_VIDEOPOST_PHYSICAL) continue;
    s.samples = std::clamp(settings_int(vp->settings, ZOR_PHYSICAL_SAMPLER, kDefaultSamples), 1, kMaxSamples);
    int accel = settings_int(vp->settings, ZOR_PHYSICAL_STRUCTURE, 0);
    s.accelerator = accel == 1   ? AcceleratorKind::fast_build
                    : accel == 2 ? AcceleratorKind::compact
                                 : AcceleratorKind::sah;
    break;
  }
  return s;
}

// An orthonormal frame around n, for turning a sampled hemisphere direction into world space.
void frame(Vec3 n, Vec3& t, Vec3& b) {
  Vec3 helper = std::fabs(n.x) > 0.5 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
  t = normalize(cross(helper, n));
  b = cross(n, t);
}

Vec3 cosine_direction(Vec3 n, PixelRandom& random) {
  double u = random.uniform(), v = random.uniform();
  double r = std::sqrt(u), phi = 2 * std::numbers::pi * v;
  Vec3 t, b;
  frame(n, t, b);
  return normalize(t * (r * std::cos(phi)) + b * (r * std::sin(phi)) + n * std::sqrt(1 - u));
}

Vec3 trace_path(const RenderScene& scene, Ray ray, PixelRandom& random) {
  const SceneModel& model = *scene.model;
  Vec3 radiance, throughput{1, 1, 1};
  for (int bounce = 0; bounce <= kMaxBounces; ++bounce) {
    Hit hit;
    if (!scene.closest(ray, kRayEpsilon, hit)) {
      radiance += throughput * model.background;
      break;
    }
    const SceneMaterial& material = scene.material(hit.material);
    Vec3 position = ray.at(hit.t);
    Vec3 normal = facing(hit.shading_normal, ray.dir);
    Vec3 offset = position + facing(hit.geometric_normal, ray.dir) * kRayEpsilon * 10;
    if (material.reflect > 0 && random.uniform() < material.reflect) {
      Vec3 reflected = ray.dir - normal * (2 * dot(ray.dir, normal));
      ray = Ray(offset, normalize(reflected));
      continue;
    }
    throughput = throughput * material.color;
    radiance += throughput * direct_light(model, &scene, position, normal);
    ray = Ray(offset, cosine_direction(normal, random));
  }
  return radiance;
}

}  // namespace

int32_t render_physical(const RenderJob& job) {
  PhysicalSettings settings = read_settings(*job.document);
  RenderScene scene;
  prepare_scene(job, settings.accelerator, scene);
  HostBitmap& target = *job.target;
  CameraModel camera(scene.model->camera, target.width, target.height);
  return run_tiles(job, [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        PixelRandom random(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 0x5eed);
        Vec3 sum;
        for (int s = 0; s < settings.samples; ++s) {
          double jx = random.uniform(), jy = random.uniform();
          sum += trace_path(scene, Ray(camera.origin, camera.direction(x + jx, y + jy)), random);
        }
        store_pixel(target, x, y, sum / settings.samples);
      }
    }
  });
}

}  // namespace zorhost
