#include "documents/obj_mesh.h"

#include <tiny_obj_loader.h>

#include <system_error>

namespace zorhost {

bool load_obj_mesh(const std::filesystem::path& file, TriangleMesh& mesh, std::string& error) {
  mesh = {};
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    error = "mesh file not found: " + file.string();
    return false;
  }
  tinyobj::ObjReaderConfig config;
  config.triangulate = false;  // fanned below, so that every polygon keeps its winding
  config.vertex_color = false;
  config.mtl_search_path = "";  // materials come from the scene, never from .mtl files
  tinyobj::ObjReader reader;
  if (!reader.ParseFromFile(file.string(), config)) {
    error = "mesh file " + file.string() + " cannot be read: " + reader.Error();
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) error.pop_back();
    return false;
  }
  const auto& positions = reader.GetAttrib().vertices;
  const int vertex_count = static_cast<int>(positions.size() / 3);
  mesh.vertices.reserve(static_cast<size_t>(vertex_count));
  for (int i = 0; i < vertex_count; ++i) {
    mesh.vertices.emplace_back(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]);
  }
  for (const auto& shape : reader.GetShapes()) {
    size_t offset = 0;
    for (unsigned char face_size : shape.mesh.num_face_vertices) {
      for (size_t k = 1; k + 1 < face_size; ++k) {
        std::array<int, 3> tri{shape.mesh.indices[offset].vertex_index,
                               shape.mesh.indices[offset + k].vertex_index,
                               shape.mesh.indices[offset + k + 1].vertex_index};
        for (int index : tri) {
          if (index < 0 || index >= vertex_count) {
            error = "mesh file " + file.string() + " refers to a vertex it does not have";
            return false;
          }
        }
        mesh.triangles.push_back(tri);
      }
      offset += face_size;
    }
  }
  if (mesh.triangles.empty()) {
    error = "mesh file " + file.string() + " has no faces";
    return false;
  }
  return true;
}

}  // namespace zorhost
