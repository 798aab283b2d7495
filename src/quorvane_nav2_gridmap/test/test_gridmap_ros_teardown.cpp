// A host that stops its grid-map node, in any order it may use, or lets it go while its executor
// still spins the node, while camera frames keep arriving: no callback of the node's camera
// sources, and no transform filter's time-out, may run on what the node freed.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"

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
  return gridmap_test::wallFrame(
    "camera_link", rclcpp::Clock(RCL_SYSTEM_TIME).now(), {{1.0f, 1.0f, 0.5f}});
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


// A camera at (1, 0) of the map whose pose is published on /tf at 200 Hz, stamped when sent.
// Every 10 ms each source gets a frame stamped now, which waits for the next pose; every 60 ms
// also one stamped 0.3 s ahead, which waits until the filter times it out (after 0.2 s), so the
// filters' queues of five always hold frames with a time-out pending.
class MovingCamera
{
public:
  MovingCamera()
  : node_(std::make_shared<rclcpp::Node>("moving_camera")),
    broadcaster_(node_),
    front_(node_->create_publisher<SemanticPointCloud>("/dropped/front", 10)),
    rear_(node_->create_publisher<SemanticPointCloud>("/dropped/rear", 10)),
    poses_([this] {publishPoses();}),
    frames_([this] {publishFrames();}) {}

  ~MovingCamera()
  {
    running_ = false;
    poses_.join();
    frames_.join();
  }

  size_t subscriptions() const
  {
    return front_->get_subscription_count() + rear_->get_subscription_count();
  }

private:
  static rclcpp::Time now() {return rclcpp::Clock(RCL_ROS_TIME).now();}

  void publishPoses()
  {
    geometry_msgs::msg::TransformStamped pose;
    pose.header.frame_id = "map";
    pose.child_frame_id = "camera_link";
    pose.transform.translation.x = 1.0;
    pose.transform.rotation.w = 1.0;
    while (running_) {
      pose.header.stamp = now();
      broadcaster_.sendTransform(pose);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  void publishFrames()
  {
    for (int tick = 0; running_; ++tick) {
      const auto frame = gridmap_test::wallFrame("camera_link", now(), {{1.0f, 1.0f, 0.5f}});
      front_->publish(frame);
      rear_->publish(frame);
      if (tick % 6 == 0) {
        const auto ahead = gridmap_test::wallFrame(
          "camera_link", now() + rclcpp::Duration(std::chrono::milliseconds(300)),
          {{1.0f, 1.0f, 0.5f}});
        front_->publish(ahead);
        rear_->publish(ahead);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  std::shared_ptr<rclcpp::Node> node_;
  tf2_ros::TransformBroadcaster broadcaster_;
  std::shared_ptr<rclcpp::Publisher<SemanticPointCloud>> front_;
  std::shared_ptr<rclcpp::Publisher<SemanticPointCloud>> rear_;
  std::atomic<bool> running_{true};
  std::thread poses_;
  std::thread frames_;
};

// The host of one node: an executor spinning it, on one thread of its own or on several.
class Host
{
public:
  Host(const std::shared_ptr<GridMapROS> & node, size_t threads)
  : base_(node->get_node_base_interface()), executor_(makeExecutor(threads))
  {
    executor_->add_node(node->get_node_base_interface());
    spinner_ = std::thread([this] {
          executor_->spin();
          spun_out_ = true;
        });
  }

  ~Host() {stop();}

  void removeNode() {executor_->remove_node(base_.lock());}

  void stop()
  {
    // A cancel that comes before the spinner entered spin() is lost, so repeat it.
    while (spinner_.joinable() && !spun_out_) {
      executor_->cancel();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (spinner_.joinable()) {
      spinner_.join();
    }
  }

private:
  static std::unique_ptr<rclcpp::Executor> makeExecutor(size_t threads)
  {
    if (threads == 1) {
      return std::make_unique<rclcpp::executors::SingleThreadedExecutor>();
    }
    return std::make_unique<rclcpp::executors::MultiThreadedExecutor>(
      rclcpp::ExecutorOptions(), threads);
  }

  rclcpp::node_interfaces::NodeBaseInterface::WeakPtr base_;
  std::unique_ptr<rclcpp::Executor> executor_;
  std::atomic<bool> spun_out_{false};
  std::thread spinner_;
};

// Configures and activates the node, then waits until frames reach its grid (the wall point is
// cell (40, 20)) and a batch of frames ahead of the camera's pose waits in the filters.
void bringUp(GridMapROS & node)
{
  ASSERT_EQ(node.configure().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node.activate().id(), State::PRIMARY_STATE_ACTIVE);
  auto & maps = *node.multi_grid_map_;
  ASSERT_TRUE(
    gridmap_test::waitUntil([&maps] {
      maps.updateMap();
      return maps.isObstacleType(40, 20, 0x4u);
    }));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
}

// Stops the node, then lets every frame that waited in its filters time out (after 0.2 s) while
// the node, its costmap thread and the host go on.
void stopTheNode(GridMapROS & node, bool shut_down)
{
  ASSERT_EQ(node.deactivate().id(), State::PRIMARY_STATE_INACTIVE);
  if (shut_down) {
    ASSERT_EQ(node.shutdown().id(), State::PRIMARY_STATE_FINALIZED);
  } else {
    ASSERT_EQ(node.cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

using Teardown = std::function<void (std::shared_ptr<GridMapROS> &, Host &)>;

void dropTheNode(std::shared_ptr<GridMapROS> & node)
{
  const std::weak_ptr<GridMapROS> watch = node;
  node.reset();
  EXPECT_TRUE(watch.expired());
}

// The host, spinning the node on one thread or on four, stops (or reconfigures) the node while
// frames wait in the transform filters for a moving camera's pose: some until the next pose
// arrives, some until the filter gives up on them on the costmap node's thread, also after their
// filter was released.
TEST(GridMapROSTeardownTest, EveryWayOfStoppingLeavesNoWaitingFrameOnFreedMemory)
{
  MovingCamera camera;
  const std::vector<std::pair<std::string, Teardown>> teardowns{
    {"cleanup, stop the executor, drop", [](auto & node, Host & host) {
        stopTheNode(*node, false);
        host.stop();
        dropTheNode(node);
      }},
    {"shutdown, stop the executor, drop", [](auto & node, Host & host) {
        stopTheNode(*node, true);
        host.stop();
        dropTheNode(node);
      }},
    {"cleanup, remove the node from the spinning executor, drop", [](auto & node, Host & host) {
        stopTheNode(*node, false);
        host.removeNode();
        dropTheNode(node);
        host.stop();
      }},
    {"drop while the executor spins", [](auto & node, Host & host) {
        dropTheNode(node);
        host.stop();
      }},
    {"reconfigure, then cleanup, stop the executor, drop", [](auto & node, Host & host) {
        stopTheNode(*node, false);
        bringUp(*node);
        stopTheNode(*node, false);
        host.stop();
        dropTheNode(node);
      }},
  };
  for (const size_t threads : {1u, 4u}) {
    for (const auto & [order, teardown] : teardowns) {
      SCOPED_TRACE(order + " on " + std::to_string(threads) + " host threads");
      auto node = std::make_shared<GridMapROS>("dropped", "");
      Host host(node, threads);
      bringUp(*node);
      teardown(node, host);
      // Nothing of the node is left subscribed once it is gone.
      EXPECT_TRUE(gridmap_test::waitUntil([&camera] {return camera.subscriptions() == 0;}));
    }
  }
}

}  // namespace
