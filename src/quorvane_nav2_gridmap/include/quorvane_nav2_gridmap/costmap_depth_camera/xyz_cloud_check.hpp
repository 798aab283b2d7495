#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_

// Whether a camera's PointCloud2 can be walked as height x width float x, y, z points without
// leaving its data array: the point-cloud iterators trust the layout and never check it.

#include <cstdint>
#include <cstring>
#include <string>

#include <sensor_msgs/msg/point_cloud2.hpp>

namespace costmap_depth_camera
{

// Why the cloud cannot be read that way (no FLOAT32 field x, y or z inside the point step, or
// fewer data bytes than height x width points need); empty when it can. Surplus data is allowed.
std::string xyzCloudDefect(const sensor_msgs::msg::PointCloud2 & cloud);

// Byte offsets of the x, y and z fields inside one point.
struct XyzOffsets
{
  std::uint32_t x{0};
  std::uint32_t y{0};
  std::uint32_t z{0};
};

// The offsets of a cloud that xyzCloudDefect accepts.
XyzOffsets xyzOffsets(const sensor_msgs::msg::PointCloud2 & cloud);

// A float32 field at any byte address: a point step or field offset need not be a multiple of 4,
// and a plain float load from such an address is undefined behaviour.
inline float loadFloat(const std::uint8_t * bytes)
{
  float value;
  std::memcpy(&value, bytes, sizeof(value));
  return value;
}

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__XYZ_CLOUD_CHECK_HPP_
