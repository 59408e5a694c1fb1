// The hardware engine: the scene is tessellated into triangles and rasterised with a z-buffer, then
// shaded with the preview model. Curved surfaces are therefore faceted, and planes are drawn as large
// squares around the camera.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "render/shading.h"

namespace zorhost {
namespace {

constexpr int kSphereSegments = 32;
constexpr int kSphereRings = 16;
constexpr double kPlaneHalfSize = 500;
constexpr double kNearPlane = 1e-3;

struct WorldTriangle {
  Vec3 a, b, c;
  int material;
};

struct ScreenTriangle {
  double x[3], y[3], inv_z[3];
  int source;  // index of the world triangle, for its normal and material
  double min_x, min_y, max_x, max_y;
};

void add_quad(std::vector<WorldTriangle>& out, Vec3 a, Vec3 b, Vec3 c, Vec3 d, int material) {
  out.push_back({a, b, c, material});
  out.push_back({a, c, d, material});
}

std::vector<WorldTriangle> tessellate(const Geometry& geometry, Vec3 eye) {
  std::vector<WorldTriangle> out;
  for (const Primitive& p : geometry.primitives) {
    if (p.kind == Primitive::Kind::triangle) {
      const Triangle& t = geometry.triangles[p.index];
      out.push_back({t.v0, t.v0 + t.e1, t.v0 + t.e2, p.material});
    } else if (p.kind == Primitive::Kind::sphere) {
      const Sphere& s = geometry.spheres[p.index];
      auto point = [&](int ring, int segment) {
        double theta = std::numbers::pi * ring / kSphereRings;
        double phi = 2 * std::numbers::pi * segment / kSphereSegments;
        return s.center +
               Vec3{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)} *
                   s.radius;
      };
      for (int r = 0; r < kSphereRings; ++r) {
        for (int g = 0; g < kSphereSegments; ++g) {
          add_quad(out, point(r, g), point(r + 1, g), point(r + 1, g + 1), point(r, g + 1), p.material);
        }
      }
    } else {
      const Bounds& b = geometry.boxes[p.index];
      auto corner = [&](int i) {
        return Vec3{i & 1 ? b.hi.x : b.lo.x, i & 2 ? b.hi.y : b.lo.y, i & 4 ? b.hi.z : b.lo.z};
      };
      static constexpr int kFaces[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1},
                                           {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
      for (const auto& f : kFaces) {
        add_quad(out, corner(f[0]), corner(f[1]), corner(f[2]), corner(f[3]), p.material);
      }
    }
  }
  for (const Plane& plane : geometry.planes) {
    Vec3 center = eye - plane.normal * dot(eye - plane.point, plane.normal);
    Vec3 u, v;
    Vec3 helper = std::fabs(plane.normal.x) > 0.5 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    u = normalize(cross(helper, plane.normal)) * kPlaneHalfSize;
    v = normalize(cross(plane.normal, u)) * kPlaneHalfSize;
    add_quad(out, center - u - v, center + u - v, center + u + v, center - u + v, plane.material);
  }
  return out;
}

struct Projector {
  Vec3 origin, right, up, forward;  // unit vectors
  double half_width, half_height;
  int width, height;

  Projector(const CameraModel& camera)
      : origin(camera.origin),
        right(normalize(camera.right)),
        up(normalize(camera.up)),
        forward(camera.forward),
        half_width(length(camera.right)),
        half_height(length(camera.up)),
        width(camera.width),
        height(camera.height) {}

