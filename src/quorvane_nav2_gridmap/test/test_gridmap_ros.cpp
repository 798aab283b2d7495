// The grid-map node as a host drives it: construction, configuration from a parameter file with
// plugins loaded by class name through pluginlib, the wait for the costmap, the robot pose
// through TF and the load_map service.

#include <atomic>
#include <cmath>
#include <future>
#include <tuple>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "pluginlib/exceptions.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using gridmap_test::CostGrid;
using quorvane_nav2_gridmap::GridMapROS;
using lifecycle_msgs::msg::State;

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
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
/obstacle_first_gridmap/obstacle_first_gridmap:
  ros__parameters:
    plugins: ["obstacle", "distance"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/distance_first_gridmap/distance_first_gridmap:
  ros__parameters:
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
/released_gridmap/released_gridmap:
  ros__parameters:
    plugins: ["obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      observation_sources: front
      front:
        topic: front_cloud
        marking: true
/lost_costmap/lost_costmap:
  ros__parameters:
    robot_base_frame: nowhere_link
/cycled_gridmap/cycled_gridmap:
  ros__parameters:
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
/swapped_gridmap/swapped_gridmap:
  ros__parameters:
    plugins: ["distance"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/busy_gridmap/busy_gridmap:
  ros__parameters:
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
)"));

// A plugin a test adds by hand to see what reaches the plugins.
class MapChangeRecorder : public quorvane_nav2_gridmap::GridMap
{
public:
  MapChangeRecorder() {type_ = quorvane_nav2_gridmap::GRIDMAP_TYPE_OBSTACLE;}
  void onInitialize() override {}
  void updateMap() override {}
  bool callbackOnMapChange(std::string_view map_url) override
  {
    urls.emplace_back(map_url);
    return false;
  }
  std::vector<std::string> urls;
};

double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

bool offersLoadMap(GridMapROS & node, const std::string & name)
{
  return node.get_service_names_and_types().count("/" + name + "_gridmap/load_map") == 1;
}

// What a host asks about cell (5, 9), 4 cells above an obstacle at (5, 5), and the obstacle's
// cell bits: distance in metres, risk, cost, bits.
using Answers = std::tuple<double, bool, unsigned int, unsigned int>;

Answers answersOf(quorvane_nav2_gridmap::MultiGridMap & maps)
{
  quorvane_nav2_gridmap::ObsTypeBitMap bits;
  maps.getObstacleType(5, 5, bits);
  return {maps.getDistance(5, 9), maps.inRisk(5, 9, 0), maps.getCost(5, 9, true), bits.bits_};
}

class GridMapROSTest : public ::testing::Test
{
protected:
  void SetUp() override {helper_ = std::make_shared<rclcpp::Node>("test_helper");}
  void TearDown() override {sink_->detach();}

  std::shared_ptr<GridMapROS> configuredNode(const std::string & name)
  {
    auto node = std::make_shared<GridMapROS>(name, "");
    EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
    return node;
  }

  // Configures and activates the node, serves `grid` to its costmap and updates the maps once.
  void bringUp(GridMapROS & node, const std::string & name, const CostGrid & grid)
  {
    ASSERT_EQ(node.configure().id(), State::PRIMARY_STATE_INACTIVE);
    ASSERT_EQ(node.activate().id(), State::PRIMARY_STATE_ACTIVE);
    if (!map_server_) {
      map_server_ = std::make_unique<gridmap_test::MapServer>(helper_, "/" + name + "_costmap");
    }
    ASSERT_TRUE(map_server_->serve(grid, *node.costmap_ros_->getLayeredCostmap()->getCostmap()));
    ASSERT_TRUE(gridmap_test::waitUntil([&] {return node.costmap_ros_->isCurrent();}));
    node.waitForCostmap();
    node.multi_grid_map_->updateMap();
  }

  void serveMap(GridMapROS & node, const std::string & name)
  {
    map_server_ = std::make_unique<gridmap_test::MapServer>(helper_, "/" + name + "_costmap");
    ASSERT_TRUE(
      map_server_->serve(CostGrid(10, 10), *node.costmap_ros_->getLayeredCostmap()->getCostmap()));
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

  std::shared_ptr<gridmap_test::CapturingSink> sink_ = gridmap_test::CapturingSink::attach();
  std::shared_ptr<rclcpp::Node> helper_;
  std::unique_ptr<gridmap_test::MapServer> map_server_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
};

TEST_F(GridMapROSTest, NamesBothNodesAfterTheGivenNameInTheGivenNamespace)
{
  GridMapROS plain("local", "");
  EXPECT_STREQ(plain.get_name(), "local_gridmap");
  EXPECT_STREQ(plain.get_namespace(), "/local_gridmap");
  EXPECT_STREQ(plain.costmap_ros_->get_name(), "local_costmap");
  EXPECT_STREQ(plain.costmap_ros_->get_namespace(), "/local_costmap");
  EXPECT_TRUE(plain.get_parameter("plugins").as_string_array().empty());
  GridMapROS placed("global", "/robot1");
  EXPECT_STREQ(placed.get_namespace(), "/robot1/global_gridmap");
  EXPECT_STREQ(placed.costmap_ros_->get_namespace(), "/robot1/global_costmap");
}

TEST_F(GridMapROSTest, ConfigureWithoutPluginsStillOffersLoadMap)
{
  auto node = configuredNode("empty");
  ASSERT_TRUE(node->multi_grid_map_);
  EXPECT_TRUE(node->multi_grid_map_->getGridMaps().empty());
  EXPECT_EQ(node->multi_grid_map_->costmap_, node->costmap_ros_->getLayeredCostmap()->getCostmap());
  EXPECT_TRUE(offersLoadMap(*node, "empty"));
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
  const auto info = sink_->linesAt(spdlog::level::info);
  ASSERT_EQ(info.size(), 2u);
  EXPECT_NE(info[0].text.find(" [INFO] few_obstacle_distance=2.5"), std::string::npos);
  EXPECT_EQ(info[0].file, "./src/grid_distancemap.cpp");
  EXPECT_EQ(info[0].function, "onInitialize");
}

TEST_F(GridMapROSTest, BothShippedPluginsLoadInEitherOrderAndTheDistanceMapUpdatesFirst)
{
  for (const std::string name : {"obstacle_first", "distance_first"}) {
    auto node = configuredNode(name);
    const auto & maps = node->multi_grid_map_->getGridMaps();
    ASSERT_EQ(maps.size(), 2u) << name;
    EXPECT_EQ(maps[0]->getName(), "distance") << name;
    EXPECT_EQ(maps[0]->getType(), quorvane_nav2_gridmap::GRIDMAP_TYPE_DISTANCE) << name;
    EXPECT_EQ(maps[1]->getName(), "obstacle") << name;
    EXPECT_EQ(maps[1]->getType(), quorvane_nav2_gridmap::GRIDMAP_TYPE_OBSTACLE) << name;
    // Both were initialised: each declared its own parameters on the node.
    EXPECT_TRUE(node->has_parameter("distance.risk_threshold")) << name;
    EXPECT_TRUE(node->has_parameter("obstacle.observation_sources")) << name;
  }
}

TEST_F(GridMapROSTest, HostsReleaseTheNodeWithCameraSourcesSubscribed)
{
  auto node = configuredNode("released");
  const std::weak_ptr<GridMapROS> watch = node;
  node.reset();
  EXPECT_TRUE(watch.expired());
}

TEST_F(GridMapROSTest, FailedConfigureLogsWhyAndLeavesTheNodeAsItWas)
{
  auto node = std::make_shared<GridMapROS>("unknown", "");
  EXPECT_THROW(node->on_configure(node->get_current_state()), pluginlib::PluginlibException);
  EXPECT_FALSE(node->multi_grid_map_);
  EXPECT_FALSE(offersLoadMap(*node, "unknown"));
  EXPECT_EQ(
    node->costmap_ros_->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
  const auto errors = sink_->linesAt(spdlog::level::err);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(
    errors[0].text.find("unknown_gridmap failed to configure: "), std::string::npos) <<
    errors[0].text;
  EXPECT_NE(errors[0].text.find("NoSuchMap"), std::string::npos) << errors[0].text;
  EXPECT_EQ(errors[0].file, "./src/gridmap_ros.cpp");
  auto through_lifecycle = std::make_shared<GridMapROS>("unknown", "");
  EXPECT_EQ(through_lifecycle->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);

  // A host lists a plugin that cannot be loaded before configuring again: the plugins, their
  // executor and load_map of the last configure stay, and a corrected list configures.
  auto swapped = configuredNode("swapped");
  const auto running = swapped->multi_grid_map_;
  ASSERT_EQ(swapped->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  swapped->declare_parameter(
    "mystery.plugin", std::string("quorvane_nav2_gridmap::NoSuchMap"));
  const auto list = [&swapped](std::vector<std::string> names) {
      return swapped->set_parameter(rclcpp::Parameter("plugins", names)).successful;
    };
  ASSERT_TRUE(list({"distance", "mystery"}));
  EXPECT_EQ(swapped->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(swapped->multi_grid_map_, running);
  EXPECT_EQ(running->getGridMaps().size(), 1u);
  EXPECT_TRUE(offersLoadMap(*swapped, "swapped"));
  ASSERT_TRUE(list({"distance"}));
  EXPECT_EQ(swapped->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_NE(swapped->multi_grid_map_, running);
  EXPECT_EQ(swapped->multi_grid_map_->getGridMaps().size(), 1u);
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
  EXPECT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_NE(node->multi_grid_map_, first_holder);
  EXPECT_TRUE(offersLoadMap(*node, "empty"));
}

TEST_F(GridMapROSTest, ConfigureAfterCleanupLoadsFreshPluginsWithTheNodesParameters)
{
  CostGrid grid(20, 20);
  grid.lethal(5, 5);
  auto node = std::make_shared<GridMapROS>("cycled", "");
  bringUp(*node, "cycled", grid);
  const Answers first = answersOf(*node->multi_grid_map_);
  EXPECT_NEAR(std::get<0>(first), 0.2, 1e-6);
  EXPECT_TRUE(std::get<1>(first));
  EXPECT_EQ(std::get<3>(first) & quorvane_nav2_gridmap::OBS_TYPE_PERIL, 0x2u);
  const auto first_holder = node->multi_grid_map_;

  ASSERT_EQ(node->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  bringUp(*node, "cycled", grid);
  EXPECT_NE(node->multi_grid_map_, first_holder);
  EXPECT_EQ(node->multi_grid_map_->getGridMaps().size(), 2u);
  EXPECT_EQ(answersOf(*node->multi_grid_map_), first);

  // 0.2 m is within the default risk threshold of 0.48 m, not within 0.1 m.
  ASSERT_EQ(node->deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  ASSERT_TRUE(
    node->set_parameter(rclcpp::Parameter("distance.risk_threshold", 0.1)).successful);
  bringUp(*node, "cycled", grid);
  const Answers third = answersOf(*node->multi_grid_map_);
  EXPECT_FALSE(std::get<1>(third));
  EXPECT_EQ(std::get<0>(third), std::get<0>(first));
  EXPECT_EQ(std::get<3>(third), std::get<3>(first));
}

TEST_F(GridMapROSTest, PoseHelpersOfAnUnconfiguredNodeReportNoPose)
{
  auto node = std::make_shared<GridMapROS>("unposed", "");
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(node->getRobotPoseInFrameId(pose, "map"));
  EXPECT_FALSE(node->getInvertedRobotPose(pose));
  const auto errors = sink_->linesAt(spdlog::level::err);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].function, "getRobotPoseInFrameId");
  EXPECT_EQ(errors[1].function, "getInvertedRobotPose");
  for (const auto & error : errors) {
    EXPECT_NE(
      error.text.find("unposed_costmap has no transform buffer until the node is configured"),
      std::string::npos) << error.text;
  }
}

TEST_F(GridMapROSTest, WaitForCurrentCostmapReturnsWithoutLogging)
{
  auto node = configuredNode("ready");
  node->activate();
  serveMap(*node, "ready");
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return node->costmap_ros_->isCurrent();}));
  // The configure warned of the empty plugin list; the wait adds nothing.
  const size_t logged = sink_->size();
  node->waitForCostmap();
  EXPECT_EQ(sink_->size(), logged);
}

TEST_F(GridMapROSTest, LateCostmapCostsExactlyOneCriticalLine)
{
  auto node = configuredNode("late");
  node->activate();
  auto waiting = std::async(std::launch::async, [&node] {node->waitForCostmap();});
  // The map comes once the wait has logged its first line, after 101 polls.
  gridmap_test::waitUntil([&] {return !sink_->linesAt(spdlog::level::critical).empty();});
  serveMap(*node, "late");
  waiting.get();
  const auto critical = sink_->linesAt(spdlog::level::critical);
  ASSERT_EQ(critical.size(), 1u);
  EXPECT_NE(critical[0].text.find(" [CRITICAL] Timeout waiting for costmap to be valid"), std::string::npos);
  EXPECT_EQ(critical[0].file, "./src/gridmap_ros.cpp");
  EXPECT_EQ(critical[0].function, "waitForCostmap");
}

TEST_F(GridMapROSTest, RobotPosesFollowTfAndTheInvertedOneFacesBackwards)
{
  auto node = configuredNode("posed");
  broadcastRobotPose(1.0, 2.0, 0.0);
  geometry_msgs::msg::PoseStamped inverted;
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return node->getInvertedRobotPose(inverted);}));
  EXPECT_EQ(inverted.header.frame_id, "map");
  EXPECT_NEAR(inverted.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(inverted.pose.position.y, 2.0, 1e-9);
  EXPECT_NEAR(std::fabs(yawOf(inverted.pose.orientation)), M_PI, 1e-9);

  broadcastRobotPose(-3.0, 0.5, M_PI / 2.0);
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(gridmap_test::waitUntil([&] {
      return node->getRobotPoseInFrameId(pose, "map") && pose.pose.position.x < 0.0;
    }));
  EXPECT_NEAR(pose.pose.position.y, 0.5, 1e-9);
  EXPECT_NEAR(yawOf(pose.pose.orientation), M_PI / 2.0, 1e-9);
  ASSERT_TRUE(node->getInvertedRobotPose(inverted));
  EXPECT_NEAR(inverted.pose.position.x, -3.0, 1e-9);
  EXPECT_NEAR(yawOf(inverted.pose.orientation), -M_PI / 2.0, 1e-9);
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

  auto client = helper_->create_client<nav2_msgs::srv::LoadMap>("/served_gridmap/load_map");
  ASSERT_TRUE(client->wait_for_service(std::chrono::seconds(10)));
  auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
  request->map_url = "/maps/office/map.yaml";
  auto future = client->async_send_request(request);
  const auto outcome = rclcpp::spin_until_future_complete(helper_, future, std::chrono::seconds(10));
  host.cancel();
  host_thread.join();

  ASSERT_EQ(outcome, rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(*future.get(), nav2_msgs::srv::LoadMap::Response());
  EXPECT_EQ(recorder->urls, std::vector<std::string>{"/maps/office/map.yaml"});
}

TEST_F(GridMapROSTest, LoadMapAnswersEveryRequestWhileTheNodeIsReconfigured)
{
  auto node = configuredNode("busy");
  rclcpp::executors::MultiThreadedExecutor host(rclcpp::ExecutorOptions(), 3);
  host.add_node(node->get_node_base_interface());
  std::thread host_thread([&host] {host.spin();});
  auto client = helper_->create_client<nav2_msgs::srv::LoadMap>("/busy_gridmap/load_map");
  ASSERT_TRUE(client->wait_for_service(std::chrono::seconds(10)));

  std::atomic<bool> calling{true};
  std::atomic<int> sent{0};
  std::atomic<int> answered{0};
  std::thread caller([&] {
      auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
      request->map_url = "/maps/office/map.yaml";
      while (calling) {
        auto future = client->async_send_request(request);
        ++sent;
        if (rclcpp::spin_until_future_complete(helper_, future, std::chrono::seconds(5)) ==
        rclcpp::FutureReturnCode::SUCCESS)
        {
          ++answered;
        }
      }
    });
  // At least ten reconfigurations, and requests in flight across them.
  for (int cycle = 0; cycle < 10 || (sent < 20 && cycle < 1000); ++cycle) {
    EXPECT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
    EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  }
  calling = false;
  caller.join();
  host.cancel();
  host_thread.join();
  EXPECT_GE(sent.load(), 20);
  EXPECT_EQ(answered.load(), sent.load());
  EXPECT_EQ(node->multi_grid_map_->getGridMaps().size(), 2u);
}

}  // namespace
