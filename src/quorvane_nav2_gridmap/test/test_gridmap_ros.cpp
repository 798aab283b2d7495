// The grid-map node as a host drives it: construction, configuration from a parameter file with
// plugins loaded by class name through pluginlib, the wait for the costmap, the robot pose
// through TF and the load_map service.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "pluginlib/exceptions.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace
{

using quorvane_nav2_gridmap::GridMap;
using quorvane_nav2_gridmap::GridMapROS;

constexpr char kParameters[] = R"(
/pair_gridmap/pair_gridmap:
  ros__parameters:
    plugins: ["near", "far"]
    near:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
      danger_threshold: 0.1
    far:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/unknown_gridmap/unknown_gridmap:
  ros__parameters:
    plugins: ["distance", "mystery"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
    mystery:
      plugin: quorvane_nav2_gridmap::NoSuchMap
/served_gridmap/served_gridmap:
  ros__parameters:
    plugins: ["distance"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/lost_costmap/lost_costmap:
  ros__parameters:
    robot_base_frame: nowhere_link
)";

class RosEnvironment : public ::testing::Environment
{
public:
  void SetUp() override
  {
    setenv("SPDLOG_STDOUT", "false", 1);
    setenv("SPDLOG_SYSTEMD", "false", 1);
    setenv("SPDLOG_LEVEL", "info", 1);
    const std::string path = ::testing::TempDir() + "gridmap_ros_params.yaml";
    std::ofstream(path) << kParameters;
    const char * argv[] = {"test_gridmap_ros", "--ros-args", "--params-file", path.c_str()};
    rclcpp::init(4, argv);
  }

  void TearDown() override {rclcpp::shutdown();}
};

const ::testing::Environment * const kRosEnvironment =
  ::testing::AddGlobalTestEnvironment(new RosEnvironment);

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;
  std::string file;
  std::string function;
};

class CapturingSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> linesAt(spdlog::level::level_enum level)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LogLine> selected;
    std::copy_if(
      lines_.begin(), lines_.end(), std::back_inserter(selected),
      [level](const LogLine & line) {return line.level == level;});
    return selected;
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

// A plugin a test adds by hand to see what reaches the plugins.
class MapChangeRecorder : public GridMap
{
public:
  MapChangeRecorder() {type_ = quorvane_nav2_gridmap::GRIDMAP_TYPE_OBSTACLE;}
  void onInitialize() override {}
  void updateMap() override {}
  bool callbackOnMapChange(std::string_view map_url) override
  {
    std::lock_guard<std::mutex> lock(mutex_);
    urls_.emplace_back(map_url);
    return false;
  }
  std::vector<std::string> urls()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return urls_;
  }

private:
  std::mutex mutex_;
  std::vector<std::string> urls_;
};

nav_msgs::msg::OccupancyGrid freeMap()
{
  nav_msgs::msg::OccupancyGrid map;
  map.header.frame_id = "map";
  map.info.resolution = 0.05f;
  map.info.width = 10;
  map.info.height = 10;
  map.info.origin.orientation.w = 1.0;
  map.data.assign(100, 0);
  return map;
}

double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

bool hasService(rclcpp_lifecycle::LifecycleNode & node, const std::string & name)
{
  const auto services = node.get_service_names_and_types();
  return services.find(name) != services.end();
}

class GridMapROSTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    sink_ = std::make_shared<CapturingSink>();
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink_);
    helper_ = std::make_shared<rclcpp::Node>("test_helper");
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  std::shared_ptr<GridMapROS> configuredNode(const std::string & name)
  {
    auto node = std::make_shared<GridMapROS>(name, "");
    EXPECT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
    return node;
  }

  // Publishes a map for the costmap node of `name`, as a map server would.
  void publishMap(const std::string & name)
  {
    map_publisher_ = helper_->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "/" + name + "_costmap/map",
      rclcpp::QoS(1).transient_local().reliable());
    map_publisher_->publish(freeMap());
  }

  void broadcastRobotPose(double x, double y, double yaw)
  {
    broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(helper_);
    geometry_msgs::msg::TransformStamped transform;
    transform.header.frame_id = "map";
    transform.child_frame_id = "base_link";
    transform.transform.translation.x = x;
    transform.transform.translation.y = y;
    transform.transform.rotation.z = std::sin(yaw / 2.0);
    transform.transform.rotation.w = std::cos(yaw / 2.0);
    broadcaster_->sendTransform(transform);
  }

  std::shared_ptr<CapturingSink> sink_;
  std::shared_ptr<rclcpp::Node> helper_;
  std::shared_ptr<rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>> map_publisher_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
};

