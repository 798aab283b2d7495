#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_

// Whether a camera's PointCloud2 can be walked as height x width float x, y, z points without
// leaving its data array: the point-cloud iterators trust the layout and never check it.

#include <string>

#include <sensor_msgs/msg/point_cloud2.hpp>

namespace costmap_depth_camera
{

// Why the cloud cannot be read that way (no FLOAT32 field x, y or z inside the point step, or
// fewer data bytes than height x width points need); empty when it can. Surplus data is allowed.
std::string xyzCloudDefect(const sensor_msgs::msg::PointCloud2 & cloud);

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_
