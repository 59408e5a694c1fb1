// The preview engine: primary rays only, flat faces lit without shadows or reflections. Meant to be
// quick, not right.
#include "render/shading.h"

namespace zorhost {

Vec3 preview_shade(const SceneModel& model, const SceneMaterial& material, Vec3 position, Vec3 normal) {
  return material.color * (direct_light(model, nullptr, position, normal) + Vec3{1, 1, 1} * kAmbient);
}

int32_t render_preview(const RenderJob& job) {
  RenderScene scene;
  prepare_scene(job, AcceleratorKind::fast_build, scene);
  HostBitmap& target = *job.target;
  CameraModel camera(scene.model->camera, target.width, target.height);
  return run_tiles(job, [&](int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        Ray ray(camera.origin, camera.direction(x + 0.5, y + 0.5));
        Hit hit;
        Vec3 color = scene.model->background;
        if (scene.closest(ray, kRayEpsilon, hit)) {
          color = preview_shade(*scene.model, scene.material(hit.material), ray.at(hit.t),
                                facing(hit.geometric_normal, ray.dir));
        }
        store_pixel(target, x, y, color);
      }
    }
  });
}

}  // namespace zorhost
