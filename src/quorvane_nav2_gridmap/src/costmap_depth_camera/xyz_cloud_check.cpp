#include "quorvane_nav2_gridmap/costmap_depth_camera/xyz_cloud_check.hpp"

#include <cstdint>

#include <fmt/format.h>
#include <sensor_msgs/msg/point_field.hpp>

namespace costmap_depth_camera
{

namespace
{

const sensor_msgs::msg::PointField * fieldNamed(
  const sensor_msgs::msg::PointCloud2 & cloud, const char * name)
{
  for (const auto & candidate : cloud.fields) {
    if (candidate.name == name) {
      return &candidate;
    }
  }
  return nullptr;
}

}  // namespace

std::string xyzCloudDefect(const sensor_msgs::msg::PointCloud2 & cloud)
{
  const std::uint64_t point_count = static_cast<std::uint64_t>(cloud.height) * cloud.width;
  if (point_count == 0) {
    return {};
  }
  for (const char * name : {"x", "y", "z"}) {
    const sensor_msgs::msg::PointField * field = fieldNamed(cloud, name);
    if (field == nullptr) {
      return fmt::format("has no field {}", name);
    }
    if (field->datatype != sensor_msgs::msg::PointField::FLOAT32) {
      return fmt::format("has field {} of datatype {}, not FLOAT32", name, field->datatype);
    }
    if (static_cast<std::uint64_t>(field->offset) + sizeof(float) > cloud.point_step) {
      return fmt::format(
        "has field {} at offset {} beyond its point step {}", name, field->offset,
        cloud.point_step);
    }
  }
  // Divided rather than multiplied: height x width x point step can pass 64 bits and wrap to a
  // small number that the data would seem to hold. The point step is non-zero here, as every
  // field ends inside it.
  if (point_count > cloud.data.size() / cloud.point_step) {
    return fmt::format(
      "holds {} data bytes, fewer than its {} x {} points of {} bytes need", cloud.data.size(),
      cloud.height, cloud.width, cloud.point_step);
  }
  return {};
}

XyzOffsets xyzOffsets(const sensor_msgs::msg::PointCloud2 & cloud)
{
  // The first field of each name, as the point-cloud iterators take it.
  return XyzOffsets{fieldNamed(cloud, "x")->offset, fieldNamed(cloud, "y")->offset,
    fieldNamed(cloud, "z")->offset};
}

}  // namespace costmap_depth_camera
