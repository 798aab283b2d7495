// Throughput of the camera path on one 640 x 480 frame: storing it (height band, transform into
// the map), refilling the frustum detector from it, and, as the floor, copying its points.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <Eigen/Geometry>
#include <rclcpp/logger.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumDetectorStrategy;
using costmap_depth_camera::Observation;
using costmap_depth_camera::ObservationBuffer;
using costmap_depth_camera::ObservationBufferOptions;

constexpr std::uint32_t kWidth = 640;
constexpr std::uint32_t kHeight = 480;
constexpr double kFocal = 320.0;

sensor_msgs::msg::CameraInfo cameraInfo()
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = "camera_optical";
  info.width = kWidth;
  info.height = kHeight;
  info.p = {kFocal, 0.0, kWidth / 2.0, 0.0, 0.0, kFocal, kHeight / 2.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

// A depth frame of a floor with a wall 3 m ahead, in the camera body frame (x forward, z up).
quorvane_protocol::msg::SemanticPointCloud depthFrame()
{
  quorvane_protocol::msg::SemanticPointCloud frame;
  frame.header.frame_id = "camera_link";
  frame.clouds.resize(1);
  frame.clouds[0].category = 1;
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
  for (const auto & [px, py] : std::vector<std::array<float, 2>>{{0.3f, -0.3f}, {8.0f, -8.0f},
      {8.0f, 8.0f}, {0.3f, 0.3f}})
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

// One camera source with its transforms in place, as the front end sets it up.
struct CameraSource
{
  explicit CameraSource(bool with_detector)
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
    std::shared_ptr<FrustumDetector> detector;
    if (with_detector) {
      detector = std::make_shared<FrustumDetector>(
        cameraInfo(), 0.3f, 8.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy());
    }
    buffer = std::make_unique<ObservationBuffer>(
      ObservationBufferOptions(), "map", tf_buffer, 0.2, clock, rclcpp::get_logger("bench"),
      detector);
    frame.header.stamp = clock->now();
  }

  std::shared_ptr<rclcpp::Clock> clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer{clock};
  std::unique_ptr<ObservationBuffer> buffer;
  quorvane_protocol::msg::SemanticPointCloud frame = depthFrame();
};

constexpr std::int64_t kPointsPerFrame = static_cast<std::int64_t>(kWidth) * kHeight;

void BM_PlainCopyOfTheFramePoints(benchmark::State & state)
{
  const auto frame = depthFrame();
  const auto & cloud = frame.clouds[0].cloud;
  Eigen::Matrix3Xf points(3, kPointsPerFrame);
  for (auto _ : state) {
    const std::uint8_t * data = cloud.data.data();
    for (Eigen::Index i = 0; i < kPointsPerFrame; ++i, data += cloud.point_step) {
      std::memcpy(points.col(i).data(), data, 3 * sizeof(float));
    }
    benchmark::DoNotOptimize(points.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPointsPerFrame);
}
BENCHMARK(BM_PlainCopyOfTheFramePoints)->Unit(benchmark::kMillisecond);

void BM_BufferCloud(benchmark::State & state)
{
  CameraSource source(false);
  for (auto _ : state) {
    benchmark::DoNotOptimize(source.buffer->bufferCloud(source.frame));
  }
  state.SetItemsProcessed(state.iterations() * kPointsPerFrame);
}
BENCHMARK(BM_BufferCloud)->Unit(benchmark::kMillisecond);

void BM_BufferCloudWithDetector(benchmark::State & state)
{
  CameraSource source(true);
  for (auto _ : state) {
    benchmark::DoNotOptimize(source.buffer->bufferCloud(source.frame));
  }
  state.SetItemsProcessed(state.iterations() * kPointsPerFrame);
}
BENCHMARK(BM_BufferCloudWithDetector)->Unit(benchmark::kMillisecond);

// The whole collection call of an update: the observation copy handed out plus the refill.
void BM_GetObservationsAndDetectorRefill(benchmark::State & state)
{
  CameraSource source(true);
  source.buffer->bufferCloud(source.frame);
  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  for (auto _ : state) {
    observations.clear();
    detectors.clear();
    source.buffer->getObservationsAndFrustumDetector(observations, detectors, false);
    benchmark::DoNotOptimize(detectors.front()->points_used());
  }
  state.SetItemsProcessed(state.iterations() * kPointsPerFrame);
}
BENCHMARK(BM_GetObservationsAndDetectorRefill)->Unit(benchmark::kMillisecond);

// The refill alone, on the points the buffer stored.
void BM_DetectorRefillBinning(benchmark::State & state)
{
  CameraSource source(true);
  source.buffer->bufferCloud(source.frame);
  std::vector<Observation> observations;
  source.buffer->getObservations(observations);
  const Eigen::Matrix3Xf & points = observations.front().clouds.front().points;
  FrustumDetector & detector = *source.buffer->frustum_detector_;
  for (auto _ : state) {
    detector.clear();
    detector.setTrans(source.buffer->camera_transform());
    detector.setShape(source.buffer->shape());
    detector.accumulateDepthGrid(points);
    detector.fixSetting();
    benchmark::DoNotOptimize(detector.points_used());
  }
  state.SetItemsProcessed(state.iterations() * points.cols());
}
BENCHMARK(BM_DetectorRefillBinning)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
