// libFuzzer target for the depth-camera path: a CameraInfo, a camera mounting and a few
// SemanticPointCloud frames with arbitrary PointCloud2 layouts go through the source callback
// (dilation included) into an observation buffer, then through the detector refill into the
// marking of an obstacle-type grid, twice, so that remembered clouds meet a refilled frustum.

#include <rcl/time.h>
#include <stdlib.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <geometry_msgs/msg/transform_stamped.hpp>
#include <quorvane_protocol/msg/semantic_point_cloud.hpp>
#include <rclcpp/clock.hpp>
#include <rclcpp/logger.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/point_field.hpp>
#include <tf2_ros/buffer.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumDetectorStrategy;
using costmap_depth_camera::FrustumObservationRos;
using costmap_depth_camera::FrustumObservationRosOptions;
using costmap_depth_camera::Observation;
using costmap_depth_camera::ObservationBuffer;
using costmap_depth_camera::ObservationBufferOptions;
using quorvane_protocol::msg::SemanticCloud;
using quorvane_protocol::msg::SemanticPointCloud;

constexpr std::int32_t kNowSeconds = 1000;
constexpr int kGridCells = 200;
constexpr double kResolution = 0.05;
constexpr double kOrigin = -5.0;

// Exposes the marking step that an update runs on the observations it collected.
class Marker : public FrustumObservationRos
{
public:
  using FrustumObservationRos::FrustumObservationRos;
  using FrustumObservationRos::markObservations;
};

// Mostly plausible values, sometimes any float at all (NaN and infinities included).
float consumeFloat(FuzzedDataProvider & input, float low, float high)
{
  if (input.ConsumeIntegralInRange<int>(0, 7) == 0) {
    return input.ConsumeFloatingPoint<float>();
  }
  return input.ConsumeFloatingPointInRange<float>(low, high);
}

sensor_msgs::msg::CameraInfo consumeCameraInfo(FuzzedDataProvider & input)
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = input.ConsumeBool() ? "camera_optical" : "camera_link";
  info.width = input.ConsumeIntegralInRange<std::uint32_t>(0, 2000);
  info.height = input.ConsumeIntegralInRange<std::uint32_t>(0, 2000);
  if (input.ConsumeBool()) {
    info.width = input.ConsumeIntegral<std::uint32_t>();
    info.height = input.ConsumeIntegral<std::uint32_t>();
  }
  const float focal = consumeFloat(input, -1000.0f, 1000.0f);
  info.p = {focal, 0.0, info.width / 2.0, 0.0, 0.0, focal, info.height / 2.0, 0.0, 0.0, 0.0, 1.0,
    0.0};
  for (std::size_t changed = input.ConsumeIntegralInRange<std::size_t>(0, 3); changed > 0;
    --changed)
  {
    info.p[input.ConsumeIntegralInRange<std::size_t>(0, 11)] = consumeFloat(input, -2000.0f, 2000.0f);
  }
  return info;
}

// tf itself refuses non-finite transforms, and a refused one would only make every look-up wait
// out its time-out.
geometry_msgs::msg::TransformStamped consumeMounting(FuzzedDataProvider & input)
{
  geometry_msgs::msg::TransformStamped mounting;
  mounting.header.frame_id = "map";
  mounting.child_frame_id = "camera_link";
  mounting.transform.translation.x = input.ConsumeFloatingPointInRange<double>(-6.0, 6.0);
  mounting.transform.translation.y = input.ConsumeFloatingPointInRange<double>(-6.0, 6.0);
  mounting.transform.translation.z = input.ConsumeFloatingPointInRange<double>(-1.0, 2.0);
  const double yaw = input.ConsumeFloatingPointInRange<double>(-4.0, 4.0);
  mounting.transform.rotation.z = std::sin(yaw / 2.0);
  mounting.transform.rotation.w = std::cos(yaw / 2.0);
  return mounting;
}

