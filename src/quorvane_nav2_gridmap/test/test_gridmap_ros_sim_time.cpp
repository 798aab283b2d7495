// The grid-map node under simulated time (a simulator or a bag replay drives /clock): remembered
// camera clouds age on that clock, each camera's memory is its own, a backward jump of the clock
// forgets what followed the time it went back to, and every published view is stamped with it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rosgraph_msgs/msg/clock.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "visualization_msgs/msg/marker_array.hpp"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_protocol::msg::SemanticPointCloud;

const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/simulated_gridmap/simulated_gridmap:
  ros__parameters:
    use_sim_time: true
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
      publish_as_occupancy: true
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      enable_frustum_trace: true
      decay_time: 5.0
      observation_sources: front
      front:
        topic: /simulated/front
        marking: true
/paired_gridmap/paired_gridmap:
  ros__parameters:
    use_sim_time: true
    plugins: ["obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      decay_time: 5.0
      observation_sources: front side
      observation_source_default_conf:
        marking: true
      front:
        topic: /paired/front
      side:
        topic: /paired/side
)"));

// Ten wall points in a row of cells, (x + 0.05 i, y, 0.5) of the camera, which stands at (1, 0)
// of the map, stamped `seconds` of simulated time.
SemanticPointCloud wallRow(double x, double y, std::int32_t seconds, std::uint32_t nanoseconds)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = seconds;
  stamp.nanosec = nanoseconds;
  std::vector<std::array<float, 3>> points;
  for (int i = 0; i < 10; ++i) {
    points.push_back({static_cast<float>(x + 0.05 * i), static_cast<float>(y), 0.5f});
  }
  return gridmap_test::wallFrame("camera_link", stamp, points);
}

double secondsOf(const builtin_interfaces::msg::Time & stamp)
{
  return rclcpp::Time(stamp).seconds();
}

// An active grid-map node whose cameras stand at (1, 0) of the map, spun by a host while this
// thread drives /clock, sends the frames and updates the grid maps.
class SimulatedTimeTest : public ::testing::Test
{
protected:
  void start(const std::string & name, std::size_t host_threads = 1)
  {
    helper_ = std::make_shared<rclcpp::Node>("simulator");
    broadcaster_ = std::make_shared<tf2_ros::StaticTransformBroadcaster>(helper_);
    geometry_msgs::msg::TransformStamped mount;
    mount.header.frame_id = "map";
    mount.child_frame_id = "camera_link";
    mount.transform.translation.x = 1.0;
    mount.transform.rotation.w = 1.0;
    broadcaster_->sendTransform(mount);
    clock_ = helper_->create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
    node_ = std::make_shared<GridMapROS>(name, "");
    ASSERT_EQ(node_->configure().id(), State::PRIMARY_STATE_INACTIVE);
    ASSERT_EQ(node_->activate().id(), State::PRIMARY_STATE_ACTIVE);
    host_ = gridmap_test::spinningHost({node_->get_node_base_interface()}, host_threads);
  }

  bool simulate(std::int32_t seconds, std::uint32_t nanoseconds)
  {
    rosgraph_msgs::msg::Clock now;
    now.clock.sec = seconds;
    now.clock.nanosec = nanoseconds;
    return gridmap_test::waitUntil([&] {
             clock_->publish(now);
             return node_->now() == rclcpp::Time(now.clock);
           });
  }

  // Whether an update now shows a wall in cell (mx, my).
  bool seen(unsigned int mx, unsigned int my)
  {
    auto & maps = *node_->multi_grid_map_;
    maps.updateMap();
    return maps.isObstacleType(mx, my, 0x4u);
  }

  std::shared_ptr<rclcpp::Node> helper_;
  std::shared_ptr<tf2_ros::StaticTransformBroadcaster> broadcaster_;
  std::shared_ptr<rclcpp::Publisher<rosgraph_msgs::msg::Clock>> clock_;
  std::shared_ptr<GridMapROS> node_;
  std::shared_ptr<void> host_;
};