TEST_F(GridMapROSTest, NamesTheNodeAndTheCostmapNodeAfterTheGivenName)
{
  GridMapROS plain("local", "");
  EXPECT_STREQ(plain.get_name(), "local_gridmap");
  EXPECT_STREQ(plain.get_namespace(), "/local_gridmap");
  EXPECT_STREQ(plain.costmap_ros_->get_name(), "local_costmap");
  EXPECT_STREQ(plain.costmap_ros_->get_namespace(), "/local_costmap");
  EXPECT_TRUE(plain.get_parameter("plugins").as_string_array().empty());
}

TEST_F(GridMapROSTest, PlacesBothNodesInTheGivenNamespace)
{
  GridMapROS placed("global", "/robot1");
  EXPECT_STREQ(placed.get_name(), "global_gridmap");
  EXPECT_STREQ(placed.get_namespace(), "/robot1/global_gridmap");
  EXPECT_STREQ(placed.costmap_ros_->get_name(), "global_costmap");
  EXPECT_STREQ(placed.costmap_ros_->get_namespace(), "/robot1/global_costmap");
}

TEST_F(GridMapROSTest, ConfigureWithoutPluginsStillOffersLoadMap)
{
  auto node = configuredNode("empty");
  ASSERT_TRUE(node->multi_grid_map_);
  EXPECT_TRUE(node->multi_grid_map_->getGridMaps().empty());
  EXPECT_EQ(node->multi_grid_map_->costmap_, node->costmap_ros_->getLayeredCostmap()->getCostmap());
  EXPECT_TRUE(hasService(*node, "/empty_gridmap/load_map"));
}

TEST_F(GridMapROSTest, ConfigureLoadsPluginsByClassNameInListOrder)
{
  auto node = configuredNode("pair");
  const auto & maps = node->multi_grid_map_->getGridMaps();
  ASSERT_EQ(maps.size(), 2u);
  EXPECT_EQ(maps[0]->getName(), "near");
  EXPECT_EQ(maps[1]->getName(), "far");
  EXPECT_EQ(maps[0]->getType(), quorvane_nav2_gridmap::GRIDMAP_TYPE_DISTANCE);
  EXPECT_DOUBLE_EQ(node->get_parameter("near.danger_threshold").as_double(), 0.1);
  EXPECT_DOUBLE_EQ(node->get_parameter("far.danger_threshold").as_double(), 0.3);
  EXPECT_FALSE(node->get_parameter("far.publish_as_occupancy").as_bool());
  const auto info = sink_->linesAt(spdlog::level::info);
  ASSERT_EQ(info.size(), 2u);
  EXPECT_NE(info[0].text.find("[INFO] few_obstacle_distance=2.5"), std::string::npos);
  EXPECT_EQ(info[0].file, "./src/grid_distancemap.cpp");
  EXPECT_STREQ(info[0].function.c_str(), "onInitialize");
}

TEST_F(GridMapROSTest, UnknownPluginTypeFailsAfterEarlierPluginsWereAdded)
{
  auto node = std::make_shared<GridMapROS>("unknown", "");
  EXPECT_THROW(node->on_configure(node->get_current_state()), pluginlib::PluginlibException);
  ASSERT_TRUE(node->multi_grid_map_);
  ASSERT_EQ(node->multi_grid_map_->getGridMaps().size(), 1u);
  EXPECT_EQ(node->multi_grid_map_->getGridMaps()[0]->getName(), "distance");
  EXPECT_FALSE(hasService(*node, "/unknown_gridmap/load_map"));
}

TEST_F(GridMapROSTest, UnknownPluginTypeLeavesTheLifecycleUnconfigured)
{
  auto node = std::make_shared<GridMapROS>("unknown", "");
  EXPECT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_FALSE(hasService(*node, "/unknown_gridmap/load_map"));
}

TEST_F(GridMapROSTest, NodeWithoutSharedOwnerCannotConfigure)
{
  GridMapROS unowned("unowned", "");
  EXPECT_THROW(unowned.on_configure(unowned.get_current_state()), std::bad_weak_ptr);
}

TEST_F(GridMapROSTest, SecondConfigureAfterCleanupReplacesThePluginHolder)
{
  auto node = configuredNode("empty");
  const auto first_holder = node->multi_grid_map_;
  EXPECT_EQ(node->cleanup().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node->configure().id(), lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE);
  EXPECT_NE(node->multi_grid_map_, first_holder);
  EXPECT_TRUE(hasService(*node, "/empty_gridmap/load_map"));
}

