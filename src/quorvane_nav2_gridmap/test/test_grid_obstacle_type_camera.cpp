// Depth-camera clouds reaching the obstacle-type grid: sources configured in a parameter file,
// clouds published on their topics and placed through TF, category bits read through
// MultiGridMap after an update.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "visualization_msgs/msg/marker_array.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "test_gridmap_ros_support.hpp"
#include "test_map_mark_support.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMapROS;
using quorvane_nav2_gridmap::ObsTypeBitMap;
using quorvane_protocol::msg::SemanticPointCloud;

map_mark_test::ScratchDirectory * scratch = nullptr;

// Every costmap is 20 x 20 cells of 0.5 m from (0, 0).
std::string nodeParameters(const std::string & name, const std::string & obstacle)
{
  return "/" + name + "_costmap/" + name + "_costmap:\n  ros__parameters:\n"
         "    resolution: 0.5\n    width: 10\n    height: 10\n    track_unknown_space: false\n"
         "/" + name + "_gridmap/" + name + "_gridmap:\n  ros__parameters:\n"
         "    plugins: [\"distance\", \"obstacle\"]\n"
         "    distance:\n      plugin: quorvane_nav2_gridmap::GridDistanceMap\n"
         "    obstacle:\n      plugin: quorvane_nav2_gridmap::GridObstacleType\n"
         "      map_path_str: " + scratch->path().string() + "\n" + obstacle;
}

// A remembered point that the one camera's frustum covers while the camera bins no point: its
// fate is the strategy's no_reference_point. Only "keeps" sets that code, in the default
// configuration; its source does not read strategy keys of its own.
std::string clearingParameters(const std::string & name, const std::string & strategy)
{
  return nodeParameters(
    name,
    "      enable_near_blocked_protection: false\n      clearing_min_point_cloud: 0\n"
    "      decay_time: 0.0\n      local_cache_distance: 0.0\n"
    "      observation_sources: front\n"
    "      observation_source_default_conf:\n        marking: true\n" + strategy +
    "      front:\n        topic: /" + name + "/cloud\n"
    "        camera_info_topic: /" + name + "/camera_info\n");
}

// The sources take marking and the height band from the default configuration; the rear source
// turns marking off for itself.
std::string parameterFile()
{
  return clearingParameters("clears", "") +
         clearingParameters(
    "keeps",
    "        frustum_strategy_enable: true\n"
    "        frustum_strategy:\n          no_reference_point: 4\n") +
         nodeParameters(
    "traced",
    "      enable_frustum_trace: true\n      occlusion_clearing: false\n"
    "      observation_sources: front\n"
    "      front:\n        topic: /traced/cloud\n        marking: true\n") +
         nodeParameters(
    "waiting",
    "      observation_sources: front\n"
    "      front:\n        topic: /waiting/cloud\n        marking: true\n"
    "        camera_info_topic: /waiting/camera_info\n") +
         nodeParameters(
    "camera",
    "      observation_sources: front rear\n"
         "      observation_source_default_conf:\n"
         "        marking: true\n        min_obstacle_height: 0.3\n"
         "      front:\n        topic: /front/semantic\n"
         "      rear:\n        topic: /rear/semantic\n        marking: false\n");
}

class RosEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    setenv("SPDLOG_STDOUT", "false", 1);
    scratch = new map_mark_test::ScratchDirectory();
    const std::string path = scratch->write("parameters.yaml", parameterFile()).string();
    const char * argv[] = {"test_grid_obstacle_type_camera", "--ros-args", "--params-file",
      path.c_str()};
    rclcpp::init(4, argv);
  }

  void TearDown() override
  {
    rclcpp::shutdown();
    delete scratch;
  }
};

const ::testing::Environment * const kRosEnvironment =
  ::testing::AddGlobalTestEnvironment(new RosEnvironment);

// Counts the facade's lines that contain a text; safe to read while callbacks log.
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

struct Point
{
  float x;
  float y;
  float z;
};

