#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__HIGHEST_POINT_FILTER_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__HIGHEST_POINT_FILTER_HPP_

// Keeps, over all clouds of one map update, only the points near the top of each ground cell,
// and tells which cells the update's clouds cover. The cell map is a parameter so that the
// candidate maps can be measured against each other on the same work.

#include <cmath>
#include <cstdint>
#include <limits>

#include <Eigen/Core>

#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud.hpp"

namespace costmap_depth_camera
{

template<class CellMap>
class HighestPointFilter
{
public:
  // A point this far below its cell's highest point still belongs to the top surface.
  static constexpr float kTopTolerance = 0.001f;

  HighestPointFilter(CellMap & cells, double resolution)
  : cells_(cells), resolution_(resolution) {}

  CellKey keyOf(float x, float y) const
  {
    return CellKey{cellIndex(x), cellIndex(y)};
  }

  // First pass, in point order: a point survives when it is the first of its cell or strictly
  // higher than every earlier point of that cell (in this or an earlier cloud).
  void keepRisingPoints(PointCloud & cloud)
  {
    compact(cloud, [this](const Eigen::Ref<const Eigen::Vector3f> & p) {
        return cells_.raise(keyOf(p.x(), p.y()), p.z());
      });
  }

  // The first pass straight from a stored cloud: `kept` receives only the surviving points, in
  // order; `scratch` is working room that keeps its storage between calls.
  void takeRisingPoints(
    const Eigen::Matrix3Xf & points, PointCloud & kept, Eigen::Matrix3Xf & scratch)
  {
    const Eigen::Index count = points.cols();
    if (scratch.cols() < count) {
      scratch.resize(3, count);
    }
    const float * in = points.data();
    float * out = scratch.data();
    Eigen::Index survivors = 0;
    for (Eigen::Index i = 0; i < count; ++i, in += 3) {
      if (cells_.raise(keyOf(in[0], in[1]), in[2])) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        out += 3;
        ++survivors;
      }
    }
    kept.points = scratch.leftCols(survivors);
  }

  // Second pass, once every cloud went through the first: drops the points that a later point
  // of the same cell rose above.
  void keepNearHighest(PointCloud & cloud) const
  {
    compact(cloud, [this](const Eigen::Ref<const Eigen::Vector3f> & p) {
        const float * highest = cells_.find(keyOf(p.x(), p.y()));
        return highest != nullptr && *highest - p.z() <= kTopTolerance;
      });
  }

  // Moves the first `count` points of `cloud` that lie in no covered cell to its front; returns
  // how many there are. The matrix keeps its size: the caller shrinks it once.
  Eigen::Index keepUncovered(PointCloud & cloud, Eigen::Index count) const
  {
    Eigen::Index kept = 0;
    for (Eigen::Index i = 0; i < count; ++i) {
      if (cells_.find(keyOf(cloud.points(0, i), cloud.points(1, i))) == nullptr) {
        if (kept != i) {
          cloud.points.col(kept) = cloud.points.col(i);
        }
        ++kept;
      }
    }
    return kept;
  }

private:
  // Truncates toward zero through the integer conversion, which is cheaper than std::trunc on
  // every point. Saturates instead of overflowing, so that a stray non-finite point cannot cause
  // undefined behaviour; such a point shares a cell with nothing real.
  std::int32_t cellIndex(float value) const
  {
    const double quotient = static_cast<double>(value) / resolution_;
    if (!(quotient > static_cast<double>(std::numeric_limits<std::int32_t>::min()))) {
      return std::numeric_limits<std::int32_t>::min();
    }
    if (quotient >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
      return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(quotient);
  }

  // Keeps the points that satisfy `keep`, in order, and shrinks the matrix with one reallocation.
  template<class Predicate>
  static void compact(PointCloud & cloud, Predicate keep)
  {
    const Eigen::Index count = cloud.points.cols();
    Eigen::Index kept = 0;
    for (Eigen::Index i = 0; i < count; ++i) {
      if (keep(cloud.points.col(i))) {
        if (kept != i) {
          cloud.points.col(kept) = cloud.points.col(i);
        }
        ++kept;
      }
    }
    if (kept != count) {
      cloud.points.conservativeResize(Eigen::NoChange, kept);
    }
  }

  CellMap & cells_;
  double resolution_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__HIGHEST_POINT_FILTER_HPP_