  Vec3 to_camera(Vec3 p) const {
    Vec3 d = p - origin;
    return {dot(d, right), dot(d, up), dot(d, forward)};
  }
};

// Clips the camera-space triangle to the near plane and projects what is left.
void project(const Projector& view, const WorldTriangle& tri, int source, std::vector<ScreenTriangle>& out) {
  std::array<Vec3, 3> in{view.to_camera(tri.a), view.to_camera(tri.b), view.to_camera(tri.c)};
  std::array<Vec3, 4> poly;
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    Vec3 p = in[i], q = in[(i + 1) % 3];
    bool p_in = p.z >= kNearPlane, q_in = q.z >= kNearPlane;
    if (p_in) poly[count++] = p;
    if (p_in != q_in) {
      double t = (kNearPlane - p.z) / (q.z - p.z);
      poly[count++] = p + (q - p) * t;
    }
  }
  if (count < 3) return;
  auto screen = [&](Vec3 c, double& x, double& y, double& inv_z) {
    inv_z = 1 / c.z;
    x = (c.x * inv_z / view.half_width + 1) * 0.5 * view.width;
    y = (1 - c.y * inv_z / view.half_height) * 0.5 * view.height;
  };
  for (int k = 1; k + 1 < count; ++k) {
    ScreenTriangle s{};
    Vec3 corners[3] = {poly[0], poly[k], poly[k + 1]};
    for (int i = 0; i < 3; ++i) screen(corners[i], s.x[i], s.y[i], s.inv_z[i]);
    s.source = source;
    s.min_x = std::min({s.x[0], s.x[1], s.x[2]});
    s.max_x = std::max({s.x[0], s.x[1], s.x[2]});
    s.min_y = std::min({s.y[0], s.y[1], s.y[2]});
    s.max_y = std::max({s.y[0], s.y[1], s.y[2]});
    if (s.max_x < 0 || s.max_y < 0 || s.min_x > view.width || s.min_y > view.height) continue;
    out.push_back(s);
  }
}

double edge(double ax, double ay, double bx, double by, double px, double py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

}  // namespace

int32_t render_hardware(const RenderJob& job) {
  const SceneModel& model = job.document->scene;
  HostBitmap& target = *job.target;
  CameraModel camera(model.camera, target.width, target.height);
  Projector view(camera);
  std::vector<WorldTriangle> world = tessellate(*job.geometry, camera.origin);
  std::vector<ScreenTriangle> screen;
  for (size_t i = 0; i < world.size(); ++i) project(view, world[i], static_cast<int>(i), screen);

  return run_tiles(job, [&](int x0, int y0, int x1, int y1) {
    const int tile_width = x1 - x0;
    std::vector<double> depth(static_cast<size_t>(tile_width * (y1 - y0)), 0.0);  // 1/z, 0 = far
    std::vector<int> owner(depth.size(), -1);
    for (const ScreenTriangle& s : screen) {
      if (s.max_x < x0 || s.min_x > x1 || s.max_y < y0 || s.min_y > y1) continue;
      double area = edge(s.x[0], s.y[0], s.x[1], s.y[1], s.x[2], s.y[2]);
      if (area == 0) continue;
      int from_x = std::max(x0, static_cast<int>(std::floor(s.min_x)));
      int to_x = std::min(x1 - 1, static_cast<int>(std::ceil(s.max_x)));
      int from_y = std::max(y0, static_cast<int>(std::floor(s.min_y)));
      int to_y = std::min(y1 - 1, static_cast<int>(std::ceil(s.max_y)));
      for (int y = from_y; y <= to_y; ++y) {
        for (int x = from_x; x <= to_x; ++x) {
          double px = x + 0.5, py = y + 0.5;
          double w0 = edge(s.x[1], s.y[1], s.x[2], s.y[2], px, py) / area;
          double w1 = edge(s.x[2], s.y[2], s.x[0], s.y[0], px, py) / area;
          double w2 = 1 - w0 - w1;
          if (w0 < 0 || w1 < 0 || w2 < 0) continue;
          double inv_z = w0 * s.inv_z[0] + w1 * s.inv_z[1] + w2 * s.inv_z[2];
          size_t at = static_cast<size_t>((y - y0) * tile_width + (x - x0));
          if (inv_z > depth[at]) {
            depth[at] = inv_z;
            owner[at] = s.source;
          }
        }
      }
    }
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        size_t at = static_cast<size_t>((y - y0) * tile_width + (x - x0));
        Vec3 color = model.background;
        if (owner[at] >= 0) {
          const WorldTriangle& tri = world[owner[at]];
          Vec3 dir = camera.direction(x + 0.5, y + 0.5);
          double distance = (1 / depth[at]) / dot(dir, camera.forward);
          Vec3 normal = facing(normalize(cross(tri.b - tri.a, tri.c - tri.a)), dir);
          color = preview_shade(model, model.materials[tri.material], camera.origin + dir * distance, normal);
        }
        store_pixel(target, x, y, color);
      }
    }
  });
}

}  // namespace zorhost
