// The preview engine: primary rays only, flat faces lit without shadows or reflections. Meant to be
// quick, not right.
#include "render/shading.h"

namespace zorhost {

Vec3 preview_shade(const SceneModel& model, const SceneMaterial& material, Vec3 position, Vec3 normal) {
  return material.color * (direct_light(model, nullptr, position, normal) + Vec3{1, 1, 1} * kAmbient);
}

int32_t render_preview(const RenderJob& job) {
  return render_primary_rays(job, AcceleratorKind::fast_build, [](const RenderScene& scene, const Ray& ray) {
    Hit hit;
    if (!scene.closest(ray, kRayEpsilon, hit)) return scene.model->background;
    return preview_shade(*scene.model, scene.material(hit.material), ray.at(hit.t),
                         facing(hit.geometric_normal, ray.dir));
  });
}

}  // namespace zorhost
