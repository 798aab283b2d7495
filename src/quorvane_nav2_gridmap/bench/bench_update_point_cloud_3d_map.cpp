// The obstacle-type map update as a host runs it: a GridMapROS node whose obstacle-type plugin
// listens to 1, 4 or 8 depth cameras (640 x 480 semantic clouds with camera info, placed by
// static TF), updated through MultiGridMap::updateMap on a 20 m x 20 m costmap at 0.05 m. The
// cameras' frames reach the plugin through their topics and transform filters, untimed; only
// the obstacle-type plugin's update is timed, each beside its baseline in the same loop.

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <Eigen/Geometry>
#include <rclcpp/rclcpp.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <spdlog/sinks/base_sink.h>
#include <tf2_ros/static_transform_broadcaster.h>

#include "paired_timing.hpp"
#include "vga_camera_frames.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace
{

using quorvane_protocol::msg::SemanticPointCloud;

using quorvane_bench::opticalRotation;
using quorvane_bench::staticTransform;
// The robot stands in the middle of the 20 m costmap.
constexpr double kRobotX = 10.0;
constexpr double kRobotY = 10.0;

std::string hostName(int cameras)
{
  return "cams" + std::to_string(cameras);
}

std::string cameraName(int cameras, int index)
{
  return hostName(cameras) + "_cam" + std::to_string(index);
}

// The demo's obstacle-type configuration, with one source per camera.
std::string hostParameters(int cameras)
{
  const std::string name = hostName(cameras);
  std::string sources;
  std::string source_entries;
  for (int i = 0; i < cameras; ++i) {
    const std::string camera = cameraName(cameras, i);
    sources += (i > 0 ? " " : "") + camera;
    source_entries += "      " + camera + ":\n        topic: /" + camera + "/semantic_cloud\n" +
      "        camera_info_topic: /" + camera + "/camera_info\n";
  }
  return "/" + name + "_costmap/" + name + "_costmap:\n  ros__parameters:\n"
         "    global_frame: map\n    resolution: 0.05\n    width: 20\n    height: 20\n"
         "    track_unknown_space: false\n"
         "/" + name + "_gridmap/" + name + "_gridmap:\n  ros__parameters:\n"
         "    plugins: [\"distance\", \"obstacle_type\"]\n"
         "    distance:\n      plugin: quorvane_nav2_gridmap::GridDistanceMap\n"
         "    obstacle_type:\n      plugin: quorvane_nav2_gridmap::GridObstacleType\n"
         "      enable_near_blocked_protection: true\n"
         "      number_points_considered_as_blocked: 5\n"
         "      decay_time: 5.0\n      local_cache_distance: 6.0\n"
         "      occlusion_clearing: true\n      clearing_min_point_cloud: 3\n"
         "      map_path_str: /nonexistent/quorvane/bench/maps/\n"
         "      observation_sources: \"" + sources + "\"\n"
         "      observation_source_default_conf:\n"
         "        observation_persistence: 0.0\n"
         "        min_obstacle_height: -0.5\n        max_obstacle_height: 2.0\n"
         "        min_detect_distance: 0.3\n        max_detect_distance: 4.0\n"
         "        marking: true\n" + source_entries;
}

// Counts the facade's lines that contain a text.
class CountingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  explicit CountingSink(std::string text)
  : text_(std::move(text)) {}
  int count()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    if (std::string_view(message.payload.data(), message.payload.size()).find(text_) !=
      std::string_view::npos)
    {
      ++count_;
    }
  }
  void flush_() override {}

private:
  std::string text_;
  int count_{0};
};

