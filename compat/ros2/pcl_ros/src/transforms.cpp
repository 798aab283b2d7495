#include "pcl_ros/transforms.hpp"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "rcutils/logging_macros.h"
#include "sensor_msgs/msg/point_field.hpp"
#include "tf2/convert.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace pcl_ros
{

namespace
{

constexpr const char * kLogger = "pcl_ros";

int fieldIndex(const sensor_msgs::msg::PointCloud2 & cloud, const std::string & name)
{
  for (size_t i = 0; i < cloud.fields.size(); ++i) {
    if (cloud.fields[i].name == name) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Transforms the three float32 values at the given offsets of every point in `data`.
void transformTriplet(
  const Eigen::Matrix4f & transform, std::vector<uint8_t> & data, uint32_t point_step,
  uint32_t x_offset, uint32_t y_offset, uint32_t z_offset)
{
  for (size_t base = 0; base + point_step <= data.size(); base += point_step) {
    float x, y, z;
    std::memcpy(&x, &data[base + x_offset], sizeof(float));
    std::memcpy(&y, &data[base + y_offset], sizeof(float));
    std::memcpy(&z, &data[base + z_offset], sizeof(float));
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
      continue;
    }
    const Eigen::Vector4f p = transform * Eigen::Vector4f(x, y, z, 1.0f);
    std::memcpy(&data[base + x_offset], &p[0], sizeof(float));
    std::memcpy(&data[base + y_offset], &p[1], sizeof(float));
    std::memcpy(&data[base + z_offset], &p[2], sizeof(float));
  }
}

bool floatTriplet(
  const sensor_msgs::msg::PointCloud2 & cloud, const char * x, const char * y, const char * z,
  uint32_t offsets[3])
{
  const int idx[3] = {fieldIndex(cloud, x), fieldIndex(cloud, y), fieldIndex(cloud, z)};
  for (int i = 0; i < 3; ++i) {
    if (idx[i] < 0 ||
      cloud.fields[idx[i]].datatype != sensor_msgs::msg::PointField::FLOAT32)
    {
      return false;
    }
    offsets[i] = cloud.fields[idx[i]].offset;
  }
  return true;
}

}  // namespace

void transformAsMatrix(const tf2::Transform & bt, Eigen::Matrix4f & out_mat)
{
  const tf2::Matrix3x3 & basis = bt.getBasis();
  const tf2::Vector3 & origin = bt.getOrigin();
  out_mat = Eigen::Matrix4f::Identity();
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      out_mat(r, c) = static_cast<float>(basis[r][c]);
    }
    out_mat(r, 3) = static_cast<float>(origin[r]);
  }
}

void transformAsMatrix(const geometry_msgs::msg::TransformStamped & bt, Eigen::Matrix4f & out_mat)
{
  tf2::Transform transform;
  tf2::convert(bt.transform, transform);
  transformAsMatrix(transform, out_mat);
}

void transformPointCloud(
  const Eigen::Matrix4f & transform, const sensor_msgs::msg::PointCloud2 & in,
  sensor_msgs::msg::PointCloud2 & out)
{
  const int x_idx = fieldIndex(in, "x");
  const int y_idx = fieldIndex(in, "y");
  const int z_idx = fieldIndex(in, "z");
  if (x_idx == -1 || y_idx == -1 || z_idx == -1) {
    RCUTILS_LOG_ERROR_NAMED(
      kLogger, "Input dataset has no X-Y-Z coordinates! Cannot convert to Eigen format.");
    return;
  }
  uint32_t xyz[3];
  if (!floatTriplet(in, "x", "y", "z", xyz)) {
    RCUTILS_LOG_ERROR_NAMED(
      kLogger, "X-Y-Z coordinates not floats. Currently only floats are supported.");
    return;
  }
  sensor_msgs::msg::PointCloud2 result = in;
  transformTriplet(transform, result.data, result.point_step, xyz[0], xyz[1], xyz[2]);
  uint32_t viewpoint[3];
  if (floatTriplet(in, "vp_x", "vp_y", "vp_z", viewpoint)) {
    transformTriplet(
      transform, result.data, result.point_step, viewpoint[0], viewpoint[1], viewpoint[2]);
  }
  out = std::move(result);
}

void transformPointCloud(
  const std::string & target_frame, const tf2::Transform & net_transform,
  const sensor_msgs::msg::PointCloud2 & in, sensor_msgs::msg::PointCloud2 & out)
{
  if (in.header.frame_id == target_frame) {
    out = in;
    return;
  }
  Eigen::Matrix4f transform;
  transformAsMatrix(net_transform, transform);
  transformPointCloud(transform, in, out);
  out.header.frame_id = target_frame;
}

void transformPointCloud(
  const std::string & target_frame, const geometry_msgs::msg::TransformStamped & net_transform,
  const sensor_msgs::msg::PointCloud2 & in, sensor_msgs::msg::PointCloud2 & out)
{
  tf2::Transform transform;
  tf2::convert(net_transform.transform, transform);
  transformPointCloud(target_frame, transform, in, out);
}

bool transformPointCloud(
  const std::string &, const sensor_msgs::msg::PointCloud2 &, sensor_msgs::msg::PointCloud2 &,
  const tf2_ros::Buffer &)
{
  throw std::logic_error(
          "pcl_ros::transformPointCloud with a tf2_ros::Buffer not supported by this stand-in");
}

}  // namespace pcl_ros