quorvane_protocol::msg::SemanticCloud subCloudOf(
  std::uint32_t category, const std::vector<Point> & points)
{
  quorvane_protocol::msg::SemanticCloud sub_cloud;
  sub_cloud.category = category;
  sensor_msgs::PointCloud2Modifier modifier(sub_cloud.cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  sensor_msgs::PointCloud2Iterator<float> x(sub_cloud.cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(sub_cloud.cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(sub_cloud.cloud, "z");
  for (const Point & point : points) {
    *x = point.x;
    *y = point.y;
    *z = point.z;
    ++x;
    ++y;
    ++z;
  }
  return sub_cloud;
}

struct SubCloud
{
  std::uint32_t category;
  std::vector<Point> points;
};

// One camera frame, stamped now.
SemanticPointCloud frameOf(
  const std::vector<SubCloud> & sub_clouds, const std::string & frame = "camera_link")
{
  SemanticPointCloud message;
  message.header.frame_id = frame;
  message.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  for (const auto & [category, points] : sub_clouds) {
    message.clouds.push_back(subCloudOf(category, points));
  }
  return message;
}

class GridObstacleTypeCameraTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    helper_ = std::make_shared<rclcpp::Node>("camera_test_helper");
    broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(helper_);
    geometry_msgs::msg::TransformStamped camera;
    camera.header.frame_id = "map";
    camera.child_frame_id = "camera_link";
    camera.transform.translation.x = 1.0;
    camera.transform.rotation.w = 1.0;
    // An optical frame at (1, 5, 0.5) looking along the map's x axis.
    geometry_msgs::msg::TransformStamped optical;
    optical.header.frame_id = "map";
    optical.child_frame_id = "camera_optical";
    optical.transform.translation.x = 1.0;
    optical.transform.translation.y = 5.0;
    optical.transform.translation.z = 0.5;
    optical.transform.rotation.x = -0.5;
    optical.transform.rotation.y = 0.5;
    optical.transform.rotation.z = -0.5;
    optical.transform.rotation.w = 0.5;
    broadcaster_->sendTransform(std::vector<geometry_msgs::msg::TransformStamped>{camera, optical});
    // Without camera info every received cloud is reported once: the sign that it was buffered.
    arrivals_ = std::make_shared<CountingSink>("do not have frustum");
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(arrivals_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), arrivals_), sinks.end());
  }

  // Polls `done` for up to ten seconds and returns its last answer.
  static bool eventually(const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }

  bool waitForArrivals(int count)
  {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (arrivals_->count() < count && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return arrivals_->count() >= count;
  }

  // Runs the node `name` of the clearing configuration through three camera frames and reports
  // whether the point the first frame saw in cell (8, 10) is still in the grid at the end.
  bool rememberedPointSurvives(const std::string & name)
  {
    auto node = std::make_shared<GridMapROS>(name, "");
    EXPECT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
    auto & maps = *node->multi_grid_map_;
    const auto bits = [&maps](unsigned int mx, unsigned int my) {
        ObsTypeBitMap cell;
        maps.getObstacleType(mx, my, cell);
        return cell.bits_;
      };
    // The host executor runs only to take each frame.
    rclcpp::executors::SingleThreadedExecutor host;
    host.add_node(node->get_node_base_interface());
    // A 640 x 480 camera with a 90 degree field of view, for as long as the test needs it.
    std::atomic<bool> camera_on{true};
    std::atomic<int> infos_sent{0};
    auto info_publisher =
      helper_->create_publisher<sensor_msgs::msg::CameraInfo>("/" + name + "/camera_info", 1);
    std::thread camera([&camera_on, &infos_sent, &info_publisher] {
        const auto info = gridmap_test::vgaCameraInfo("camera_optical", 320.0);
        while (camera_on) {
          info_publisher->publish(info);
          ++infos_sent;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      });
    auto clouds = helper_->create_publisher<SemanticPointCloud>("/" + name + "/cloud", 10);

    // The first frame builds the detector from the CameraInfo sent before it, and sees
    // (4, 5, 0.5), 3 m ahead of the camera.
    EXPECT_TRUE(eventually([&infos_sent] {return infos_sent > 0;}));
    const int arrivals_before = arrivals_->count();
    clouds->publish(frameOf({{300, {{4.0f, 5.0f, 0.5f}}}}, "map"));
    host.spin_some();
    const bool first_arrived = waitForArrivals(arrivals_before + 1);
    // spin_some ran the frame's callback on this thread, the detector's construction included.
    maps.updateMap();
    const bool first_marked = bits(8, 10) == 0x4u;
    // The next frame bins nothing: its one point (0, 5) lies behind the camera, in cell (0, 10).
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    clouds->publish(frameOf({{103, {{0.0f, 5.0f, 0.5f}}}}, "map"));
    host.spin_some();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      maps.updateMap();
    } while (bits(0, 10) != 0x8u && std::chrono::steady_clock::now() < deadline);
    maps.updateMap();
    const bool survives = bits(8, 10) == 0x4u;

    camera_on = false;
    camera.join();
    EXPECT_TRUE(first_arrived);
    EXPECT_EQ(arrivals_->count(), arrivals_before + 1) << "the first frame built no detector";
    EXPECT_TRUE(first_marked);
    EXPECT_EQ(bits(0, 10), 0x8u);
    return survives;
  }

  std::shared_ptr<rclcpp::Node> helper_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  std::shared_ptr<CountingSink> arrivals_;
};

