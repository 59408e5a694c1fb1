// Traversal of the binary BVH and the SAH builder, the host's default acceleration structure.
#include "render/bvh.h"

#include <algorithm>

namespace zorhost {

std::vector<Bounds> primitive_bounds(const Geometry& geometry) {
  std::vector<Bounds> boxes(geometry.primitives.size());
  for (size_t i = 0; i < boxes.size(); ++i) boxes[i] = geometry.bounds(static_cast<int>(i));
  return boxes;
}

Bounds range_bounds(const std::vector<Bounds>& boxes, const std::vector<int32_t>& order, int32_t begin,
                    int32_t end) {
  Bounds b;
  for (int32_t i = begin; i < end; ++i) b.grow(boxes[order[i]]);
  return b;
}

bool traverse_closest(const BinaryBvh& bvh, const Geometry& geometry, const Ray& ray, double tmin, Hit& hit) {
  if (bvh.order.empty()) return false;
  bool found = false;
  int32_t stack[128];
  int depth = 0;
  double entry = 0;
  if (!bvh.nodes[0].bounds.hit(ray, tmin, hit.t, entry)) return false;
  stack[depth++] = 0;
  while (depth > 0) {
    const BvhNode& node = bvh.nodes[stack[--depth]];
    // `hit.t` may have shrunk since the node was pushed; ties must still be visited
    if (!node.bounds.hit(ray, tmin, hit.t, entry)) continue;
    if (node.count > 0) {
      for (int32_t i = node.first; i < node.first + node.count; ++i) {
        found |= geometry.intersect(bvh.order[i], ray, tmin, hit);
      }
      continue;
    }
    double near_left = 0, near_right = 0;
    bool left = bvh.nodes[node.first].bounds.hit(ray, tmin, hit.t, near_left);
    bool right = bvh.nodes[node.first + 1].bounds.hit(ray, tmin, hit.t, near_right);
    if (left && right) {
      bool left_first = near_left <= near_right;
      stack[depth++] = left_first ? node.first + 1 : node.first;
      stack[depth++] = left_first ? node.first : node.first + 1;
    } else if (left) {
      stack[depth++] = node.first;
    } else if (right) {
      stack[depth++] = node.first + 1;
    }
  }
  return found;
}

bool traverse_any(const BinaryBvh& bvh, const Geometry& geometry, const Ray& ray, double tmin, double tmax) {
  if (bvh.order.empty()) return false;
  int32_t stack[128];
  int depth = 0;
  stack[depth++] = 0;
  double entry = 0;
  while (depth > 0) {
    const BvhNode& node = bvh.nodes[stack[--depth]];
    if (!node.bounds.hit(ray, tmin, tmax, entry)) continue;
    if (node.count > 0) {
      for (int32_t i = node.first; i < node.first + node.count; ++i) {
        Hit probe;
        probe.t = tmax;
        if (geometry.intersect(bvh.order[i], ray, tmin, probe)) return true;
      }
      continue;
    }
    stack[depth++] = node.first;
    stack[depth++] = node.first + 1;
  }
  return false;
}

namespace {

// Full sweep SAH: for each axis, primitives sorted by centroid, every split position costed.
int32_t sah_split(const std::vector<Bounds>& boxes, std::vector<int32_t>& order, const BuildRange& range) {
  const int32_t n = range.end - range.begin;
  double best_cost = n;  // cost of a leaf, in primitive tests relative to one box test
  int best_axis = -1;
  int32_t best_split = 0;
  std::vector<double> right_area(static_cast<size_t>(n));
  std::vector<int32_t> sorted(order.begin() + range.begin, order.begin() + range.end);
  double parent_area = range.bounds.area();
  if (parent_area <= 0) return range.begin;
  for (int axis = 0; axis < 3; ++axis) {
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](int32_t a, int32_t b) { return boxes[a].center()[axis] < boxes[b].center()[axis]; });
    Bounds acc;
    for (int32_t i = n - 1; i > 0; --i) {
      acc.grow(boxes[sorted[i]]);
      right_area[i] = acc.area();
    }
    acc = Bounds{};
    for (int32_t i = 1; i < n; ++i) {
      acc.grow(boxes[sorted[i - 1]]);
      double cost = 0.5 + (acc.area() * i + right_area[i] * (n - i)) / parent_area;
      if (cost < best_cost) {
        best_cost = cost;
        best_axis = axis;
        best_split = i;
      }
    }
  }
  if (best_axis < 0) return n > 4 * kLeafSize ? range.begin + n / 2 : range.begin;
  std::stable_sort(order.begin() + range.begin, order.begin() + range.end, [&](int32_t a, int32_t b) {
    return boxes[a].center()[best_axis] < boxes[b].center()[best_axis];
  });
  return range.begin + best_split;
}

}  // namespace

std::unique_ptr<Accelerator> build_sah_bvh(const Geometry& geometry) {
  return std::make_unique<BinaryBvhAccelerator>(geometry, build_binary_bvh(geometry, sah_split));
}

}  // namespace zorhost
