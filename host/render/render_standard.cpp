// The standard engine: one ray per pixel, hard shadows from every light, mirror reflections weighted
// by the material's "reflect". The legacy engine id renders with it too.
#include "render/shading.h"

namespace zorhost {
namespace {

constexpr int kMaxReflections = 5;

Vec3 trace(const RenderScene& scene, const Ray& ray, int depth) {
  const SceneModel& model = *scene.model;
  Hit hit;
  if (!scene.closest(ray, kRayEpsilon, hit)) return model.background;
  const SceneMaterial& material = scene.material(hit.material);
  Vec3 position = ray.at(hit.t);
  Vec3 normal = facing(hit.shading_normal, ray.dir);
  Vec3 offset_normal = facing(hit.geometric_normal, ray.dir);
  Vec3 local = material.color * (direct_light(model, &scene, position, normal) + Vec3{1, 1, 1} * kAmbient);
  if (material.reflect <= 0 || depth >= kMaxReflections) return local;
  Vec3 reflected = ray.dir - normal * (2 * dot(ray.dir, normal));
  Ray bounce(position + offset_normal * kRayEpsilon * 10, normalize(reflected));
  return local * (1 - material.reflect) + trace(scene, bounce, depth + 1) * material.reflect;
}

}  // namespace

int32_t render_standard(const RenderJob& job) {
  return render_primary_rays(job, AcceleratorKind::sah,
                             [](const RenderScene& scene, const Ray& ray) { return trace(scene, ray, 0); });
}

}  // namespace zorhost