sensor_msgs::msg::PointField consumeField(FuzzedDataProvider & input, std::uint32_t & offset)
{
  static const std::array<const char *, 6> names{"x", "y", "z", "rgb", "intensity", ""};
  sensor_msgs::msg::PointField field;
  field.name = names[input.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
  field.datatype = input.ConsumeBool() ?
    sensor_msgs::msg::PointField::FLOAT32 : input.ConsumeIntegralInRange<std::uint8_t>(0, 9);
  field.count = input.ConsumeIntegralInRange<std::uint32_t>(0, 2);
  field.offset = input.ConsumeBool() ? offset : input.ConsumeIntegralInRange<std::uint32_t>(0, 40);
  offset = field.offset + 4;
  return field;
}

sensor_msgs::msg::PointCloud2 consumeCloud(FuzzedDataProvider & input)
{
  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header.frame_id = "camera_link";
  std::uint32_t offset = 0;
  for (std::size_t field = input.ConsumeIntegralInRange<std::size_t>(0, 5); field > 0; --field) {
    cloud.fields.push_back(consumeField(input, offset));
  }
  cloud.is_bigendian = input.ConsumeBool() && input.ConsumeBool();
  cloud.point_step = input.ConsumeBool() ? offset : input.ConsumeIntegralInRange<std::uint32_t>(0, 48);
  cloud.height = input.ConsumeIntegralInRange<std::uint32_t>(0, 4);
  cloud.width = input.ConsumeIntegralInRange<std::uint32_t>(0, 64);
  if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
    cloud.height = input.ConsumeIntegral<std::uint32_t>();
    cloud.width = input.ConsumeIntegral<std::uint32_t>();
  }
  cloud.row_step = input.ConsumeBool() ?
    cloud.width * cloud.point_step : input.ConsumeIntegral<std::uint32_t>();
  cloud.is_dense = input.ConsumeBool();
  cloud.data = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, 4096));
  return cloud;
}

SemanticPointCloud consumeFrame(FuzzedDataProvider & input)
{
  SemanticPointCloud message;
  message.header.frame_id = input.ConsumeIntegralInRange<int>(0, 15) == 0 ? "" : "camera_link";
  message.header.stamp.sec = kNowSeconds - input.ConsumeIntegralInRange<std::int32_t>(-2, 5);
  if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
    message.header.stamp.sec = input.ConsumeIntegral<std::int32_t>();
  }
  message.header.stamp.nanosec = input.ConsumeIntegralInRange<std::uint32_t>(0, 999999999);
  message.source = input.ConsumeIntegral<std::uint8_t>();
  for (std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 4); count > 0; --count) {
    SemanticCloud sub_cloud;
    sub_cloud.category = input.ConsumeIntegralInRange<std::uint32_t>(0, 600);
    sub_cloud.instance_id = input.ConsumeIntegral<std::uint32_t>();
    sub_cloud.is_polygon = input.ConsumeIntegralInRange<std::uint8_t>(0, 2);
    sub_cloud.cloud = consumeCloud(input);
    message.clouds.push_back(std::move(sub_cloud));
  }
  for (std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 6); count > 0; --count) {
    geometry_msgs::msg::Point32 vertex;
    vertex.x = consumeFloat(input, -8.0f, 8.0f);
    vertex.y = consumeFloat(input, -8.0f, 8.0f);
    message.shape.points.push_back(vertex);
  }
  return message;
}

