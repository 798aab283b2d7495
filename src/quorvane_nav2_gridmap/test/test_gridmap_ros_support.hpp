#ifndef TEST_GRIDMAP_ROS_SUPPORT_HPP_
#define TEST_GRIDMAP_ROS_SUPPORT_HPP_

// What the grid-map tests share: ROS started with a parameter file as a launch file would pass it,
// a sink that captures the facade's log lines, maps published on a costmap node's map topic, camera
// frames, and a host spinning the nodes.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "builtin_interfaces/msg/time.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

#include "quorvane_nav2_gridmap/logger.hpp"

namespace gridmap_test
{

// Starts ROS with `--ros-args --params-file` of the given YAML before the first test, as a launch
// file would. The file lives in a directory of its own: test processes running side by side must
// not read each other's file.
class RosEnvironment : public ::testing::Environment
{
public:
  explicit RosEnvironment(std::string parameters)
  : parameters_(std::move(parameters)) {}

  void SetUp() override
  {
    std::string pattern = ::testing::TempDir() + "gridmap_testXXXXXX";
    const char * made = mkdtemp(pattern.data());
    ASSERT_NE(made, nullptr) << "no directory for the parameter file";
    directory_ = made;
    const std::string path = directory_ + "/parameters.yaml";
    std::ofstream(path) << parameters_;
    const char * argv[] = {"gridmap_test", "--ros-args", "--params-file", path.c_str()};
    rclcpp::init(4, argv);
  }

  void TearDown() override
  {
    rclcpp::shutdown();
    std::filesystem::remove_all(directory_);
  }

private:
  std::string parameters_;
  std::string directory_;
};

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;
  std::string file;
  std::string function;
};

// Captures the facade's lines while it is attached.
class CapturingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  static std::shared_ptr<CapturingSink> attach()
  {
    auto sink = std::make_shared<CapturingSink>();
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink);
    return sink;
  }

  void detach()
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(
      std::remove_if(
        sinks.begin(), sinks.end(), [this](const auto & sink) {return sink.get() == this;}),
      sinks.end());
  }

  std::vector<LogLine> linesAt(spdlog::level::level_enum level)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LogLine> selected;
    std::copy_if(
      lines_.begin(), lines_.end(), std::back_inserter(selected),
      [level](const LogLine & line) {return line.level == level;});
    return selected;
  }

  size_t size()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
  }

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    lines_.push_back(
      {message.level, std::string(message.payload.data(), message.payload.size()),
        message.source.filename, message.source.funcname});
  }
  void flush_() override {}

private:
  std::vector<LogLine> lines_;
};