TEST_F(GridMapROSTest, WaitForCurrentCostmapReturnsWithoutLogging)
{
  auto node = configuredNode("empty");
  node->activate();
  publishMap("empty");
  node->waitForCostmap();
  const auto critical_before = sink_->linesAt(spdlog::level::critical).size();
  node->waitForCostmap();
  EXPECT_EQ(sink_->linesAt(spdlog::level::critical).size(), critical_before);
}

TEST_F(GridMapROSTest, LateCostmapCostsExactlyOneCriticalLine)
{
  auto node = configuredNode("late");
  node->activate();
  auto waiting = std::async(std::launch::async, [&node] {node->waitForCostmap();});
  // The map comes once the wait has logged its first line, after 101 polls.
  for (int attempt = 0; attempt < 3000 && sink_->linesAt(spdlog::level::critical).empty();
    ++attempt)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  publishMap("late");
  waiting.get();
  const auto critical = sink_->linesAt(spdlog::level::critical);
  ASSERT_EQ(critical.size(), 1u);
  EXPECT_NE(critical[0].text.find(" [CRITICAL] Timeout waiting for costmap to be valid"), std::string::npos);
  EXPECT_EQ(critical[0].file, "./src/gridmap_ros.cpp");
  EXPECT_EQ(critical[0].function, "waitForCostmap");
}

TEST_F(GridMapROSTest, InvertedRobotPoseFacesBackwardsInTheGlobalFrame)
{
  auto node = configuredNode("posed");
  node->activate();
  broadcastRobotPose(1.0, 2.0, 0.0);
  geometry_msgs::msg::PoseStamped pose;
  bool found = false;
  for (int attempt = 0; attempt < 100 && !found; ++attempt) {
    found = node->getInvertedRobotPose(pose);
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 2.0, 1e-9);
  EXPECT_NEAR(std::fabs(yawOf(pose.pose.orientation)), M_PI, 1e-9);

  broadcastRobotPose(-3.0, 0.5, M_PI / 2.0);
  for (int attempt = 0; attempt < 100 && std::fabs(pose.pose.position.x + 3.0) > 1e-9; ++attempt) {
    ASSERT_TRUE(node->getInvertedRobotPose(pose));
  }
  EXPECT_NEAR(pose.pose.position.x, -3.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 0.5, 1e-9);
  EXPECT_NEAR(yawOf(pose.pose.orientation), -M_PI / 2.0, 1e-9);
}

TEST_F(GridMapROSTest, RobotPoseInAFrameFollowsTf)
{
  auto node = configuredNode("posed");
  broadcastRobotPose(4.0, -1.0, M_PI / 4.0);
  geometry_msgs::msg::PoseStamped pose;
  bool found = false;
  for (int attempt = 0; attempt < 100 && !found; ++attempt) {
    found = node->getRobotPoseInFrameId(pose, "map");
  }
  ASSERT_TRUE(found);
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 4.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, -1.0, 1e-9);
  EXPECT_NEAR(yawOf(pose.pose.orientation), M_PI / 4.0, 1e-9);
}

TEST_F(GridMapROSTest, InvertedRobotPoseFailsWithoutTheRobotsTransform)
{
  auto node = configuredNode("lost");
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(node->getInvertedRobotPose(pose));
}

TEST_F(GridMapROSTest, LoadMapAnswersTheDefaultResponseAndTellsEveryPlugin)
{
  auto node = configuredNode("served");
  auto recorder = std::make_shared<MapChangeRecorder>();
  node->multi_grid_map_->addGridMap(recorder);

  rclcpp::executors::SingleThreadedExecutor host;
  host.add_node(node->get_node_base_interface());
  std::thread host_thread([&host] {host.spin();});

  auto client = helper_->create_client<nav2_msgs::srv::LoadMap>(
    "/served_gridmap/load_map");
  ASSERT_TRUE(client->wait_for_service(std::chrono::seconds(10)));
  auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
  request->map_url = "/maps/office/map.yaml";
  auto future = client->async_send_request(request);
  const auto outcome = rclcpp::spin_until_future_complete(helper_, future, std::chrono::seconds(10));
  host.cancel();
  host_thread.join();

  ASSERT_EQ(outcome, rclcpp::FutureReturnCode::SUCCESS);
  const auto response = future.get();
  EXPECT_EQ(response->result, nav2_msgs::srv::LoadMap::Response::RESULT_SUCCESS);
  EXPECT_EQ(response->map, nav_msgs::msg::OccupancyGrid());
  EXPECT_EQ(recorder->urls(), std::vector<std::string>{"/maps/office/map.yaml"});
}

}  // namespace
