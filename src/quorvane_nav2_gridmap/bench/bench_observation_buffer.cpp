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
#include "vga_camera_frames.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumDetectorStrategy;
using costmap_depth_camera::ObservationBuffer;
using costmap_depth_camera::ObservationBufferOptions;

using quorvane_bench::opticalRotation;
using quorvane_bench::staticTransform;
constexpr Eigen::Index kPointsPerFrame =
  static_cast<Eigen::Index>(quorvane_bench::kVgaWidth) * quorvane_bench::kVgaHeight;

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
    tf_buffer.setTransform(
      staticTransform("camera_link", "camera_optical", Eigen::Vector3d::Zero(), opticalRotation()),
      "bench", true);
    buffer = std::make_unique<ObservationBuffer>(
      options, "map", tf_buffer, 0.2, clock, rclcpp::get_logger("bench"),
      std::make_shared<FrustumDetector>(
        quorvane_bench::vgaCameraInfo("camera_optical"), 0.3f, 4.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy()));
    frame.header.stamp = clock->now();
  }

  ObservationBufferOptions options;
  std::shared_ptr<rclcpp::Clock> clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer{clock};
  std::unique_ptr<ObservationBuffer> buffer;
  quorvane_protocol::msg::SemanticPointCloud frame = quorvane_bench::vgaDepthFrame("camera_link");
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