struct Pipeline
{
  explicit Pipeline(FuzzedDataProvider & input)
  {
    ObservationBufferOptions options;
    options.source_name = "obstacle_type.front_camera";
    options.topic = "front_camera/semantic_points";
    options.observation_persistence = input.ConsumeBool() ? 0.0 : 3.0;
    options.max_detect_distance = 5.0;
    FrustumObservationRosOptions pipeline_options;
    pipeline_options.name = "obstacle_type";
    pipeline_options.global_frame = "map";
    pipeline_options.occlusion_clearing = true;
    pipeline_options.decay_time = input.ConsumeBool() ? 0.0 : 2.0;
    pipeline_options.local_cache_distance = input.ConsumeBool() ? 0.0 : 3.0;
    pipeline_options.dilation_size = input.ConsumeBool() ? 0.0 : 0.15;
    pipeline_options.enable_near_blocked_protection = input.ConsumeBool();
    pipeline_options.number_points_considered_as_blocked = 5;
    pipeline_options.forced_clearing_distance = 0.4;

    if (rcl_enable_ros_time_override(clock->get_clock_handle()) != RCL_RET_OK ||
      rcl_set_ros_time_override(
        clock->get_clock_handle(), rcl_time_point_value_t{kNowSeconds} * 1000000000) != RCL_RET_OK)
    {
      std::abort();
    }
    tf_buffer.setUsingDedicatedThread(true);
    tf_buffer.setTransform(consumeMounting(input), "fuzz", true);
    geometry_msgs::msg::TransformStamped optical;
    optical.header.frame_id = "camera_link";
    optical.child_frame_id = "camera_optical";
    optical.transform.rotation.x = -0.5;
    optical.transform.rotation.y = 0.5;
    optical.transform.rotation.z = -0.5;
    optical.transform.rotation.w = 0.5;
    tf_buffer.setTransform(optical, "fuzz", true);

    buffer = std::make_shared<ObservationBuffer>(
      options, "map", tf_buffer, 0.05, clock, rclcpp::get_logger("fuzz_camera_pipeline"), nullptr);
    const auto view_min = static_cast<float>(options.min_detect_distance);
    const auto view_max = static_cast<float>(options.max_detect_distance);
    const auto theta_resolution = static_cast<float>(options.frustum_theta_resolution);
    const auto r_resolution = static_cast<float>(options.frustum_r_resolution);
    const sensor_msgs::msg::CameraInfo info = consumeCameraInfo(input);
    // The front end's judgement of what a camera sends; the detector is built even from what it
    // refuses, since it must stay safe on its own.
    static_cast<void>(
      FrustumDetector::refusalOf(info, view_min, view_max, theta_resolution, r_resolution));
    buffer->frustum_detector_ = std::make_shared<FrustumDetector>(
      info, view_min, view_max, theta_resolution, r_resolution,
      static_cast<float>(options.frustum_obstruct_theta_tolerance), FrustumDetectorStrategy());
    marker = std::make_unique<Marker>(
      std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), pipeline_options, tf_buffer, kGridCells,
      kGridCells, kResolution, kOrigin, kOrigin);
  }

  // One map update: collect what the buffer holds, refill its detector, mark the grid.
  void update(float robot_x, float robot_y)
  {
    std::vector<Observation> observations;
    std::vector<std::shared_ptr<FrustumDetector>> detectors;
    {
      std::lock_guard<std::mutex> guard(buffer->lock_);
      buffer->getObservationsAndFrustumDetector(observations, detectors, false);
    }
    double min_x = 1e30;
    double min_y = 1e30;
    double max_x = -1e30;
    double max_y = -1e30;
    marker->markObservations(
      grid, observations, detectors, robot_x, robot_y, &min_x, &min_y, &max_x, &max_y,
      std::chrono::system_clock::now());
  }

  std::shared_ptr<rclcpp::Clock> clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer{std::make_shared<rclcpp::Clock>(RCL_SYSTEM_TIME)};
  std::shared_ptr<ObservationBuffer> buffer;
  std::unique_ptr<Marker> marker;
  quorvane_nav2_gridmap::ObsTypeGridMap grid{kGridCells, kGridCells, kResolution, kOrigin, kOrigin};
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  // Millions of refused frames would otherwise flood the output with log lines.
  setenv("SPDLOG_STDOUT", "false", 1);
  setenv("SPDLOG_SYSTEMD", "false", 1);
  setenv("SPDLOG_LEVEL", "critical", 1);
  rclcpp::get_logger("fuzz_camera_pipeline").set_level(rclcpp::Logger::Level::Fatal);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  FuzzedDataProvider input(data, size);
  Pipeline pipeline(input);
  for (int round = 0; round < 2 && input.remaining_bytes() > 0; ++round) {
    for (std::size_t count = input.ConsumeIntegralInRange<std::size_t>(1, 3); count > 0; --count) {
      // As the subscription delivers it; the callback keeps its own errors.
      pipeline.marker->semanticPointCloudCallback(
        std::make_shared<const SemanticPointCloud>(consumeFrame(input)), pipeline.buffer);
    }
    pipeline.update(consumeFloat(input, -6.0f, 6.0f), consumeFloat(input, -6.0f, 6.0f));
  }
  return 0;
}
