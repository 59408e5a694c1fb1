// The renderers' view of a scene: primitives with bounds, flattened meshes, the camera model and the
// closest-hit / any-hit queries, whatever acceleration structure answers them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/scene_document.h"

namespace zorhost {

struct Ray {
  Vec3 origin;
  Vec3 dir;
  Vec3 inv_dir;
  Ray() = default;
  Ray(Vec3 o, Vec3 d) : origin(o), dir(d), inv_dir{1.0 / d.x, 1.0 / d.y, 1.0 / d.z} {}
  Vec3 at(double t) const { return origin + dir * t; }
};

struct Bounds {
  Vec3 lo{1e300, 1e300, 1e300};
  Vec3 hi{-1e300, -1e300, -1e300};
  void grow(Vec3 p) {
    lo = min_each(lo, p);
    hi = max_each(hi, p);
  }
  void grow(const Bounds& b) {
    lo = min_each(lo, b.lo);
    hi = max_each(hi, b.hi);
  }
  Vec3 center() const { return (lo + hi) * 0.5; }
  Vec3 extent() const { return hi - lo; }
  double area() const {
    Vec3 e = extent();
    return e.x < 0 ? 0 : 2 * (e.x * e.y + e.y * e.z + e.z * e.x);
  }
  // Slab test; answers whether [tmin, tmax] overlaps the box, and the entry distance.
  bool hit(const Ray& ray, double tmin, double tmax, double& entry) const;
};

struct Hit {
  double t = 0;
  int primitive = -1;  // primitives first, then planes (index primitive_count + plane)
  Vec3 geometric_normal;
  Vec3 shading_normal;  // interpolated on meshes
  int material = 0;
};

struct Triangle {
  Vec3 v0, e1, e2;
  Vec3 n0, n1, n2;  // vertex normals for smooth shading
};

struct Primitive {
  enum class Kind : uint8_t { sphere, box, triangle } kind;
  int index;  // into spheres, boxes or triangles
  int material;
};

struct Sphere {
  Vec3 center;
  double radius;
};

struct Plane {
  Vec3 point;
  Vec3 normal;
  int material;
};

// Everything that intersects: primitives that a BVH can hold, and infinite planes that it cannot.
struct Geometry {
  std::vector<Primitive> primitives;
  std::vector<Sphere> spheres;
  std::vector<Bounds> boxes;
  std::vector<Triangle> triangles;
  std::vector<Plane> planes;

  Bounds bounds(int primitive) const;
  Vec3 centroid(int primitive) const { return bounds(primitive).center(); }
  // Tests one primitive; on a hit closer than `hit.t` (or as close with a lower index) fills `hit`.
  bool intersect(int primitive, const Ray& ray, double tmin, Hit& hit) const;
};

// An acceleration structure over Geometry::primitives. Every implementation must report the same
// hit for the same ray: the closest, ties going to the lowest primitive index.
class Accelerator {
 public:
  virtual ~Accelerator() = default;
  virtual bool closest(const Ray& ray, double tmin, Hit& hit) const = 0;
  virtual bool any(const Ray& ray, double tmin, double tmax) const = 0;
  virtual size_t node_bytes() const = 0;
};

enum class AcceleratorKind { sah = 0, fast_build = 1, compact = 2 };
std::unique_ptr<Accelerator> build_sah_bvh(const Geometry& geometry);
std::unique_ptr<Accelerator> build_fast_bvh(const Geometry& geometry);
std::unique_ptr<Accelerator> build_compact_bvh(const Geometry& geometry);
std::unique_ptr<Accelerator> build_accelerator(const Geometry& geometry, AcceleratorKind kind);

struct CameraModel {
  Vec3 origin, forward, right, up;  // right and up scaled to the image plane at distance 1
  int width = 0, height = 0;
  CameraModel(const SceneCamera& camera, int width, int height);
  // Direction through image position (x, y) in pixels, (0, 0) the top-left corner, normalised.
  Vec3 direction(double x, double y) const;
};

// A scene ready to render: geometry, materials, lights and the acceleration structure.
struct RenderScene {
  const SceneModel* model = nullptr;
  Geometry geometry;
  std::unique_ptr<Accelerator> accelerator;

  bool closest(const Ray& ray, double tmin, Hit& hit) const;
  bool occluded(const Ray& ray, double tmin, double tmax) const;
  const SceneMaterial& material(int index) const { return model->materials[index]; }
};

// Flattens the scene's objects into geometry, reading mesh files now. On a missing or broken mesh
// answers false with the reason.
bool build_geometry(const SceneModel& model, Geometry& geometry, std::string& error);

}  // namespace zorhost
