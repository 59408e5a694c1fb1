// A BVH that builds quickly: each node is split at the median centroid along its widest centroid
// axis (linear-time selection, no cost evaluation). Traversal is slower than the SAH tree's.
#include <algorithm>

#include "render/bvh.h"

namespace zorhost {
namespace {

int32_t median_split(const std::vector<Bounds>& boxes, std::vector<int32_t>& order, const BuildRange& range) {
  Bounds centroids;
  for (int32_t i = range.begin; i < range.end; ++i) centroids.grow(boxes[order[i]].center());
  Vec3 e = centroids.extent();
  int axis = e.x >= e.y && e.x >= e.z ? 0 : (e.y >= e.z ? 1 : 2);
  if (e[axis] <= 0) return range.begin;  // all centroids coincide: nothing to separate
  int32_t mid = range.begin + (range.end - range.begin) / 2;
  std::nth_element(order.begin() + range.begin, order.begin() + mid, order.begin() + range.end,
                   [&](int32_t a, int32_t b) {
                     double ca = boxes[a].center()[axis], cb = boxes[b].center()[axis];
                     return ca < cb || (ca == cb && a < b);
                   });
  return mid;
}

}  // namespace

std::unique_ptr<Accelerator> build_fast_bvh(const Geometry& geometry) {
  return std::make_unique<BinaryBvhAccelerator>(geometry, build_binary_bvh(geometry, median_split));
}

}  // namespace zorhost