TEST_F(SimulatedTimeTest, CloudsAgeAndViewsAreStampedOnTheSimulatedClock)
{
  start("simulated");
  auto front = helper_->create_publisher<SemanticPointCloud>("/simulated/front", 10);
  nav_msgs::msg::OccupancyGrid::SharedPtr distances;
  sensor_msgs::msg::PointCloud2::SharedPtr zones;
  visualization_msgs::msg::MarkerArray::SharedPtr markers;
  auto distance_view = helper_->create_subscription<nav_msgs::msg::OccupancyGrid>(
    "/simulated_gridmap/publish_as_occupancy", 1,
    [&distances](nav_msgs::msg::OccupancyGrid::SharedPtr message) {distances = message;});
  auto zone_view = helper_->create_subscription<sensor_msgs::msg::PointCloud2>(
    "/simulated_gridmap/mark_objs", 1,
    [&zones](sensor_msgs::msg::PointCloud2::SharedPtr message) {zones = message;});
  auto marker_view = helper_->create_subscription<visualization_msgs::msg::MarkerArray>(
    "/simulated_gridmap/frustum_debug_markers", 1,
    [&markers](visualization_msgs::msg::MarkerArray::SharedPtr message) {markers = message;});

  // The camera sees a wall at cells (40..49, 20), then turns to one at cells (30..39, 40).
  ASSERT_TRUE(simulate(100, 0));
  front->publish(wallRow(1.025, 1.0, 100, 0));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return seen(42, 20);}));
  ASSERT_TRUE(simulate(100, 500000000));
  front->publish(wallRow(0.525, 2.0, 100, 500000000));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return seen(32, 40);}));
  EXPECT_TRUE(seen(42, 20)) << "the wall out of view was forgotten at once";

  distances.reset();
  zones.reset();
  markers.reset();
  node_->multi_grid_map_->updateMap();
  ASSERT_TRUE(
    gridmap_test::waitUntil([&] {
      rclcpp::spin_some(helper_);
      return distances && zones && markers;
    }));
  EXPECT_EQ(secondsOf(distances->header.stamp), 100.5);
  EXPECT_EQ(secondsOf(zones->header.stamp), 100.5);
  ASSERT_FALSE(markers->markers.empty());
  for (const auto & marker : markers->markers) {
    EXPECT_EQ(secondsOf(marker.header.stamp), 100.5) << marker.ns;
  }

  // Five seconds of simulated time after the first wall was seen, it decays (marked one last
  // time by that update); the wall in view stays.
  ASSERT_TRUE(simulate(105, 100000000));
  node_->multi_grid_map_->updateMap();
  EXPECT_FALSE(seen(42, 20));
  EXPECT_TRUE(seen(32, 40));
}

class TwoCamerasTest : public SimulatedTimeTest,
  public ::testing::WithParamInterface<std::size_t> {};

TEST_P(TwoCamerasTest, EachCameraKeepsItsOwnMemoryAndABackwardJumpForgetsTheLaterOne)
{
  start("paired", GetParam());
  auto front = helper_->create_publisher<SemanticPointCloud>("/paired/front", 10);
  auto side = helper_->create_publisher<SemanticPointCloud>("/paired/side", 10);
  ASSERT_TRUE(simulate(100, 0));
  // The side camera sees a wall at cells (30..39, 40) and falls silent.
  side->publish(wallRow(0.525, 2.0, 99, 900000000));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return seen(32, 40);}));
  // The front camera sees a wall at cells (40..49, 20), then turns to cells (40..49, 10).
  front->publish(wallRow(1.025, 1.0, 100, 0));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return seen(42, 20);}));
  ASSERT_TRUE(simulate(100, 500000000));
  front->publish(wallRow(1.025, 0.5, 100, 500000000));
  ASSERT_TRUE(gridmap_test::waitUntil([&] {return seen(42, 10);}));
  EXPECT_TRUE(seen(42, 20)) << "the silent camera's older view erased the front camera's memory";

  // A bag played in a loop: the clock goes back to 100.2 s.
  ASSERT_TRUE(simulate(100, 200000000));
  EXPECT_TRUE(gridmap_test::waitUntil([&] {return !seen(42, 10);}));
  EXPECT_TRUE(seen(42, 20));
  EXPECT_TRUE(seen(32, 40));
}

INSTANTIATE_TEST_SUITE_P(SingleAndMultiThreadedHosts, TwoCamerasTest, ::testing::Values(1, 4));

}  // namespace
