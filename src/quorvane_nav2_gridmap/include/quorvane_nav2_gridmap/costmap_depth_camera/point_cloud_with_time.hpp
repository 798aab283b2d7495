#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_WITH_TIME_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_WITH_TIME_HPP_

// A remembered cloud: the cloud itself, the time of the observation it came from, and, for
// polygon clouds, the convex hull that is rasterised instead of the points.

#include <vector>

#include <opencv2/core/types.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud.hpp"

namespace costmap_depth_camera
{

struct PointCloudWithTime : public PointCloud
{
  PointCloudWithTime() = default;
  // Takes the points of a fresh observation; the time and hull are filled by the update.
  explicit PointCloudWithTime(const PointCloud & cloud)
  : PointCloud(cloud) {}

  // Seconds of the observation's stamp.
  double time{0.0};
  // Convex hull of the points' x, y; empty unless the update computed one.
  std::vector<cv::Point2f> polygon;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POINT_CLOUD_WITH_TIME_HPP_
