#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud.hpp"

namespace costmap_depth_camera
{

void PointCloud::updateEdge()
{
  if (points.cols() == 0) {
    min_x = min_y = max_x = max_y = 0.0f;
    return;
  }
  min_x = max_x = points(0, 0);
  min_y = max_y = points(1, 0);
  for (Eigen::Index i = 1; i < points.cols(); ++i) {
    const float x = points(0, i);
    const float y = points(1, i);
    if (x < min_x) {min_x = x;}
    if (x > max_x) {max_x = x;}
    if (y < min_y) {min_y = y;}
    if (y > max_y) {max_y = y;}
  }
}

}  // namespace costmap_depth_camera
