// The scene loader on arbitrary file text. A scene may name mesh files; those must stay inside the
// target's scratch folder, where a small cube waits, so that an input can never make the loader read a
// device or a file of the machine.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "documents/scene_document.h"
#include "fuzz_support.h"

namespace {

constexpr const char kCube[] =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n"
    "f 1 2 3 4\nf 5 8 7 6\nf 1 5 6 2\nf 4 3 7 8\nf 1 4 8 5\nf 2 6 7 3\n";

// The scene lies one folder down, so that the examples' "../meshes/cube.obj" finds the cube.
const std::filesystem::path& SceneFile() {
  static const std::filesystem::path file = [] {
    const fuzz_support::Scratch& scratch = fuzz_support::Scratch::Get();
    std::filesystem::create_directories(scratch.path() / "meshes");
    std::filesystem::create_directories(scratch.path() / "scenes");
    scratch.Write("meshes/cube.obj", kCube);
    return scratch.path() / "scenes" / "scene.zor";
  }();
  return file;
}

bool InsideScratch(const std::filesystem::path& path) {
  const std::string root = fuzz_support::Scratch::Get().path().string() + "/";
  return path.string().rfind(root, 0) == 0;
}

// Whether every mesh file the text could name resolves, as written, to a place inside the scratch
// folder. The loader reads the same document (a later duplicate key wins in both).
bool MeshFilesStayInside(const std::string& text) {
  const nlohmann::json root = nlohmann::json::parse(text, nullptr, false);
  if (root.is_discarded() || !root.is_object()) return true;
  const auto objects = root.find("objects");
  if (objects == root.end() || !objects->is_array()) return true;
  for (const nlohmann::json& object : *objects) {
    if (!object.is_object()) continue;
    const auto file = object.find("file");
    if (file == object.end() || !file->is_string()) continue;
    const std::filesystem::path resolved =
        (SceneFile().parent_path() / std::filesystem::u8path(file->get<std::string>())).lexically_normal();
    if (!InsideScratch(resolved)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!MeshFilesStayInside(text)) return -1;  // not kept in the corpus
  zorhost::load_scene_text(text, SceneFile());
  return 0;
}
