// A compact BVH: the SAH tree re-encoded so that a node holds both children's boxes quantised to
// 8 bits per coordinate relative to the node's own box, 20 bytes per node instead of 56. Boxes are
// rounded outwards at every level, so culling stays conservative and hits are exactly those of the
// full-precision tree; the price is a little more box decoding during traversal.
#include <algorithm>
#include <cmath>

#include "render/bvh.h"

namespace zorhost {
namespace {

constexpr uint32_t kLeafBit = 0x80000000u;

struct CompactNode {
  uint8_t lo[2][3];
  uint8_t hi[2][3];
  uint32_t child[2];  // node index, or kLeafBit | leaf index
};
static_assert(sizeof(CompactNode) == 20);

struct Leaf {
  int32_t first, count;
};

double decode(const Bounds& parent, int axis, int q) {
  if (q >= 255) return parent.hi[axis];  // exact, so that the top of the range never shrinks
  return parent.lo[axis] + (parent.hi[axis] - parent.lo[axis]) * (q / 255.0);
}

Bounds decode_child(const Bounds& parent, const CompactNode& node, int side) {
  Bounds b;
  for (int axis = 0; axis < 3; ++axis) {
    b.lo[axis] = decode(parent, axis, node.lo[side][axis]);
    b.hi[axis] = decode(parent, axis, node.hi[side][axis]);
  }
  return b;
}

class CompactBvh : public Accelerator {
 public:
  CompactBvh(const Geometry& geometry, const BinaryBvh& source) : geometry_(geometry) {
    order_ = source.order;
    if (source.order.empty()) return;
    root_box_ = source.nodes[0].bounds;
    root_ = encode(source, 0, root_box_);
  }

  bool closest(const Ray& ray, double tmin, Hit& hit) const override {
    if (order_.empty()) return false;
    struct Entry {
      uint32_t ref;
      Bounds box;
    };
    Entry stack[128];
    int depth = 0;
    stack[depth++] = {root_, root_box_};
    bool found = false;
    double entry = 0;
    while (depth > 0) {
      Entry e = stack[--depth];
      if (!e.box.hit(ray, tmin, hit.t, entry)) continue;
      if (e.ref & kLeafBit) {
        const Leaf& leaf = leaves_[e.ref & ~kLeafBit];
        for (int32_t i = leaf.first; i < leaf.first + leaf.count; ++i) {
          found |= geometry_.intersect(order_[i], ray, tmin, hit);
        }
        continue;
      }
      const CompactNode& node = nodes_[e.ref];
      Bounds left = decode_child(e.box, node, 0);
      Bounds right = decode_child(e.box, node, 1);
      double near_left = 0, near_right = 0;
      bool hit_left = left.hit(ray, tmin, hit.t, near_left);
      bool hit_right = right.hit(ray, tmin, hit.t, near_right);
      if (hit_left && hit_right) {
        bool left_first = near_left <= near_right;
        stack[depth++] = left_first ? Entry{node.child[1], right} : Entry{node.child[0], left};
        stack[depth++] = left_first ? Entry{node.child[0], left} : Entry{node.child[1], right};
      } else if (hit_left) {
        stack[depth++] = {node.child[0], left};
      } else if (hit_right) {
        stack[depth++] = {node.child[1], right};
      }
    }
    return found;
  }

  bool any(const Ray& ray, double tmin, double tmax) const override {
    if (order_.empty()) return false;
    struct Entry {
      uint32_t ref;
      Bounds box;
    };
    Entry stack[128];
    int depth = 0;
    stack[depth++] = {root_, root_box_};
    double entry = 0;
    while (depth > 0) {
      Entry e = stack[--depth];
      if (!e.box.hit(ray, tmin, tmax, entry)) continue;
      if (e.ref & kLeafBit) {
        const Leaf& leaf = leaves_[e.ref & ~kLeafBit];
        for (int32_t i = leaf.first; i < leaf.first + leaf.count; ++i) {
          Hit probe;
          probe.t = tmax;
          if (geometry_.intersect(order_[i], ray, tmin, probe)) return true;
        }
        continue;
      }
      const CompactNode& node = nodes_[e.ref];
      stack[depth++] = {node.child[0], decode_child(e.box, node, 0)};
      stack[depth++] = {node.child[1], decode_child(e.box, node, 1)};
    }
    return false;
  }

  size_t node_bytes() const override {
    return nodes_.size() * sizeof(CompactNode) + leaves_.size() * sizeof(Leaf) + sizeof(Bounds);
  }

 private:
  // `box` is the decoded box this node will be traversed with (it contains the node's real box).
  uint32_t encode(const BinaryBvh& source, int32_t index, const Bounds& box) {
    const BvhNode& node = source.nodes[index];
    if (node.count > 0) {
      leaves_.push_back({node.first, node.count});
      return kLeafBit | static_cast<uint32_t>(leaves_.size() - 1);
    }
    uint32_t slot = static_cast<uint32_t>(nodes_.size());
    nodes_.emplace_back();
    Bounds decoded[2];
    for (int side = 0; side < 2; ++side) {
      const Bounds& real = source.nodes[node.first + side].bounds;
      for (int axis = 0; axis < 3; ++axis) {
        double extent = box.hi[axis] - box.lo[axis];
        double scale = extent > 0 ? 255.0 / extent : 0;
        int lo = static_cast<int>(std::floor((real.lo[axis] - box.lo[axis]) * scale));
        int hi = static_cast<int>(std::ceil((real.hi[axis] - box.lo[axis]) * scale));
        lo = std::clamp(lo, 0, 255);
        hi = std::clamp(hi, 0, 255);
        // rounding in decode() may land just inside the real box: step outwards until it does not
        while (lo > 0 && decode(box, axis, lo) > real.lo[axis]) --lo;
        while (hi < 255 && decode(box, axis, hi) < real.hi[axis]) ++hi;
        nodes_[slot].lo[side][axis] = static_cast<uint8_t>(lo);
        nodes_[slot].hi[side][axis] = static_cast<uint8_t>(hi);
      }
      decoded[side] = decode_child(box, nodes_[slot], side);
    }
    uint32_t left = encode(source, node.first, decoded[0]);
    uint32_t right = encode(source, node.first + 1, decoded[1]);
    nodes_[slot].child[0] = left;
    nodes_[slot].child[1] = right;
    return slot;
  }

  const Geometry& geometry_;
  std::vector<CompactNode> nodes_;
  std::vector<Leaf> leaves_;
  std::vector<int32_t> order_;
  Bounds root_box_;
  uint32_t root_ = 0;
};

}  // namespace

std::unique_ptr<Accelerator> build_compact_bvh(const Geometry& geometry) {
  auto tree = build_sah_bvh(geometry);
  const auto& binary = static_cast<const BinaryBvhAccelerator&>(*tree).tree();
  return std::make_unique<CompactBvh>(geometry, binary);
}

}  // namespace zorhost