TEST_F(GridObstacleTypeCameraTest, MarkingSourcesPutTheirCategoriesIntoTheGrid)
{
  auto node = std::make_shared<GridMapROS>("camera", "");
  ASSERT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  rclcpp::executors::SingleThreadedExecutor host;
  host.add_node(node->get_node_base_interface());
  std::thread host_thread([&host] {host.spin();});

  auto front = helper_->create_publisher<SemanticPointCloud>("/front/semantic", 10);
  auto rear = helper_->create_publisher<SemanticPointCloud>("/rear/semantic", 10);
  // Camera (1, 0) in the map: (1, 1, 0.5) lands in cell (4, 2); (3, 3, 0.5) in (8, 6); the point
  // at 0.1 m lies below the default configuration's band; the rear source does not mark.
  front->publish(
    frameOf({{300, {{1.0f, 1.0f, 0.5f}, {2.0f, 1.0f, 0.1f}}}, {103, {{3.0f, 3.0f, 0.5f}}}}));
  rear->publish(frameOf({{300, {{0.0f, 4.0f, 0.5f}}}}));
  const bool arrived = waitForArrivals(2);
  host.cancel();
  host_thread.join();
  ASSERT_TRUE(arrived);

  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  const auto bits = [&maps](unsigned int mx, unsigned int my) {
      ObsTypeBitMap cell;
      maps.getObstacleType(mx, my, cell);
      return cell.bits_;
    };
  EXPECT_EQ(bits(4, 2), 0x4u);
  EXPECT_EQ(bits(8, 6), 0x8u);
  EXPECT_EQ(bits(6, 2), 0u);
  EXPECT_EQ(bits(2, 8), 0u);
}

TEST_F(GridObstacleTypeCameraTest, SourcesWithoutOwnStrategyFollowTheDefaultConfigurations)
{
  EXPECT_FALSE(rememberedPointSurvives("clears"));
  EXPECT_TRUE(rememberedPointSurvives("keeps"));
}

// A host's executor spins the node the whole time, as the README tells hosts to.
using SpinningHost = gridmap_test::SpinningHost<>;

