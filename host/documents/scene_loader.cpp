// Reading .zor scene files. Everything a renderer relies on is checked here, so that a render never
// meets a half-valid scene; the one exception is a mesh file that disappears after loading.
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_map>
#include <vector>

#include "containers/container_json.h"
#include "containers/json_input.h"
#include "documents/obj_mesh.h"
#include "documents/scene_document.h"
#include "documents/scene_errors.h"
#include "gui/console.h"
#include "strings/string_impl.h"

namespace zorhost {
namespace {

using nlohmann::json;

// Coordinates, sizes, colours and intensities stay within this magnitude, so that the renderers'
// products and squares of them remain finite.
constexpr double kMaxMagnitude = 1e9;
constexpr int32_t kMaxResolution = 16384;

// A semantic problem at a place in the document, named by its JSON path. A value error is about the
// number at that place; its message shows the number as the file writes it.
struct SceneError {
  std::string where;
  std::string what;
  bool about_value = false;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw SceneError{where, what};
}

[[noreturn]] void fail_value(const std::string& where, const std::string& what) {
  throw SceneError{where, what, true};
}

std::string member_path(const std::string& parent, const std::string& key) {
  return parent.empty() ? key : parent + "." + key;
}

std::string index_path(const std::string& parent, size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

double number(const json& value, const std::string& where) {
  if (!value.is_number()) fail(where, "must be a number");
  double v = value.get<double>();
  if (!(std::fabs(v) <= kMaxMagnitude)) fail_value(where, "must be between -1e9 and 1e9");
  return v;
}

// A whole number from `low` to `high`. Integers past 64 bits and exponent forms arrive as doubles.
int64_t whole(const json& value, const std::string& where, int64_t low, int64_t high) {
  if (!value.is_number()) fail(where, "must be an integer");
  int64_t v = 0;
  bool fits = true;
  if (value.is_number_float()) {
    double d = value.get<double>();
    fits = d >= -0x1p63 && d < 0x1p63 && d == std::trunc(d);
    if (fits) v = static_cast<int64_t>(d);
  } else if (value.is_number_unsigned()) {
    fits = value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (fits) v = static_cast<int64_t>(value.get<uint64_t>());
  } else {
    v = value.get<int64_t>();
  }
  if (!fits || v < low || v > high) {
    fail_value(where, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return v;
}

int32_t whole32(const json& value, const std::string& where,
                int32_t low = std::numeric_limits<int32_t>::min(),
                int32_t high = std::numeric_limits<int32_t>::max()) {
  return static_cast<int32_t>(whole(value, where, low, high));
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
  if (!(v > 0)) fail_value(where, "must be positive");
  return v;
}

Vec3 color(const json& value, const std::string& where) {
  Vec3 c = vec3(value, where);
  const double parts[] = {c.x, c.y, c.z};
  for (size_t i = 0; i < 3; ++i) {
    if (parts[i] < 0) fail_value(index_path(where, i), "colour components must not be negative");
  }
  return c;
}

// A container key: a decimal 32-bit id.
bool parse_key(const std::string& key, int32_t& id) {
  auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), id);
  return ec == std::errc() && end == key.data() + key.size();
}

// The typed container form is shared with stored settings; its errors carry their JSON path. An error
// at a member whose key is an id is about the value there, and shows it when it is a number.
void read_container(const json& object, const std::string& where, HostContainer& out) {
  try {
    out = container_from_json(object, out.id, where);
  } catch (const ContainerJsonError& e) {
    int32_t id = 0;
    if (parse_key(e.where.substr(e.where.rfind('.') + 1), id)) fail_value(e.where, e.what_is_wrong);
    fail(e.where, e.what_is_wrong);
  }
}

// The settings entries that the renderers read as numbers are checked in the JSON they were read
// from, so that an error shows the value as written. Answers the member whose key names `id` (keys
// are read as numbers, so "05008" names 5008 too; the last one wins, as in the container) and sets
// `where` to its path.
const json* setting(const json& object, int32_t id, const std::string& parent, std::string& where) {
  const json* found = nullptr;
  where = member_path(parent, std::to_string(id));
  for (const auto& [key, value] : object.items()) {
    int32_t parsed = 0;
    if (parse_key(key, parsed) && parsed == id) {
      found = &value;
      where = member_path(parent, key);
    }
  }
  return found;
}

void check_resolution(const json& settings, int32_t id) {
  std::string where;
  const json* value = setting(settings, id, "renderSettings", where);
  if (!value) fail(where, "is missing");
  if (!value->is_number()) fail(where, "must be a number");
  double v = value->get<double>();
  if (!(v >= 1 && v <= kMaxResolution)) fail_value(where, "must be at least 1 and at most 16384");
}

void read_render_settings(const json& root, HostDocument& doc) {
  const json& settings = required(root, "renderSettings", "");
  read_container(settings, "renderSettings", doc.render_data.settings);
  check_resolution(settings, ZOR_RENDER_SETTING_WIDTH);
  check_resolution(settings, ZOR_RENDER_SETTING_HEIGHT);
  // Unknown engines load and fail when rendered; an id that is not a 32-bit integer cannot be one.
  std::string where;
  if (const json* engine = setting(settings, ZOR_RENDER_SETTING_ENGINE, "renderSettings", where))
    whole32(*engine, where);
}

// The physical video post's samples and acceleration structure, and the film grain's strength.
void check_video_post_settings(HostVideoPost& vp, const json& settings, const std::string& parent) {
  std::string where;
  if (vp.type == ZOR_VIDEOPOST_PHYSICAL) {
    if (const json* samples = setting(settings, ZOR_PHYSICAL_SAMPLER, parent, where))
      whole32(*samples, where);
    if (const json* accelerator = setting(settings, ZOR_PHYSICAL_STRUCTURE, parent, where)) {
      whole32(*accelerator, where, 0, 2);
    }
  } else if (vp.type == ZOR_VIDEOPOST_FILM_GRAIN) {
    if (const json* strength = setting(settings, ZOR_FILM_GRAIN_STRENGTH, parent, where)) {
      double v = number(*strength, where);
      if (v < 0 || v > 1) fail_value(where, "must be between 0 and 1");
      vp.settings.values[ZOR_FILM_GRAIN_STRENGTH] = v;  // the renderer reads the strength as a float only
    }
  }
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
    vp->type = whole32(required(entry, "type", where), member_path(where, "type"));
    if (entry.contains("flags")) vp->flags = whole32(entry["flags"], member_path(where, "flags"));
    if (entry.contains("settings")) {
      std::string settings_where = member_path(where, "settings");
      read_container(entry["settings"], settings_where, vp->settings);
      check_video_post_settings(*vp, entry["settings"], settings_where);
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
    fail_value("camera.fov", "must be between 0 and 180 degrees");
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
    std::string type = "point";
    if (entry.contains("type")) {
      if (!entry["type"].is_string()) fail(member_path(where, "type"), "must be a string");
      type = entry["type"].get<std::string>();
    }
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
        fail_value(where + ".reflect", "must be between 0 and 1");
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
  // A scene file that is a link finds its meshes where it really lies: a view of a scene folder made
  // of links (a shard of a Renderator run) renders as the folder itself does.
  std::error_code error;
  std::filesystem::path scene_folder = scene_file.parent_path();
  if (std::filesystem::is_symlink(scene_file, error)) {
    const std::filesystem::path target = std::filesystem::canonical(scene_file, error);
    if (!error) scene_folder = target.parent_path();
  }
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
      const double edges[] = {object.size.x, object.size.y, object.size.z};
      for (size_t e = 0; e < 3; ++e) {
        if (!(edges[e] > 0)) fail_value(index_path(where + ".size", e), "must be positive");
      }
    } else if (type == "mesh") {
      object.kind = SceneObject::Kind::mesh;
      const json& file = required(entry, "file", where);
      if (!file.is_string() || file.get<std::string>().empty()) {
        fail(where + ".file", "must be a file name");
      }
      object.mesh_file = scene_folder / std::filesystem::u8path(file.get<std::string>());
      if (entry.contains("position")) object.mesh_offset = vec3(entry["position"], where + ".position");
      if (entry.contains("scale")) {
        const json& scale = entry["scale"];
        if (scale.is_array()) {
          object.mesh_scale = vec3(scale, where + ".scale");
          const double factors[] = {object.mesh_scale.x, object.mesh_scale.y, object.mesh_scale.z};
          for (size_t f = 0; f < 3; ++f) {
            if (!(factors[f] > 0)) fail_value(index_path(where + ".scale", f), "must be positive");
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
      if (faults.crash != kCrashOnLoad && faults.crash != kCrashOnRender &&
          faults.crash != kCrashOnFullRender) {
        std::string shown = faults.crash.size() > 40 ? faults.crash.substr(0, 40) + "..." : faults.crash;
        fail(where,
             "unknown place to crash \"" + shown + "\" (must be \"load\", \"render\" or \"fullRender\")");
      }
    } else if (key == "lowMemoryEvents") {
      faults.low_memory_events = whole32(value, where, 0);
    } else if (key == "delayMs") {
      faults.delay_ms = whole32(value, where, 0);
    } else if (key == "memoryMb") {
      faults.memory_mb = whole32(value, where, 0);
    } else {
      fail(where, "unknown fault");
    }
  }
}

void read_document(const json& root, HostDocument& doc) {
  if (!root.is_object()) fail("(top level)", "a scene file holds one JSON object");
  const json& version = required(root, "zor", "");
  if (!version.is_number_integer() || version.get<int64_t>() != 1) {
    fail_value("zor", "unsupported scene format version (this host reads 1)");
  }
  if (root.contains("fps")) doc.fps = positive(root["fps"], "fps");
  if (root.contains("minTime")) {
    const json& t = root["minTime"];
    if (!t.is_array() || t.size() != 2) fail("minTime", "must be [numerator, denominator]");
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min(), kMax = std::numeric_limits<int64_t>::max();
    doc.min_time_num = whole(t[0], "minTime[0]", kMin, kMax);
    doc.min_time_den = whole(t[1], "minTime[1]", 1, kMax);
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
  note_scene_error(file, "load", message);
}

// Numbers as the file writes them, keyed by JSON path ("renderSettings.5300"), so that a value out of
// range for its field is reported as written, not as the double or integer it became.
using NumberTexts = std::unordered_map<std::string, std::string>;

// Builds the document like the library's own parser (a later duplicate key wins) while keeping the
// JSON path of the value being read and the text of every number.
class SceneJsonBuilder {
 public:
  SceneJsonBuilder(json& root, NumberTexts& numbers) : root_(root), numbers_(numbers) {}

  bool null() { return put(nullptr); }
  bool boolean(bool value) { return put(value); }
  bool number_integer(json::number_integer_t value) { return number(value, std::to_string(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return number(value, std::to_string(value)); }
  bool number_float(json::number_float_t value, const std::string& text) { return number(value, text); }
  bool string(std::string& value) { return put(std::move(value)); }
  bool binary(json::binary_t& value) { return put(json::binary(std::move(value))); }
  bool start_object(std::size_t) { return open(json::object()); }
  bool key(std::string& name) {
    levels_.back().key = std::move(name);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(json::array()); }
  bool end_array() { return close(); }

  bool parse_error(std::size_t byte, const std::string& token, const json::exception& e) {
    error_byte_ = byte;
    // The library's message starts with its own tag and position; keep only the reason.
    std::string what = e.what();
    size_t at = what.find(": ");
    error_ = "invalid JSON: " + (at == std::string::npos ? what : what.substr(at + 2));
    // The one range error of the syntax: a number beyond what a double holds.
    if (e.id == 406) {
      std::string where = path();
      error_ = (where.empty() ? "(top level)" : where) + " is " + token + ": the number is out of range";
    }
    return false;
  }

  bool too_deep() const { return too_deep_; }
  size_t error_byte() const { return error_byte_; }
  const std::string& error() const { return error_; }

 private:
  struct Level {
    json* container;
    std::string key;   // objects: the member being read
    size_t index = 0;  // arrays: the element being read
  };

  // The path of the value about to be stored, in the loader's notation. An array that is not the
  // innermost level holds the value being read as its last element already.
  std::string path() const {
    std::string result;
    for (size_t i = 0; i < levels_.size(); ++i) {
      const Level& level = levels_[i];
      if (level.container->is_array()) {
        size_t index = i + 1 < levels_.size() ? level.index - 1 : level.index;
        result += "[" + std::to_string(index) + "]";
      } else {
        if (!result.empty()) result += ".";
        result += level.key;
      }
    }
    return result;
  }

  template <typename Number>
  bool number(Number value, std::string text) {
    numbers_[path()] = std::move(text);
    return put(value);
  }

  // Stores a value where the parser is and answers where it went.
  template <typename Value>
  json* store(Value&& value) {
    if (levels_.empty()) {
      root_ = json(std::forward<Value>(value));
      return &root_;
    }
    Level& level = levels_.back();
    if (level.container->is_array()) {
      ++level.index;  // elements stored so far
      level.container->push_back(json(std::forward<Value>(value)));
      return &level.container->back();
    }
    json& slot = (*level.container)[level.key];
    slot = json(std::forward<Value>(value));
    return &slot;
  }
  template <typename Value>
  bool put(Value&& value) {
    store(std::forward<Value>(value));
    return true;
  }
  bool open(json empty) {
    if (levels_.size() >= static_cast<size_t>(kMaxJsonDepth)) {
      too_deep_ = true;
      return false;
    }
    json* container = store(std::move(empty));
    levels_.push_back({container, {}, 0});
    return true;
  }
  bool close() {
    levels_.pop_back();
    return true;
  }

  json& root_;
  NumberTexts& numbers_;
  std::vector<Level> levels_;
  size_t error_byte_ = 0;
  std::string error_;
  bool too_deep_ = false;
};

// Parses the text of a scene file into `root`, with the text of its numbers. On failure answers
// false and a message that starts with the line and column.
bool parse_scene_json(const std::string& text, json& root, NumberTexts& numbers, std::string& error) {
  SceneJsonBuilder builder(root, numbers);
  if (json::sax_parse(text, &builder)) return true;
  if (builder.too_deep()) {
    error = too_deep_error(text).text();
    return false;
  }
  // the parser counts the bytes it has read, the error's byte is the last of them
  const size_t byte = builder.error_byte();
  error = error_at(text, byte == 0 ? 0 : byte - 1, builder.error()).text();
  return false;
}

}  // namespace

std::unique_ptr<HostDocument> load_scene_text(const std::string& text, const std::filesystem::path& file) {
  json root;
  NumberTexts numbers;
  std::string error;
  if (!parse_scene_json(text, root, numbers, error)) {
    report(file, error);
    return nullptr;
  }
  auto doc = std::make_unique<HostDocument>();
  doc->file = file;
  try {
    read_document(root, *doc);
  } catch (const SceneError& e) {
    auto written = e.about_value ? numbers.find(e.where) : numbers.end();
    report(file,
           e.where + (written != numbers.end() ? " is " + written->second : std::string()) + ": " + e.what);
    return nullptr;
  } catch (const json::exception& e) {
    // value conversions that the checks above did not foresee
    report(file, std::string("invalid value: ") + e.what());
    return nullptr;
  }
  act_on_load_faults(doc->faults, file.string());
  return doc;
}

std::unique_ptr<HostDocument> load_scene(const std::filesystem::path& file) {
  std::string text;
  std::string problem;
  if (!read_input_file(file, &text, &problem)) {
    report(file, problem);
    return nullptr;
  }
  return load_scene_text(text, file);
}

}  // namespace zorhost