// A host with its grid-map node, its executor (spun only to take the cameras' frames) and the
// camera drivers: N cameras 0.3 m around the robot's centre, looking outwards.
class CameraHost
{
public:
  explicit CameraHost(int cameras)
  : cameras_(cameras)
  {
    const std::string name = hostName(cameras);
    node_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>(name, "");
    node_->configure();
    executor_.add_node(node_->get_node_base_interface());
    for (const auto & map : node_->multi_grid_map_->getGridMaps()) {
      if (map->getType() == 3) {
        obstacle_type_ = map;
      }
    }
    driver_ = std::make_shared<rclcpp::Node>(name + "_camera_driver");
    broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(driver_);
    std::vector<geometry_msgs::msg::TransformStamped> transforms;
    for (int i = 0; i < cameras; ++i) {
      const std::string camera = cameraName(cameras, i);
      const double heading = 2.0 * M_PI * i / cameras;
      transforms.push_back(
        staticTransform(
          "map", camera + "_link",
          {kRobotX + 0.3 * std::cos(heading), kRobotY + 0.3 * std::sin(heading), 0.5},
          Eigen::Quaterniond(Eigen::AngleAxisd(heading, Eigen::Vector3d::UnitZ()))));
      transforms.push_back(
        staticTransform(camera + "_link", camera + "_optical", Eigen::Vector3d::Zero(),
        opticalRotation()));
      cloud_publishers_.push_back(
        driver_->create_publisher<SemanticPointCloud>("/" + camera + "/semantic_cloud", 10));
      info_publishers_.push_back(
        driver_->create_publisher<sensor_msgs::msg::CameraInfo>("/" + camera + "/camera_info", 1));
      frames_.push_back(quorvane_bench::vgaDepthFrame(camera + "_link"));
    }
    broadcaster_->sendTransform(transforms);
  }

  ~CameraHost()
  {
    stopCameraInfo();
  }

  // Delivers frames until every camera has its frustum detector and the frames mark the grid;
  // false when that does not happen within a few seconds.
  bool warmUp()
  {
    auto missing = std::make_shared<CountingSink>("do not have frustum");
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.push_back(missing);
    startCameraInfo();
    bool ready = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready && std::chrono::steady_clock::now() < deadline) {
      const int before = missing->count();
      deliverNewFrames();
      node_->multi_grid_map_->updateMap();
      ready = missing->count() == before && wallIsMarked();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopCameraInfo();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), missing), sinks.end());
    return ready;
  }

  // One new frame from every camera, taken by the host's executor as it arrives.
  void deliverNewFrames()
  {
    const rclcpp::Time now = node_->now();
    for (int i = 0; i < cameras_; ++i) {
      frames_[i].header.stamp = now;
      frames_[i].clouds[0].cloud.header.stamp = now;
      cloud_publishers_[i]->publish(frames_[i]);
    }
    // spin_some takes one callback of the node's (mutually exclusive) default group per round:
    // run rounds until every camera's frame is taken.
    executor_.spin_all(std::chrono::seconds(1));
  }

  // The obstacle-type plugin's update, as MultiGridMap::updateMap calls it after the distance
  // map's; the distance map, which the cameras do not feed, is left out of the timing.
  void update()
  {
    obstacle_type_->updateMap();
  }

  const std::vector<SemanticPointCloud> & frames() const {return frames_;}