TEST_F(GridObstacleTypeCameraTest, FrustumTraceTopicsPublishOnTheUpdatesOfAnActiveNode)
{
  auto node = std::make_shared<GridMapROS>("traced", "");
  ASSERT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
  std::atomic<int> markers{0};
  std::atomic<int> combined{0};
  std::atomic<int> clustered{0};
  auto marker_subscription = helper_->create_subscription<visualization_msgs::msg::MarkerArray>(
    "/traced_gridmap/frustum_debug_markers", 10,
    [&markers](visualization_msgs::msg::MarkerArray::ConstSharedPtr) {++markers;});
  // Counts the clouds that carry points: the camera's frame is in them.
  const auto counter = [](std::atomic<int> & count) {
      return [&count](sensor_msgs::msg::PointCloud2::ConstSharedPtr cloud) {
               if (cloud->width > 0) {
                 ++count;
               }
             };
    };
  auto combined_subscription = helper_->create_subscription<sensor_msgs::msg::PointCloud2>(
    "/traced_gridmap/combined_pcl", 10, counter(combined));
  auto cluster_subscription = helper_->create_subscription<sensor_msgs::msg::PointCloud2>(
    "/traced_gridmap/cluster_pcl", 10, counter(clustered));
  SpinningHost host({node->get_node_base_interface(), helper_->get_node_base_interface()});

  auto clouds = helper_->create_publisher<SemanticPointCloud>("/traced/cloud", 10);
  auto & maps = *node->multi_grid_map_;
  const int arrivals_before = arrivals_->count();
  EXPECT_TRUE(
    eventually([&] {
      clouds->publish(frameOf({{300, {{1.0f, 1.0f, 0.5f}}}}));
      maps.updateMap();
      return markers > 0 && combined > 0 && clustered > 0;
    })) << "markers " << markers << ", combined " << combined << ", cluster " << clustered;
  // Occlusion clearing is off: no camera info was ever wanted.
  EXPECT_EQ(arrivals_->count(), arrivals_before);
}

TEST_F(GridObstacleTypeCameraTest, FrustumIsBuiltFromTheFirstCameraInfoWhileTheHostSpins)
{
  const auto info = gridmap_test::vgaCameraInfo("camera_optical", 320.0);
  auto clouds = helper_->create_publisher<SemanticPointCloud>("/waiting/cloud", 10);
  auto info_publisher =
    helper_->create_publisher<sensor_msgs::msg::CameraInfo>("/waiting/camera_info", 1);
  for (int attempt = 0; attempt < 8; ++attempt) {
    auto node = std::make_shared<GridMapROS>("waiting", "");
    ASSERT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
    ASSERT_EQ(node->activate().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE);
    SpinningHost host({node->get_node_base_interface()});
    auto & maps = *node->multi_grid_map_;
    // Publishes one frame with a wall point at camera (1, y) and waits until an update shows it.
    const auto frameArrives = [&](float y, unsigned int my) {
        clouds->publish(frameOf({{300, {{1.0f, y, 0.5f}}}}));
        return eventually([&] {
                 maps.updateMap();
                 return maps.isObstacleType(4, my, 0x4u);
               });
      };

    // The first frame finds no frustum; the source is then waiting for its camera info.
    const int before = arrivals_->count();
    ASSERT_TRUE(frameArrives(1.0f, 2)) << attempt;
    // The frame's callback reports the missing frustum once it has buffered the frame.
    ASSERT_TRUE(eventually([&] {return arrivals_->count() == before + 1;})) << attempt;
    ASSERT_TRUE(eventually([&] {return info_publisher->get_subscription_count() > 0;}))
      << attempt;
    info_publisher->publish(info);
    // That one camera info builds the frustum by the next frame at the latest, after which no
    // frame reports a missing frustum.
    ASSERT_TRUE(frameArrives(2.0f, 4)) << attempt;
    const int after_info = arrivals_->count();
    EXPECT_LE(after_info, before + 2) << attempt;
    ASSERT_TRUE(frameArrives(3.0f, 6)) << attempt;
    EXPECT_EQ(arrivals_->count(), after_info) << "attempt " << attempt << " lost its camera info";
  }
}

}  // namespace