// Polls `done` for up to ten seconds; its last answer is returned for the test to assert.
inline bool waitUntil(const std::function<bool()> & done)
{
  for (int attempt = 0; attempt < 10000 && !done(); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

// A map of free cells with the occupancy values a test sets, and the costs the costmap node's
// static layer turns them into (nav2's static layer caps the lethal threshold at 100).
class CostGrid
{
public:
  CostGrid(
    unsigned int width, unsigned int height, float resolution = 0.05f, double origin_x = 0.0,
    double origin_y = 0.0)
  : width_(width), height_(height), resolution_(resolution), origin_x_(origin_x),
    origin_y_(origin_y), occupancy_(static_cast<size_t>(width) * height, 0),
    costs_(occupancy_.size(), 0) {}

  void lethal(unsigned int mx, unsigned int my) {set(mx, my, 100, 254);}
  void unknown(unsigned int mx, unsigned int my) {set(mx, my, -1, 255);}
  // 99 of 100 gives the highest cost below lethal: 99 / 100 * 254.
  void almostLethal(unsigned int mx, unsigned int my) {set(mx, my, 99, 251);}

  nav_msgs::msg::OccupancyGrid toOccupancyGrid() const
  {
    nav_msgs::msg::OccupancyGrid map;
    map.header.frame_id = "map";
    map.info.resolution = resolution_;
    map.info.width = width_;
    map.info.height = height_;
    map.info.origin.position.x = origin_x_;
    map.info.origin.position.y = origin_y_;
    map.info.origin.orientation.w = 1.0;
    map.data = occupancy_;
    return map;
  }

  bool matches(nav2_costmap_2d::Costmap2D & costmap) const
  {
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap.getMutex());
    return costmap.getSizeInCellsX() == width_ && costmap.getSizeInCellsY() == height_ &&
           costmap.getResolution() == resolution_ && costmap.getOriginX() == origin_x_ &&
           costmap.getOriginY() == origin_y_ &&
           std::equal(costs_.begin(), costs_.end(), costmap.getCharMap());
  }

private:
  void set(unsigned int mx, unsigned int my, std::int8_t occupancy, unsigned char cost)
  {
    occupancy_[my * width_ + mx] = occupancy;
    costs_[my * width_ + mx] = cost;
  }

  unsigned int width_;
  unsigned int height_;
  float resolution_;
  double origin_x_;
  double origin_y_;
  std::vector<std::int8_t> occupancy_;
  std::vector<unsigned char> costs_;
};

// Plays the map server for one costmap node: publishes on its map topic and waits until the
// node's costmap holds the map.
class MapServer
{
public:
  MapServer(const std::shared_ptr<rclcpp::Node> & node, const std::string & costmap_namespace)
  : publisher_(node->create_publisher<nav_msgs::msg::OccupancyGrid>(
        costmap_namespace + "/map", rclcpp::QoS(1).transient_local().reliable())) {}

  bool serve(const CostGrid & grid, nav2_costmap_2d::Costmap2D & costmap)
  {
    publisher_->publish(grid.toOccupancyGrid());
    return waitUntil([&] {return grid.matches(costmap);});
  }

private:
  std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>> publisher_;
};

// A camera frame of one sub-cloud of category 300 (a wall: bit 0x4 of the obstacle-type grid)
// holding `points`, given in `frame`.
inline quorvane_protocol::msg::SemanticPointCloud wallFrame(
  const std::string & frame, const builtin_interfaces::msg::Time & stamp,
  const std::vector<std::array<float, 3>> & points)
{
  quorvane_protocol::msg::SemanticPointCloud message;
  message.header.frame_id = frame;
  message.header.stamp = stamp;
  message.clouds.resize(1);
  message.clouds[0].category = 300;
  sensor_msgs::PointCloud2Modifier modifier(message.clouds[0].cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> point(message.clouds[0].cloud, "x");
  for (const auto & xyz : points) {
    point[0] = xyz[0];
    point[1] = xyz[1];
    point[2] = xyz[2];
    ++point;
  }
  return message;
}

// A camera frame of one wall point at (x, y, z) of `frame`, stamped now.
inline quorvane_protocol::msg::SemanticPointCloud wallFrame(
  const std::string & frame, float x, float y, float z)
{
  return wallFrame(frame, rclcpp::Clock(RCL_SYSTEM_TIME).now(), {{x, y, z}});
}

// The CameraInfo of a VGA camera in `frame` (principal point at the image centre), stamped now;
// all zeros is what an uncalibrated driver sends.
inline sensor_msgs::msg::CameraInfo vgaCameraInfo(
  const std::string & frame, double focal_length = 500.0)
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = frame;
  info.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  info.width = 640;
  info.height = 480;
  info.p = {focal_length, 0.0, 320.0, 0.0, 0.0, focal_length, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

// A host's executor spinning nodes on a thread of its own for as long as it lives, as the README
// tells hosts to; `Executor` takes the constructor arguments given after the nodes.
template<typename Executor = rclcpp::executors::SingleThreadedExecutor>
class SpinningHost
{
public:
  using Nodes = std::vector<rclcpp::node_interfaces::NodeBaseInterface::SharedPtr>;

  template<typename ... ExecutorArguments>
  explicit SpinningHost(const Nodes & nodes, ExecutorArguments && ... arguments)
  : executor_(std::forward<ExecutorArguments>(arguments)...)
  {
    for (const auto & node : nodes) {
      executor_.add_node(node);
    }
    thread_ = std::thread([this] {
        executor_.spin();
        spun_out_ = true;
      });
  }

  ~SpinningHost()
  {
    // A cancel that comes before the thread entered spin() is lost, so repeat it.
    while (!spun_out_) {
      executor_.cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
  }

  SpinningHost(const SpinningHost &) = delete;
  SpinningHost & operator=(const SpinningHost &) = delete;

private:
  Executor executor_;
  std::atomic<bool> spun_out_{false};
  std::thread thread_;
};

// A host spinning `nodes` on a single-threaded executor, or on a multi-threaded one of `threads`
// threads; it stops when the last copy is dropped.
inline std::shared_ptr<void> spinningHost(
  const SpinningHost<>::Nodes & nodes, std::size_t threads)
{
  if (threads <= 1) {
    return std::make_shared<SpinningHost<>>(nodes);
  }
  return std::make_shared<SpinningHost<rclcpp::executors::MultiThreadedExecutor>>(
    nodes, rclcpp::ExecutorOptions(), threads);
}

}  // namespace gridmap_test

#endif  // TEST_GRIDMAP_ROS_SUPPORT_HPP_
