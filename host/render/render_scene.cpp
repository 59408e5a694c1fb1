#include "render/render_scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "documents/obj_mesh.h"

namespace zorhost {

bool Bounds::hit(const Ray& ray, double tmin, double tmax, double& entry) const {
  for (int axis = 0; axis < 3; ++axis) {
    double inv = ray.inv_dir[axis];
    double t0 = (lo[axis] - ray.origin[axis]) * inv;
    double t1 = (hi[axis] - ray.origin[axis]) * inv;
    if (inv < 0) std::swap(t0, t1);
    // NaN (a ray in the slab plane times an infinite inverse) must not reject: fmax/fmin skip it
    tmin = std::fmax(tmin, t0);
    tmax = std::fmin(tmax, t1);
    if (tmin > tmax) return false;
  }
  entry = tmin;
  return true;
}

Bounds Geometry::bounds(int primitive) const {
  const Primitive& p = primitives[primitive];
  Bounds b;
  switch (p.kind) {
    case Primitive::Kind::sphere: {
      const Sphere& s = spheres[p.index];
      Vec3 r{s.radius, s.radius, s.radius};
      b.lo = s.center - r;
      b.hi = s.center + r;
      break;
    }
    case Primitive::Kind::box:
      b = boxes[p.index];
      break;
    case Primitive::Kind::triangle: {
      const Triangle& t = triangles[p.index];
      b.grow(t.v0);
      b.grow(t.v0 + t.e1);
      b.grow(t.v0 + t.e2);
      break;
    }
  }
  // A little slack so that no culling test can reject a hit that the exact test accepts.
  Vec3 pad = b.extent() * 1e-9 + Vec3{1e-12, 1e-12, 1e-12};
  b.lo = b.lo - pad;
  b.hi = b.hi + pad;
  return b;
}

namespace {

bool closer(double t, int index, const Hit& hit) {
  return t < hit.t || (t == hit.t && index < hit.primitive);
}

}  // namespace

bool Geometry::intersect(int primitive, const Ray& ray, double tmin, Hit& hit) const {
  const Primitive& p = primitives[primitive];
  switch (p.kind) {
    case Primitive::Kind::sphere: {
      const Sphere& s = spheres[p.index];
      Vec3 oc = ray.origin - s.center;
      double a = dot(ray.dir, ray.dir);
      double half_b = dot(oc, ray.dir);
      double c = dot(oc, oc) - s.radius * s.radius;
      double disc = half_b * half_b - a * c;
      if (disc < 0) return false;
      double root = std::sqrt(disc);
      double t = (-half_b - root) / a;
      if (t <= tmin) t = (-half_b + root) / a;
      if (t <= tmin || !closer(t, primitive, hit)) return false;
      Vec3 n = (ray.at(t) - s.center) / s.radius;
      hit = {t, primitive, n, n, p.material};
      return true;
    }
    case Primitive::Kind::box: {
      const Bounds& b = boxes[p.index];
      double t_near = -1e300, t_far = 1e300;
      int near_axis = 0, far_axis = 0;
      for (int axis = 0; axis < 3; ++axis) {
        double inv = ray.inv_dir[axis];
        double t0 = (b.lo[axis] - ray.origin[axis]) * inv;
        double t1 = (b.hi[axis] - ray.origin[axis]) * inv;
        if (inv < 0) std::swap(t0, t1);
        if (std::isnan(t0) || std::isnan(t1)) continue;  // ray inside a face plane
        if (t0 > t_near) {
          t_near = t0;
          near_axis = axis;
        }
        if (t1 < t_far) {
          t_far = t1;
          far_axis = axis;
        }
      }
      if (t_near > t_far) return false;
      double t = t_near;
      int axis = near_axis;
      if (t <= tmin) {
        t = t_far;
        axis = far_axis;
      }
      if (t <= tmin || !closer(t, primitive, hit)) return false;
      Vec3 n;
      n[axis] = ray.dir[axis] > 0 ? -1 : 1;
      if (t == t_far && t_near <= tmin) n = -n;  // seen from inside
      hit = {t, primitive, n, n, p.material};
      return true;
    }
    case Primitive::Kind::triangle: {
      const Triangle& tri = triangles[p.index];
      Vec3 pvec = cross(ray.dir, tri.e2);
      double det = dot(tri.e1, pvec);
      if (det == 0) return false;
      double inv_det = 1.0 / det;
      Vec3 tvec = ray.origin - tri.v0;
      double u = dot(tvec, pvec) * inv_det;
      if (u < 0 || u > 1) return false;
      Vec3 qvec = cross(tvec, tri.e1);
      double v = dot(ray.dir, qvec) * inv_det;
      if (v < 0 || u + v > 1) return false;
      double t = dot(tri.e2, qvec) * inv_det;
      if (t <= tmin || !closer(t, primitive, hit)) return false;
      Vec3 geometric = normalize(cross(tri.e1, tri.e2));
      Vec3 shading = normalize(tri.n0 * (1 - u - v) + tri.n1 * u + tri.n2 * v);
      if (length(shading) == 0) shading = geometric;
      hit = {t, primitive, geometric, shading, p.material};
      return true;
    }
  }
  return false;
}

std::unique_ptr<Accelerator> build_accelerator(const Geometry& geometry, AcceleratorKind kind) {
  switch (kind) {
    case AcceleratorKind::fast_build:
      return build_fast_bvh(geometry);
    case AcceleratorKind::compact:
      return build_compact_bvh(geometry);
    case AcceleratorKind::sah:
      break;
  }
  return build_sah_bvh(geometry);
}

CameraModel::CameraModel(const SceneCamera& camera, int w, int h) : width(w), height(h) {
  origin = camera.position;
  forward = normalize(camera.target - camera.position);
  // Left-handed, y up: looking along +z, +x is on the right of the image.
  Vec3 r = normalize(cross(camera.up, forward));
  Vec3 u = cross(forward, r);
  double half_height = std::tan(camera.fov_degrees * std::numbers::pi / 360.0);
  double half_width = half_height * w / h;
  right = r * half_width;
  up = u * half_height;
}

Vec3 CameraModel::direction(double x, double y) const {
  double sx = 2 * x / width - 1;
  double sy = 1 - 2 * y / height;
  return normalize(forward + right * sx + up * sy);
}

bool RenderScene::closest(const Ray& ray, double tmin, Hit& hit) const {
  hit = Hit{};
  hit.t = 1e300;
  bool found = accelerator->closest(ray, tmin, hit);
  int base = static_cast<int>(geometry.primitives.size());
  for (size_t i = 0; i < geometry.planes.size(); ++i) {
    const Plane& plane = geometry.planes[i];
    double denom = dot(plane.normal, ray.dir);
    if (denom == 0) continue;
    double t = dot(plane.point - ray.origin, plane.normal) / denom;
    int index = base + static_cast<int>(i);
    if (t > tmin && closer(t, index, hit)) {
      hit = {t, index, plane.normal, plane.normal, plane.material};
      found = true;
    }
  }
  return found;
}

bool RenderScene::occluded(const Ray& ray, double tmin, double tmax) const {
  for (const Plane& plane : geometry.planes) {
    double denom = dot(plane.normal, ray.dir);
    if (denom == 0) continue;
    double t = dot(plane.point - ray.origin, plane.normal) / denom;
    if (t > tmin && t < tmax) return true;
  }
  return accelerator->any(ray, tmin, tmax);
}

namespace {

void add_mesh(const SceneObject& object, const TriangleMesh& mesh, Geometry& geometry) {
  std::vector<Vec3> positions;
  positions.reserve(mesh.vertices.size());
  for (Vec3 v : mesh.vertices) positions.push_back(v * object.mesh_scale + object.mesh_offset);
  // Vertex normals: area-weighted face normals, so that low-poly meshes still shade smoothly.
  std::vector<Vec3> normals(positions.size());
  for (const auto& tri : mesh.triangles) {
    Vec3 n = cross(positions[tri[1]] - positions[tri[0]], positions[tri[2]] - positions[tri[0]]);
    for (int index : tri) normals[index] += n;
  }
  for (const auto& tri : mesh.triangles) {
    Vec3 a = positions[tri[0]], b = positions[tri[1]], c = positions[tri[2]];
    if (length(cross(b - a, c - a)) == 0) continue;  // degenerate: can never be hit
    geometry.triangles.push_back({a, b - a, c - a, normalize(normals[tri[0]]), normalize(normals[tri[1]]),
                                  normalize(normals[tri[2]])});
    geometry.primitives.push_back(
        {Primitive::Kind::triangle, static_cast<int>(geometry.triangles.size() - 1), object.material});
  }
}

}  // namespace

bool build_geometry(const SceneModel& model, Geometry& geometry, std::string& error) {
  geometry = Geometry{};
  for (const SceneObject& object : model.objects) {
    switch (object.kind) {
      case SceneObject::Kind::sphere:
        geometry.spheres.push_back({object.center, object.radius});
        geometry.primitives.push_back(
            {Primitive::Kind::sphere, static_cast<int>(geometry.spheres.size() - 1), object.material});
        break;
      case SceneObject::Kind::box: {
        Bounds b;
        b.lo = object.center - object.size * 0.5;
        b.hi = object.center + object.size * 0.5;
        geometry.boxes.push_back(b);
        geometry.primitives.push_back(
            {Primitive::Kind::box, static_cast<int>(geometry.boxes.size() - 1), object.material});
        break;
      }
      case SceneObject::Kind::plane:
        geometry.planes.push_back({object.point, object.normal, object.material});
        break;
      case SceneObject::Kind::mesh: {
        TriangleMesh mesh;
        if (!load_obj_mesh(object.mesh_file, mesh, error)) return false;
        add_mesh(object, mesh, geometry);
        break;
      }
    }
  }
  return true;
}

}  // namespace zorhost
