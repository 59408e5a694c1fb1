// The binary bounding volume hierarchy shared by the SAH and the fast-building builders, and the
// traversal they share. The compact structure is derived from the same binary tree.
#pragma once
#include <cstdint>
#include <vector>

#include "render/render_scene.h"

namespace zorhost {

struct BvhNode {
  Bounds bounds;
  int32_t first = 0;  // leaf: first entry of BinaryBvh::order; interior: left child (right = first+1)
  int32_t count = 0;  // primitives in a leaf, 0 for interior nodes
};

struct BinaryBvh {
  std::vector<BvhNode> nodes;  // nodes[0] is the root
  std::vector<int32_t> order;  // primitive indices, leaves refer to runs of it
};

// Builds the tree top-down; `split` decides each node: it may reorder order[begin, end) and answers
// the split position, or `begin`/`end` to make a leaf.
struct BuildRange {
  int32_t begin, end;
  Bounds bounds;
};
template <typename Split>
BinaryBvh build_binary_bvh(const Geometry& geometry, Split split);

// Reusable pieces of builders.
std::vector<Bounds> primitive_bounds(const Geometry& geometry);
Bounds range_bounds(const std::vector<Bounds>& boxes, const std::vector<int32_t>& order, int32_t begin,
                    int32_t end);

bool traverse_closest(const BinaryBvh& bvh, const Geometry& geometry, const Ray& ray, double tmin, Hit& hit);
bool traverse_any(const BinaryBvh& bvh, const Geometry& geometry, const Ray& ray, double tmin, double tmax);

class BinaryBvhAccelerator : public Accelerator {
 public:
  BinaryBvhAccelerator(const Geometry& geometry, BinaryBvh bvh) : geometry_(geometry), bvh_(std::move(bvh)) {}
  bool closest(const Ray& ray, double tmin, Hit& hit) const override {
    return traverse_closest(bvh_, geometry_, ray, tmin, hit);
  }
  bool any(const Ray& ray, double tmin, double tmax) const override {
    return traverse_any(bvh_, geometry_, ray, tmin, tmax);
  }
  size_t node_bytes() const override { return bvh_.nodes.size() * sizeof(BvhNode); }
  const BinaryBvh& tree() const { return bvh_; }

 private:
  const Geometry& geometry_;
  BinaryBvh bvh_;
};

constexpr int32_t kLeafSize = 4;
constexpr int32_t kMaxDepth = 60;  // traversal stacks hold 128 entries

template <typename Split>
BinaryBvh build_binary_bvh(const Geometry& geometry, Split split) {
  BinaryBvh bvh;
  const int32_t count = static_cast<int32_t>(geometry.primitives.size());
  bvh.order.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) bvh.order[i] = i;
  std::vector<Bounds> boxes = primitive_bounds(geometry);
  bvh.nodes.reserve(static_cast<size_t>(2 * count + 1));
  bvh.nodes.push_back({range_bounds(boxes, bvh.order, 0, count), 0, count});
  struct Pending {
    int32_t node, begin, end, depth;
  };
  std::vector<Pending> stack{{0, 0, count, 0}};
  while (!stack.empty()) {
    Pending p = stack.back();
    stack.pop_back();
    BuildRange range{p.begin, p.end, bvh.nodes[p.node].bounds};
    // Depth is capped so that traversal stacks stay small; a deeper range becomes a big leaf.
    bool leaf = p.end - p.begin <= kLeafSize || p.depth >= kMaxDepth;
    int32_t mid = leaf ? p.begin : split(boxes, bvh.order, range);
    if (mid <= p.begin || mid >= p.end) {
      bvh.nodes[p.node].first = p.begin;
      bvh.nodes[p.node].count = p.end - p.begin;
      continue;
    }
    int32_t left = static_cast<int32_t>(bvh.nodes.size());
    bvh.nodes.push_back({range_bounds(boxes, bvh.order, p.begin, mid), 0, 0});
    bvh.nodes.push_back({range_bounds(boxes, bvh.order, mid, p.end), 0, 0});
    bvh.nodes[p.node].first = left;
    bvh.nodes[p.node].count = 0;
    stack.push_back({left + 1, mid, p.end, p.depth + 1});
    stack.push_back({left, p.begin, mid, p.depth + 1});
  }
  return bvh;
}

}  // namespace zorhost