private:
  // The first camera sees its wall 3.3 m ahead of the robot's centre.
  bool wallIsMarked() const
  {
    quorvane_nav2_gridmap::ObsTypeBitMap bits;
    node_->multi_grid_map_->getObstacleType(
      static_cast<unsigned int>((kRobotX + 3.3) / 0.05), static_cast<unsigned int>(kRobotY / 0.05),
      bits);
    return bits.any();
  }

  void startCameraInfo()
  {
    camera_info_on_ = true;
    camera_info_thread_ = std::thread([this] {
        while (camera_info_on_) {
          for (int i = 0; i < cameras_; ++i) {
            info_publishers_[i]->publish(quorvane_bench::vgaCameraInfo(cameraName(cameras_, i) + "_optical"));
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      });
  }

  void stopCameraInfo()
  {
    camera_info_on_ = false;
    if (camera_info_thread_.joinable()) {
      camera_info_thread_.join();
    }
  }

  int cameras_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> node_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMap> obstacle_type_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::shared_ptr<rclcpp::Node> driver_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  std::vector<rclcpp::Publisher<SemanticPointCloud>::SharedPtr> cloud_publishers_;
  std::vector<rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr> info_publishers_;
  std::vector<SemanticPointCloud> frames_;
  std::atomic<bool> camera_info_on_{false};
  std::thread camera_info_thread_;
};

// One camera source outside any host, as its subscription callback buffers a frame.
struct StandaloneSource
{
  StandaloneSource()
  {
    tf_buffer.setUsingDedicatedThread(true);
    tf_buffer.setTransform(
      staticTransform("map", "solo_link", {kRobotX, kRobotY, 0.5}, Eigen::Quaterniond::Identity()),
      "bench", true);
    tf_buffer.setTransform(
      staticTransform("solo_link", "solo_optical", Eigen::Vector3d::Zero(), opticalRotation()),
      "bench", true);
    costmap_depth_camera::ObservationBufferOptions options;
    options.min_detect_distance = 0.3;
    options.max_detect_distance = 4.0;
    buffer = std::make_unique<costmap_depth_camera::ObservationBuffer>(
      options, "map", tf_buffer, 0.2, clock, rclcpp::get_logger("bench"),
      std::make_shared<costmap_depth_camera::FrustumDetector>(
        quorvane_bench::vgaCameraInfo("solo_optical"), 0.3f, 4.0f, 0.0881f, 0.05f, 0.0f,
        costmap_depth_camera::FrustumDetectorStrategy()));
    frame.header.stamp = clock->now();
  }

  void bufferFrame()
  {
    std::lock_guard<std::mutex> guard(buffer->lock_);
    benchmark::DoNotOptimize(buffer->bufferCloud(frame));
  }

  std::shared_ptr<rclcpp::Clock> clock = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer{clock};
  std::unique_ptr<costmap_depth_camera::ObservationBuffer> buffer;
  SemanticPointCloud frame = quorvane_bench::vgaDepthFrame("solo_link");
};

// One host per camera count for the whole run: building and warming one up takes seconds, and
// the benchmark library may call a benchmark more than once.
std::map<int, std::unique_ptr<CameraHost>> hosts;

CameraHost * warmHost(int cameras)
{
  auto & host = hosts[cameras];
  if (!host) {
    host = std::make_unique<CameraHost>(cameras);
    if (!host->warmUp()) {
      return nullptr;
    }
  }
  return host.get();
}

void BM_ObstacleUpdateNoNewFrame(benchmark::State & state)
{
  CameraHost * const warm = warmHost(1);
  if (warm == nullptr) {
    state.SkipWithError("the camera never reached the grid");
    return;
  }
  CameraHost & host = *warm;
  // Whatever ran before, the next update has nothing new.
  host.update();
  StandaloneSource source;
  quorvane_bench::runPaired(
    state, "obstacle_update_no_new_frame", [&] {host.update();}, [&] {source.bufferFrame();});
}
BENCHMARK(BM_ObstacleUpdateNoNewFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ObstacleUpdateNewFrame(benchmark::State & state)
{
  const int cameras = static_cast<int>(state.range(0));
  CameraHost * const warm = warmHost(cameras);
  if (warm == nullptr) {
    state.SkipWithError("the cameras never reached the grid");
    return;
  }
  CameraHost & host = *warm;
  // The floor: the frames' bytes copied once, into storage of their own.
  std::vector<std::vector<std::uint8_t>> copies;
  for (const auto & frame : host.frames()) {
    copies.emplace_back(frame.clouds[0].cloud.data.size());
  }
  const auto copy_frames = [&] {
      for (std::size_t i = 0; i < copies.size(); ++i) {
        const auto & bytes = host.frames()[i].clouds[0].cloud.data;
        std::memcpy(copies[i].data(), bytes.data(), bytes.size());
      }
      benchmark::ClobberMemory();
    };
  quorvane_bench::runPaired(
    state, "obstacle_update_new_frame_" + std::to_string(cameras) + "cam",
    [&] {host.deliverNewFrames();}, [&] {host.update();}, copy_frames);
}
BENCHMARK(BM_ObstacleUpdateNewFrame)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()
->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  // The facade's lines would drown the table; a caller may still ask for them.
  setenv("SPDLOG_STDOUT", "false", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  const auto parameters =
    std::filesystem::temp_directory_path() / ("bench_update_point_cloud_3d_map_" +
    std::to_string(::getpid()) + ".yaml");
  {
    std::ofstream file(parameters);
    for (const int cameras : {1, 4, 8}) {
      file << hostParameters(cameras);
    }
  }
  const std::string parameter_path = parameters.string();
  const char * ros_argv[] = {"bench_update_point_cloud_3d_map", "--ros-args", "--params-file",
    parameter_path.c_str()};
  rclcpp::init(4, ros_argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  hosts.clear();
  rclcpp::shutdown();
  std::filesystem::remove(parameters);
  return 0;
}
