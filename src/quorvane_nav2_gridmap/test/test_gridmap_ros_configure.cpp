// What a host's configure makes of the plugin list it was given, and of a load_map request that
// is answered while a configure is loading the new plugins.

#include <chrono>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"

#include "test_gridmap_ros_support.hpp"
#include "test_map_mark_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using quorvane_nav2_gridmap::GridMapROS;

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/twice_gridmap/twice_gridmap:
  ros__parameters:
    plugins: ["obstacle", "obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      observation_sources: front
      front:
        topic: /twice/front
        marking: true
/classless_gridmap/classless_gridmap:
  ros__parameters:
    plugins: ["distance", "nameless"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/recosted_gridmap/recosted_gridmap:
  ros__parameters:
    plugins: ["distance"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/relisted_costmap/relisted_costmap:
  ros__parameters:
    resolution: 0.5
    width: 10
    height: 10
/relisted_gridmap/relisted_gridmap:
  ros__parameters:
    plugins: ["obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
    late:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
/refused_gridmap/refused_gridmap:
  ros__parameters:
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
      risk_threshold: -0.5
      few_obstacle_distance: -1.0
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      observation_sources: front
      front:
        topic: /refused/front
/lenient_gridmap/lenient_gridmap:
  ros__parameters:
    plugins: ["obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      map_path_str: /nonexistent/quorvane/maps
      observation_sources: front
      front:
        topic: /lenient/front
        frustum_theta_resolution: -0.1
        frustum_r_resolution: 0.0
        min_detect_distance: 5.0
        max_detect_distance: 2.0
)"));

bool anyLineHas(
  const std::vector<gridmap_test::LogLine> & lines, const std::vector<std::string> & parts)
{
  for (const auto & line : lines) {
    bool all = true;
    for (const auto & part : parts) {
      all = all && line.text.find(part) != std::string::npos;
    }
    if (all) {
      return true;
    }
  }
  return false;
}

class GridMapROSConfigureTest : public ::testing::Test
{
protected:
  void SetUp() override {helper_ = std::make_shared<rclcpp::Node>("configure_test_helper");}
  void TearDown() override {sink_->detach();}

  // Map `id` of the 20 x 20 cells of 0.5 m, with one zone: a priority passage over the cells
  // [6, 10] x [6, 10], or else a narrow corridor over [2, 4] x [2, 3].
  void writeMap(const std::string & id, bool passage) const
  {
    maps_.write(
      id + "/map.yaml",
      "image: map.pgm\nresolution: 0.5\norigin: [0.0, 0.0, 0.0]\nnegate: 0\n"
      "occupied_thresh: 0.65\nfree_thresh: 0.196\n");
    maps_.write(id + "/map.pgm", "P5\n20 20\n255\n" + std::string(400, '\xfe'));
    maps_.write(
      id + "/mark.yaml", passage ?
      "editlayout:\n  - {type: priority passage, desctype: block, id: 1, rectangle: "
      "[{x: 6, y: 14}, {x: 10, y: 14}, {x: 10, y: 10}, {x: 6, y: 10}]}\n" :
      "editlayout:\n  - {type: narrow corridor, desctype: block, id: 2, rectangle: "
      "[{x: 2, y: 18}, {x: 4, y: 18}, {x: 4, y: 17}, {x: 2, y: 17}]}\n");
  }

  void selectMap(const std::string & id) const {maps_.write("history.map", id + "\n");}

  std::shared_ptr<gridmap_test::CapturingSink> sink_ = gridmap_test::CapturingSink::attach();
  std::shared_ptr<rclcpp::Node> helper_;
  map_mark_test::ScratchDirectory maps_;
};

TEST_F(GridMapROSConfigureTest, APluginListedTwiceFailsTheConfigureBeforeAnyCameraIsSubscribed)
{
  auto camera = helper_->create_publisher<quorvane_protocol::msg::SemanticPointCloud>(
    "/twice/front", 10);
  auto node = std::make_shared<GridMapROS>("twice", "");
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_FALSE(node->multi_grid_map_);
  EXPECT_EQ(camera->get_subscription_count(), 0u);
  EXPECT_TRUE(
    anyLineHas(sink_->linesAt(spdlog::level::err), {"'obstacle'", "more than once"}));
}

TEST_F(GridMapROSConfigureTest, APluginWithoutItsClassFailsTheConfigureAndTheHostLivesOn)
{
  auto node = std::make_shared<GridMapROS>("classless", "");
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_FALSE(node->multi_grid_map_);
  EXPECT_TRUE(
    anyLineHas(
      sink_->linesAt(spdlog::level::err),
      {"'nameless'", "'nameless.plugin'", "/classless_gridmap/classless_gridmap"}));

  // The host names the class and configures again.
  ASSERT_TRUE(
    node->set_parameter(
      rclcpp::Parameter("nameless.plugin", "quorvane_nav2_gridmap::GridDistanceMap")).successful);
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_EQ(node->multi_grid_map_->getGridMaps().size(), 2u);
}

TEST_F(GridMapROSConfigureTest, AnEmptyPluginListConfiguresWithAWarningNamingTheNode)
{
  // No key of the parameter file names this node.
  auto node = std::make_shared<GridMapROS>("unlisted", "/robot");
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  EXPECT_TRUE(
    anyLineHas(
      sink_->linesAt(spdlog::level::warn),
      {"'plugins'", "/robot/unlisted_gridmap/unlisted_gridmap"}));
  EXPECT_THROW(node->multi_grid_map_->getDistance(0, 0), std::runtime_error);
}

TEST_F(GridMapROSConfigureTest, ACostmapNodeThatFailsToConfigureAgainFailsTheConfigure)
{
  auto node = std::make_shared<GridMapROS>("recosted", "");
  ASSERT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  ASSERT_TRUE(
    node->costmap_ros_->set_parameter(rclcpp::Parameter("resolution", 0.0)).successful);
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
  EXPECT_TRUE(
    anyLineHas(sink_->linesAt(spdlog::level::err), {"recosted_costmap failed to configure"}));
}

// Values that mean nothing are refused one by one, each by name and value; the host mends each
// and configures again.
TEST_F(GridMapROSConfigureTest, ValuesWithoutAMeaningFailTheConfigureNamingParameterAndValue)
{
  auto node = std::make_shared<GridMapROS>("refused", "");
  node->declare_parameter(
    "obstacle.front.frustum_theta_resolution", std::numeric_limits<double>::quiet_NaN());
  // Each refused value, and the value the host mends it with.
  const std::vector<std::pair<std::string, rclcpp::Parameter>> refusals{
    {"distance.risk_threshold is -0.5", rclcpp::Parameter("distance.risk_threshold", 0.48)},
    {"distance.few_obstacle_distance is -1",
      rclcpp::Parameter("distance.few_obstacle_distance", 2.5)},
    {"obstacle.front.frustum_theta_resolution is nan",
      rclcpp::Parameter("obstacle.front.frustum_theta_resolution", 0.1)},
  };
  for (const auto & [named, mended] : refusals) {
    EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED) << named;
    EXPECT_TRUE(anyLineHas(sink_->linesAt(spdlog::level::err), {named})) << named;
    ASSERT_TRUE(node->set_parameter(mended).successful);
  }
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
}

TEST_F(GridMapROSConfigureTest, CameraValuesTheFrustumReplacesAreSaidAtConfigure)
{
  auto node = std::make_shared<GridMapROS>("lenient", "");
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  const auto warnings = sink_->linesAt(spdlog::level::warn);
  EXPECT_TRUE(anyLineHas(warnings, {"obstacle.front.frustum_theta_resolution is -0.1", "0.0881"}));
  EXPECT_TRUE(anyLineHas(warnings, {"obstacle.front.frustum_r_resolution is 0", "0.05"}));
  EXPECT_TRUE(anyLineHas(warnings, {"obstacle.front.max_detect_distance is 2", "clears nothing"}));
}

TEST_F(GridMapROSConfigureTest, AMissingMapDirectoryIsNamedAtConfigure)
{
  auto node = std::make_shared<GridMapROS>("lenient", "");
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  const auto warnings = sink_->linesAt(spdlog::level::warn);
  EXPECT_TRUE(anyLineHas(warnings, {"/nonexistent/quorvane/maps", "obstacle.map_path_str"}));
}

TEST_F(GridMapROSConfigureTest, LoadMapAnsweredWhileANewPluginInitialisesReachesTheNewPlugins)
{
  writeMap("m1", false);
  writeMap("m2", true);
  selectMap("m1");
  auto node = std::make_shared<GridMapROS>("relisted", "");
  node->declare_parameter("obstacle.map_path_str", maps_.path().string());
  ASSERT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);

  rclcpp::executors::SingleThreadedExecutor host;
  host.add_node(node->get_node_base_interface());
  std::thread spinner([&host] {host.spin();});
  auto client = helper_->create_client<nav2_msgs::srv::LoadMap>("/relisted_gridmap/load_map");
  ASSERT_TRUE(client->wait_for_service(std::chrono::seconds(10)));

  // The obstacle plugin of the next configure has read the map files (of m1) when the plugin
  // listed after it declares its first parameter: there the host announces m2.
  ASSERT_EQ(node->cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  ASSERT_TRUE(
    node->set_parameter(
      rclcpp::Parameter("plugins", std::vector<std::string>{"obstacle", "late"})).successful);
  bool answered = false;
  auto announce = node->add_on_set_parameters_callback(
    [&](const std::vector<rclcpp::Parameter> & parameters) {
      for (const auto & parameter : parameters) {
        if (parameter.get_name() == "late.risk_threshold") {
          selectMap("m2");
          auto future = client->async_send_request(
            std::make_shared<nav2_msgs::srv::LoadMap::Request>());
          answered = rclcpp::spin_until_future_complete(
            helper_, future, std::chrono::seconds(10)) == rclcpp::FutureReturnCode::SUCCESS;
        }
      }
      rcl_interfaces::msg::SetParametersResult result;
      result.successful = true;
      return result;
    });
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE);
  host.cancel();
  spinner.join();

  ASSERT_TRUE(answered);
  auto & maps = *node->multi_grid_map_;
  maps.updateMap();
  EXPECT_TRUE(maps.hasPriorityPassage());
  EXPECT_TRUE(maps.inPriorityPassage(8, 8, 0));
  EXPECT_FALSE(maps.inNarrowPassage(3, 2, 0));
}

}  // namespace
