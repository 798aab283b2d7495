// Buffering one 640 x 480 depth frame as a camera source's subscription callback does (height
// band, transform into the map frame, stored as the newest observation), beside a plain loop
// that does the same filter and transform over the frame's bytes into a matrix allocated once.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <pcl_ros/transforms.hpp>
#include <rclcpp/logger.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>

#include "paired_timing.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumDetectorStrategy;
using costmap_depth_camera::ObservationBuffer;
using costmap_depth_camera::ObservationBufferOptions;

constexpr std::uint32_t kWidth = 640;
constexpr std::uint32_t kHeight = 480;
constexpr double kFocal = 320.0;
constexpr Eigen::Index kPointsPerFrame = static_cast<Eigen::Index>(kWidth) * kHeight;

sensor_msgs::msg::CameraInfo cameraInfo()
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = "camera_optical";
  info.width = kWidth;
  info.height = kHeight;
  info.p = {kFocal, 0.0, kWidth / 2.0, 0.0, 0.0, kFocal, kHeight / 2.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

// A depth frame of a floor 0.5 m below the camera with a wall 3 m ahead, in the camera body
// frame (x forward, z up); the rows above the horizon reach 2.25 m, beyond the height band.
quorvane_protocol::msg::SemanticPointCloud depthFrame()
{
  quorvane_protocol::msg::SemanticPointCloud frame;
  frame.header.frame_id = "camera_link";
  frame.clouds.resize(1);
  frame.clouds[0].category = 300;
  auto & cloud = frame.clouds[0].cloud;
  cloud.header = frame.header;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(static_cast<std::size_t>(kWidth) * kHeight);
  cloud.height = kHeight;
  cloud.width = kWidth;
  cloud.row_step = kWidth * cloud.point_step;
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(cloud, "z");
  const double camera_height = 0.5;
  for (std::uint32_t v = 0; v < kHeight; ++v) {
    for (std::uint32_t u = 0; u < kWidth; ++u, ++x, ++y, ++z) {
      const double right = (u - kWidth / 2.0) / kFocal;
      const double down = (v - kHeight / 2.0) / kFocal;
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

geometry_msgs::msg::TransformStamped staticTransform(
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

// One camera source as the front end sets it up, with its frustum detector (occlusion clearing
// is on by default) and its transforms in place.
struct CameraSource
{
  CameraSource()
  {
    tf_buffer.setUsingDedicatedThread(true);
    tf_buffer.setTransform(
      staticTransform(
        "map", "camera_link", {1.0, 2.0, 0.5},
        Eigen::Quaterniond(Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitZ()))), "bench", true);
    Eigen::Matrix3d optical;
    optical << 0, 0, 1, -1, 0, 0, 0, -1, 0;
    tf_buffer.setTransform(
      staticTransform("camera_link", "camera_optical", Eigen::Vector3d::Zero(),
      Eigen::Quaterniond(optical)), "bench", true);
    buffer = std::make_unique<ObservationBuffer>(
      options, "map", tf_buffer, 0.2, clock, rclcpp::get_logger("bench"),
      std::make_shared<FrustumDetector>(
        cameraInfo(), 0.3f, 4.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy()));
    frame.header.stamp = clock->now();
  }

  ObservationBufferOptions options;
  std::shared_ptr<rclcpp::Clock> clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer{clock};
  std::unique_ptr<ObservationBuffer> buffer;
  quorvane_protocol::msg::SemanticPointCloud frame = depthFrame();
};

void BM_BufferVgaCloud(benchmark::State & state)
{
  CameraSource source;
  const auto & cloud = source.frame.clouds[0].cloud;
  const double lowest = source.options.min_obstacle_height;
  const double highest = source.options.max_obstacle_height;
  Eigen::Matrix4f to_map;
  pcl_ros::transformAsMatrix(
    source.tf_buffer.lookupTransform("map", "camera_link", tf2::TimePointZero), to_map);
  const Eigen::Matrix3f rotation = to_map.topLeftCorner<3, 3>();
  const Eigen::Vector3f translation = to_map.topRightCorner<3, 1>();
  Eigen::Matrix3Xf points(3, kPointsPerFrame);

  const auto buffer_frame = [&] {
      std::lock_guard<std::mutex> guard(source.buffer->lock_);
      benchmark::DoNotOptimize(source.buffer->bufferCloud(source.frame));
    };
  const auto plain_loop = [&] {
      const std::uint8_t * point = cloud.data.data();
      Eigen::Index kept = 0;
      for (Eigen::Index i = 0; i < kPointsPerFrame; ++i, point += cloud.point_step) {
        float xyz[3];
        std::memcpy(xyz, point, sizeof(xyz));
        if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]) ||
          xyz[2] < lowest || xyz[2] > highest)
        {
          continue;
        }
        points.col(kept++) = rotation * Eigen::Vector3f(xyz[0], xyz[1], xyz[2]) + translation;
      }
      benchmark::DoNotOptimize(points.data());
      benchmark::DoNotOptimize(kept);
      benchmark::ClobberMemory();
    };
  quorvane_bench::runPaired(state, "buffer_vga_cloud", buffer_frame, plain_loop);
}
BENCHMARK(BM_BufferVgaCloud)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
