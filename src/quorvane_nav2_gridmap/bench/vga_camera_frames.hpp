// The simulated 640 x 480 depth camera of the camera-path benchmarks: its camera info, one depth
// frame of a floor and a wall, and the static transforms that place it.

#ifndef QUORVANE_NAV2_GRIDMAP__BENCH__VGA_CAMERA_FRAMES_HPP_
#define QUORVANE_NAV2_GRIDMAP__BENCH__VGA_CAMERA_FRAMES_HPP_

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <geometry_msgs/msg/point32.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>

#include "quorvane_protocol/msg/semantic_point_cloud.hpp"

namespace quorvane_bench
{

constexpr std::uint32_t kVgaWidth = 640;
constexpr std::uint32_t kVgaHeight = 480;
constexpr double kVgaFocal = 320.0;

inline sensor_msgs::msg::CameraInfo vgaCameraInfo(const std::string & optical_frame)
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = optical_frame;
  info.width = kVgaWidth;
  info.height = kVgaHeight;
  info.p = {kVgaFocal, 0.0, kVgaWidth / 2.0, 0.0, 0.0, kVgaFocal, kVgaHeight / 2.0, 0.0, 0.0, 0.0,
    1.0, 0.0};
  return info;
}

// A depth frame of a floor 0.5 m below the camera with a wall 3 m ahead, in the camera body
// frame (x forward, z up), as the driver publishes it; the rows above the horizon reach 2.25 m,
// beyond the default height band.
inline quorvane_protocol::msg::SemanticPointCloud vgaDepthFrame(const std::string & body_frame)
{
  quorvane_protocol::msg::SemanticPointCloud frame;
  frame.header.frame_id = body_frame;
  frame.clouds.resize(1);
  frame.clouds[0].category = 300;
  auto & cloud = frame.clouds[0].cloud;
  cloud.header = frame.header;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(static_cast<std::size_t>(kVgaWidth) * kVgaHeight);
  cloud.height = kVgaHeight;
  cloud.width = kVgaWidth;
  cloud.row_step = kVgaWidth * cloud.point_step;
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(cloud, "z");
  const double camera_height = 0.5;
  for (std::uint32_t v = 0; v < kVgaHeight; ++v) {
    for (std::uint32_t u = 0; u < kVgaWidth; ++u, ++x, ++y, ++z) {
      const double right = (u - kVgaWidth / 2.0) / kVgaFocal;
      const double down = (v - kVgaHeight / 2.0) / kVgaFocal;
      double depth = 3.0;
      if (down > 0.0) {
        depth = std::min(depth, camera_height / down);
      }
      *x = static_cast<float>(depth);
      *y = static_cast<float>(-right * depth);
      *z = static_cast<float>(-down * depth);
    }
  }
  for (const auto & [px, py] : std::vector<std::array<float, 2>>{{0.3f, -0.3f}, {4.0f, -4.0f},
      {4.0f, 4.0f}, {0.3f, 0.3f}})
  {
    geometry_msgs::msg::Point32 vertex;
    vertex.x = px;
    vertex.y = py;
    frame.shape.points.push_back(vertex);
  }
  return frame;
}

inline geometry_msgs::msg::TransformStamped staticTransform(
  const std::string & parent, const std::string & child, const Eigen::Vector3d & translation,
  const Eigen::Quaterniond & rotation)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.transform.translation.x = translation.x();
  transform.transform.translation.y = translation.y();
  transform.transform.translation.z = translation.z();
  transform.transform.rotation.x = rotation.x();
  transform.transform.rotation.y = rotation.y();
  transform.transform.rotation.z = rotation.z();
  transform.transform.rotation.w = rotation.w();
  return transform;
}

// From the camera body frame (x forward, z up) to its optical frame (z forward, x right, y down).
inline Eigen::Quaterniond opticalRotation()
{
  Eigen::Matrix3d optical;
  optical << 0, 0, 1, -1, 0, 0, 0, -1, 0;
  return Eigen::Quaterniond(optical);
}

}  // namespace quorvane_bench

#endif  // QUORVANE_NAV2_GRIDMAP__BENCH__VGA_CAMERA_FRAMES_HPP_
