// Reading .zor scene files. Everything a renderer relies on is checked here, so that a render never
// meets a half-valid scene; the one exception is a mesh file that disappears after loading.
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "containers/container_json.h"
#include "containers/json_input.h"
#include "documents/obj_mesh.h"
#include "documents/scene_document.h"
#include "gui/console.h"
#include "strings/string_impl.h"

namespace zorhost {
namespace {

using nlohmann::json;

// A semantic problem at a place in the document, named by its JSON path.
struct SceneError {
  std::string where;
  std::string what;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw SceneError{where, what};
}

std::string member_path(const std::string& parent, const std::string& key) {
  return parent.empty() ? key : parent + "." + key;
}

std::string index_path(const std::string& parent, size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

double number(const json& value, const std::string& where) {
  if (!value.is_number()) fail(where, "must be a number");
  return value.get<double>();
}

Vec3 vec3(const json& value, const std::string& where) {
  if (!value.is_array() || value.size() != 3) fail(where, "must be an array of 3 numbers");
  return {number(value[0], index_path(where, 0)), number(value[1], index_path(where, 1)),
          number(value[2], index_path(where, 2))};
}

const json& required(const json& object, const char* key, const std::string& parent) {
  auto it = object.find(key);
  if (it == object.end()) fail(member_path(parent, key), "is missing");
  return *it;
}

double positive(const json& value, const std::string& where) {
  double v = number(value, where);
  if (!(v > 0)) fail(where, "must be positive");
  return v;
}

Vec3 color(const json& value, const std::string& where) {
  Vec3 c = vec3(value, where);
  if (c.x < 0 || c.y < 0 || c.z < 0) fail(where, "colour components must not be negative");
  return c;
}

// The typed container form is shared with stored settings; its errors carry their JSON path.
void read_container(const json& object, const std::string& where, HostContainer& out) {
  try {
    out = container_from_json(object, out.id, where);
  } catch (const ContainerJsonError& e) {
    fail(e.where, e.what_is_wrong);
  }
}

void check_resolution(const HostContainer& settings, int32_t id, const std::string& where) {
  auto it = settings.values.find(id);
  if (it == settings.values.end()) fail(where, "is missing");
  double v = 0;
  if (auto* i = std::get_if<int32_t>(&it->second)) {
    v = *i;
  } else if (auto* f = std::get_if<double>(&it->second)) {
    v = *f;
  } else {
    fail(where, "must be a number");
  }
  if (!(v >= 1) || v > 16384) fail(where, "must be at least 1 and at most 16384");
}

void read_render_settings(const json& root, HostDocument& doc) {
  const json& settings = required(root, "renderSettings", "");
  read_container(settings, "renderSettings", doc.render_data.settings);
  check_resolution(doc.render_data.settings, kSettingWidth, "renderSettings.5008");
  check_resolution(doc.render_data.settings, kSettingHeight, "renderSettings.5009");
}

void read_video_posts(const json& root, HostDocument& doc) {
  auto it = root.find("videoPosts");
  if (it == root.end()) return;
  if (!it->is_array()) fail("videoPosts", "must be an array");
  auto& chain = doc.render_data.video_posts;
  for (size_t i = 0; i < it->size(); ++i) {
    const json& entry = (*it)[i];
    std::string where = index_path("videoPosts", i);
    if (!entry.is_object()) fail(where, "must be an object");
    auto vp = std::make_unique<HostVideoPost>();
    const json& type = required(entry, "type", where);
    if (!type.is_number_integer()) fail(member_path(where, "type"), "must be an integer");
    vp->type = type.get<int32_t>();
    if (entry.contains("flags")) {
      if (!entry["flags"].is_number_integer()) {
        fail(member_path(where, "flags"), "must be an integer");
      }
      vp->flags = entry["flags"].get<int32_t>();
    }
    if (entry.contains("settings")) {
      read_container(entry["settings"], member_path(where, "settings"), vp->settings);
    }
    if (!chain.empty()) chain.back()->next = vp.get();
    chain.push_back(std::move(vp));
  }
}

void read_camera(const json& root, SceneModel& scene) {
  const json& camera = required(root, "camera", "");
  if (!camera.is_object()) fail("camera", "must be an object");
  scene.camera.position = vec3(required(camera, "position", "camera"), "camera.position");
  scene.camera.target = vec3(required(camera, "target", "camera"), "camera.target");
  if (camera.contains("up")) scene.camera.up = vec3(camera["up"], "camera.up");
  if (camera.contains("fov")) scene.camera.fov_degrees = number(camera["fov"], "camera.fov");
  if (!(scene.camera.fov_degrees > 0 && scene.camera.fov_degrees < 180)) {
    fail("camera.fov", "must be between 0 and 180 degrees");
  }
  Vec3 forward = scene.camera.target - scene.camera.position;
  if (length(forward) == 0) fail("camera.target", "must differ from camera.position");
  if (length(cross(forward, scene.camera.up)) < 1e-9 * length(forward) * length(scene.camera.up)) {
    fail("camera.up", "must not be parallel to the viewing direction");
  }
}

void read_lights(const json& root, SceneModel& scene) {
  const json& lights = required(root, "lights", "");
  if (!lights.is_array()) fail("lights", "must be an array");
  if (lights.empty()) fail("lights", "a scene needs at least one light");
  for (size_t i = 0; i < lights.size(); ++i) {
    const json& entry = lights[i];
    std::string where = index_path("lights", i);
    if (!entry.is_object()) fail(where, "must be an object");
    SceneLight light;
    std::string type = entry.value("type", std::string("point"));
    if (type == "point") {
      light.kind = SceneLight::Kind::point;
      light.position = vec3(required(entry, "position", where), member_path(where, "position"));
    } else if (type == "directional") {
      light.kind = SceneLight::Kind::directional;
      Vec3 d = vec3(required(entry, "direction", where), member_path(where, "direction"));
      if (length(d) == 0) fail(member_path(where, "direction"), "must not be zero");
      light.direction = normalize(d);
    } else {
      fail(member_path(where, "type"), "unknown light type \"" + type + "\"");
    }
    if (entry.contains("color")) light.color = color(entry["color"], member_path(where, "color"));
    if (entry.contains("intensity")) {
      light.intensity = positive(entry["intensity"], member_path(where, "intensity"));
    }
    scene.lights.push_back(light);
  }
}

void read_materials(const json& root, SceneModel& scene) {
  scene.materials.push_back(SceneMaterial{"", {0.7, 0.7, 0.7}, 0});
  auto it = root.find("materials");
  if (it == root.end()) return;
  if (!it->is_object()) fail("materials", "must be an object of named materials");
  for (const auto& [name, entry] : it->items()) {
    std::string where = member_path("materials", name);
    if (!entry.is_object()) fail(where, "must be an object");
    SceneMaterial material;
    material.name = name;
    if (entry.contains("color")) material.color = color(entry["color"], where + ".color");
    if (entry.contains("reflect")) {
      material.reflect = number(entry["reflect"], where + ".reflect");
      if (material.reflect < 0 || material.reflect > 1) {
        fail(where + ".reflect", "must be between 0 and 1");
      }
    }
    scene.materials.push_back(material);
  }
}

int material_index(const json& entry, const std::string& where, const SceneModel& scene) {
  if (!entry.contains("material")) return 0;
  if (!entry["material"].is_string()) fail(where + ".material", "must be a material name");
  std::string name = entry["material"].get<std::string>();
  for (size_t i = 1; i < scene.materials.size(); ++i) {
    if (scene.materials[i].name == name) return static_cast<int>(i);
  }
  fail(where + ".material", "unknown material \"" + name + "\"");
}

void read_objects(const json& root, const std::filesystem::path& scene_file, SceneModel& scene) {
  const json& objects = required(root, "objects", "");
  if (!objects.is_array()) fail("objects", "must be an array");
  for (size_t i = 0; i < objects.size(); ++i) {
    const json& entry = objects[i];
    std::string where = index_path("objects", i);
    if (!entry.is_object()) fail(where, "must be an object");
    const json& type_value = required(entry, "type", where);
    if (!type_value.is_string()) fail(where + ".type", "must be a string");
    std::string type = type_value.get<std::string>();
    SceneObject object;
    if (type == "sphere") {
      object.kind = SceneObject::Kind::sphere;
      object.center = vec3(required(entry, "center", where), where + ".center");
      object.radius = positive(required(entry, "radius", where), where + ".radius");
    } else if (type == "plane") {
      object.kind = SceneObject::Kind::plane;
      object.point = entry.contains("point") ? vec3(entry["point"], where + ".point") : Vec3{};
      Vec3 n = vec3(required(entry, "normal", where), where + ".normal");
      if (length(n) == 0) fail(where + ".normal", "must not be zero");
      object.normal = normalize(n);
    } else if (type == "box") {
      object.kind = SceneObject::Kind::box;
      object.center = vec3(required(entry, "center", where), where + ".center");
      object.size = vec3(required(entry, "size", where), where + ".size");
      if (!(object.size.x > 0 && object.size.y > 0 && object.size.z > 0)) {
        fail(where + ".size", "must be positive");
      }
    } else if (type == "mesh") {
      object.kind = SceneObject::Kind::mesh;
      const json& file = required(entry, "file", where);
      if (!file.is_string() || file.get<std::string>().empty()) {
        fail(where + ".file", "must be a file name");
      }
      object.mesh_file = scene_file.parent_path() / std::filesystem::u8path(file.get<std::string>());
      if (entry.contains("position")) object.mesh_offset = vec3(entry["position"], where + ".position");
      if (entry.contains("scale")) {
        const json& scale = entry["scale"];
        if (scale.is_array()) {
          object.mesh_scale = vec3(scale, where + ".scale");
          if (!(object.mesh_scale.x > 0 && object.mesh_scale.y > 0 && object.mesh_scale.z > 0)) {
            fail(where + ".scale", "must be positive");
          }
        } else {
          double s = positive(scale, where + ".scale");
          object.mesh_scale = {s, s, s};
        }
      }
      // Parsed once here so that a broken mesh is reported with the scene that uses it; the
      // renderer reads the file again when it renders.
      TriangleMesh mesh;
      std::string error;
      if (!load_obj_mesh(object.mesh_file, mesh, error)) fail(where + ".file", error);
    } else {
      fail(where + ".type", "unknown object type \"" + type + "\"");
    }
    object.material = material_index(entry, where, scene);
    scene.objects.push_back(object);
  }
}

int32_t checked_int32(const json& value, const std::string& where) {
  if (!value.is_number_integer()) fail(where, "must be an integer");
  int64_t v = value.get<int64_t>();
  if (v < 0 || v > std::numeric_limits<int32_t>::max()) fail(where, "out of range");
  return static_cast<int32_t>(v);
}

void read_faults(const json& root, SceneFaults& faults) {
  auto it = root.find("faults");
  if (it == root.end()) return;
  if (!it->is_object()) fail("faults", "must be an object");
  faults.present = true;
  for (const auto& [key, value] : it->items()) {
    std::string where = member_path("faults", key);
    if (key == "crash") {
      if (!value.is_string()) fail(where, "must be a string");
      faults.crash = value.get<std::string>();
    } else if (key == "lowMemoryEvents") {
      faults.low_memory_events = checked_int32(value, where);
    } else if (key == "delayMs") {
      faults.delay_ms = checked_int32(value, where);
    } else {
      fail(where, "unknown fault");
    }
  }
}

void read_document(const json& root, HostDocument& doc) {
  if (!root.is_object()) fail("(top level)", "a scene file holds one JSON object");
  const json& version = required(root, "zor", "");
  if (!version.is_number_integer() || version.get<int64_t>() != 1) {
    fail("zor", "unsupported scene format version (this host reads 1)");
  }
  if (root.contains("fps")) doc.fps = positive(root["fps"], "fps");
  if (root.contains("minTime")) {
    const json& t = root["minTime"];
    if (!t.is_array() || t.size() != 2 || !t[0].is_number_integer() || !t[1].is_number_integer() ||
        t[1].get<int64_t>() <= 0) {
      fail("minTime", "must be [numerator, denominator] with a positive denominator");
    }
    doc.min_time_num = t[0].get<int64_t>();
    doc.min_time_den = t[1].get<int64_t>();
  }
  read_render_settings(root, doc);
  read_video_posts(root, doc);
  read_camera(root, doc.scene);
  read_lights(root, doc.scene);
  read_materials(root, doc.scene);
  read_objects(root, doc.file, doc.scene);
  if (root.contains("background")) doc.scene.background = color(root["background"], "background");
  read_faults(root, doc.faults);
}

void report(const std::filesystem::path& file, const std::string& message) {
  console_line("Scene not loaded: " + file.string() + ": " + message);
}

}  // namespace

std::unique_ptr<HostDocument> load_scene_text(const std::string& text, const std::filesystem::path& file) {
  json root;
  JsonInputError parse_error;
  if (!parse_json_input(text, &root, &parse_error)) {
    report(file, parse_error.text());
    return nullptr;
  }
  auto doc = std::make_unique<HostDocument>();
  doc->file = file;
  try {
    read_document(root, *doc);
  } catch (const SceneError& e) {
    report(file, e.where + ": " + e.what);
    return nullptr;
  } catch (const json::exception& e) {
    // value conversions that the checks above did not foresee
    report(file, std::string("invalid value: ") + e.what());
    return nullptr;
  }
  return doc;
}

std::unique_ptr<HostDocument> load_scene(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || std::filesystem::is_directory(file, ec)) {
    report(file, "cannot be opened");
    return nullptr;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!in.good() && !in.eof()) {
    report(file, "cannot be read");
    return nullptr;
  }
  return load_scene_text(text.str(), file);
}

}  // namespace zorhost
