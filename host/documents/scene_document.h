// What a HostDocument is inside zorhost: a scene loaded from a .zor file, its render data and its
// chain of video posts. Shared by the loader, the documents table and the renderers.
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "containers/container_impl.h"
#include "documents/scene_faults.h"
#include "documents/vec3.h"
#include "zor_api.h"

namespace zorhost {

struct SceneCamera {
  Vec3 position;
  Vec3 target;
  Vec3 up{0, 1, 0};
  double fov_degrees = 40;  // vertical
};

struct SceneLight {
  enum class Kind { point, directional } kind = Kind::point;
  Vec3 position;   // point lights
  Vec3 direction;  // directional lights: the direction the light travels, normalised
  Vec3 color{1, 1, 1};
  double intensity = 1;
};

struct SceneMaterial {
  std::string name;
  Vec3 color{0.7, 0.7, 0.7};
  double reflect = 0;
};

struct SceneObject {
  enum class Kind { sphere, plane, box, mesh } kind = Kind::sphere;
  Vec3 center;                      // sphere, box
  double radius = 1;                // sphere
  Vec3 point;                       // plane
  Vec3 normal;                      // plane, normalised
  Vec3 size;                        // box: full edge lengths
  std::filesystem::path mesh_file;  // mesh, resolved against the scene's folder
  Vec3 mesh_offset;
  Vec3 mesh_scale{1, 1, 1};
  int material = 0;  // index into SceneModel::materials
};

struct SceneModel {
  SceneCamera camera;
  std::vector<SceneLight> lights;
  std::vector<SceneMaterial> materials;  // [0] is the default for objects without one
  std::vector<SceneObject> objects;
  Vec3 background{0.05, 0.05, 0.08};
};

}  // namespace zorhost

struct HostVideoPost {
  int32_t type = 0;
  int32_t flags = 0;
  HostContainer settings;
  HostVideoPost* next = nullptr;
};

struct HostRenderData {
  HostContainer settings;
  std::vector<std::unique_ptr<HostVideoPost>> video_posts;  // chained in this order
};

struct HostDocument {
  std::filesystem::path file;
  double fps = 30;
  int64_t min_time_num = 0;
  int64_t min_time_den = 1;
  zorhost::SceneModel scene;
  HostRenderData render_data;
  zorhost::SceneFaults faults;
};

namespace zorhost {

// Loads and validates a scene file. On failure answers null and prints one console line naming the
// file, where the problem is and what it is.
std::unique_ptr<HostDocument> load_scene(const std::filesystem::path& file);

// Same, from text already in memory; `file` names the source in messages and anchors mesh paths.
std::unique_ptr<HostDocument> load_scene_text(const std::string& text, const std::filesystem::path& file);

const HostDocumentTable* documents_table();

}  // namespace zorhost
