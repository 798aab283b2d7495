// A host that lets its grid-map node go while its executor still spins the node and camera frames
// keep arriving: no callback of the node's camera sources may run on what the node freed.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_protocol::msg::SemanticPointCloud;

// Two marking sources; the rear one also waits for the camera's own frame.
const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/dropped_gridmap/dropped_gridmap:
  ros__parameters:
    plugins: ["obstacle"]
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      occlusion_clearing: false
      observation_sources: front rear
      front:
        topic: /dropped/front
        marking: true
      rear:
        topic: /dropped/rear
        sensor_frame: camera_link
        marking: true
)"));

// One wall point at (1, 1, 0.5) of the camera, which stands at (1, 0) of the map.
SemanticPointCloud wallFrame()
{
  SemanticPointCloud message;
  message.header.frame_id = "camera_link";
  message.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  message.clouds.resize(1);
  message.clouds[0].category = 300;
  sensor_msgs::PointCloud2Modifier modifier(message.clouds[0].cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(1);
  sensor_msgs::PointCloud2Iterator<float> point(message.clouds[0].cloud, "x");
  point[0] = 1.0f;
  point[1] = 1.0f;
  point[2] = 0.5f;
  return message;
}

TEST(GridMapROSTeardownTest, DroppingTheNodeWhileTheHostSpinsItAndFramesArriveFreesNothingInUse)
{
  auto camera_node = std::make_shared<rclcpp::Node>("teardown_camera");
  tf2_ros::StaticTransformBroadcaster broadcaster(camera_node);
  geometry_msgs::msg::TransformStamped mount;
  mount.header.frame_id = "map";
  mount.child_frame_id = "camera_link";
  mount.transform.translation.x = 1.0;
  mount.transform.rotation.w = 1.0;
  broadcaster.sendTransform(mount);

  // Several hundred frames a second on each source for the whole test.
  auto front = camera_node->create_publisher<SemanticPointCloud>("/dropped/front", 10);
  auto rear = camera_node->create_publisher<SemanticPointCloud>("/dropped/rear", 10);
  std::atomic<bool> streaming{true};
  std::thread camera([&] {
      while (streaming) {
        front->publish(wallFrame());
        rear->publish(wallFrame());
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });

  for (int round = 0; round < 20; ++round) {
    auto node = std::make_shared<GridMapROS>("dropped", "");
    ASSERT_EQ(node->configure().id(), State::PRIMARY_STATE_INACTIVE) << round;
    ASSERT_EQ(node->activate().id(), State::PRIMARY_STATE_ACTIVE) << round;
    rclcpp::executors::SingleThreadedExecutor host;
    host.add_node(node->get_node_base_interface());
    std::atomic<bool> spun_out{false};
    std::thread spinner([&host, &spun_out] {
        host.spin();
        spun_out = true;
      });

    // Frames flow: the wall point reaches cell (40, 20) of the 0.05 m costmap.
    auto & maps = *node->multi_grid_map_;
    ASSERT_TRUE(
      gridmap_test::waitUntil([&maps] {
        maps.updateMap();
        return maps.isObstacleType(40, 20, 0x4u);
      })) << round;

    const std::weak_ptr<GridMapROS> watch = node;
    node.reset();
    EXPECT_TRUE(watch.expired()) << round;
    // The host keeps spinning until the node's sources are gone from the graph.
    EXPECT_TRUE(
      gridmap_test::waitUntil([&front, &rear] {
        return front->get_subscription_count() == 0 && rear->get_subscription_count() == 0;
      })) << round;

    // A cancel that comes before the spinner entered spin() is lost, so repeat it.
    while (!spun_out) {
      host.cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    spinner.join();
  }
  streaming = false;
  camera.join();
}

}  // namespace
