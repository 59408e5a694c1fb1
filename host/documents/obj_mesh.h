// Triangle meshes read from Wavefront OBJ files.
#pragma once
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "documents/vec3.h"

namespace zorhost {

struct TriangleMesh {
  std::vector<Vec3> vertices;
  std::vector<std::array<int, 3>> triangles;  // indices into vertices
};

// Polygons are fanned into triangles. Answers false with a reason when the file is missing, cannot
// be parsed, has no faces or points at vertices it does not have.
bool load_obj_mesh(const std::filesystem::path& file, TriangleMesh& mesh, std::string& error);

}  // namespace zorhost
