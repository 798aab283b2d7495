#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_HPP_

// One semantic sub-cloud of a depth camera: its points (one column per point) with the category
// they belong to and their x/y bounding box, the unit that is buffered, remembered and marked.

#include <cstdint>

#include <Eigen/Core>

namespace costmap_depth_camera
{

struct PointCloud
{
  // x, y, z per column; single precision keeps the per-point work of a 640 x 480 frame cheap.
  Eigen::Matrix3Xf points;
  // A semantic::SemanticType value.
  std::uint32_t category{0};
  // Non-zero: the points outline an area that is filled as a convex polygon when marked.
  std::uint8_t is_polygon{0};
  // x/y bounds of the points, valid after updateEdge; z plays no part in them.
  float min_x{0.0f};
  float min_y{0.0f};
  float max_x{0.0f};
  float max_y{0.0f};

  // Recomputes the x/y bounds; an empty cloud gets four zeros rather than infinities.
  void updateEdge();
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_HPP_
