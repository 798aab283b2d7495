// A host that reconfigures its grid-map node while a multi-threaded executor spins it, three
// cameras stream thousands of frames a second each and a map server keeps calling load_map: every
// configure replaces the plugins and their camera sources under their callbacks, and the host
// updates and queries the grid maps between the cycles.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

#include "test_gridmap_ros_support.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using quorvane_nav2_gridmap::GridMapROS;
using quorvane_protocol::msg::SemanticPointCloud;

// Three marking sources; the rear one also waits for the camera's own frame, the side one builds
// its frustum from the CameraInfo that streams with it.
const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/cycled_gridmap/cycled_gridmap:
  ros__parameters:
    plugins: ["distance", "obstacle"]
    distance:
      plugin: quorvane_nav2_gridmap::GridDistanceMap
    obstacle:
      plugin: quorvane_nav2_gridmap::GridObstacleType
      observation_sources: front rear side
      observation_source_default_conf:
        marking: true
      front:
        topic: /cycled/front
      rear:
        topic: /cycled/rear
        sensor_frame: camera_link
      side:
        topic: /cycled/side
        camera_info_topic: /cycled/camera_info
)"));

// Calls load_map one request after another until told to stop; counts the answers.
class MapChangeCaller
{
public:
  MapChangeCaller()
  : node_(std::make_shared<rclcpp::Node>("cycled_map_server")),
    client_(node_->create_client<nav2_msgs::srv::LoadMap>("/cycled_gridmap/load_map")),
    thread_([this] {call();}) {}

  ~MapChangeCaller()
  {
    calling_ = false;
    thread_.join();
  }

  int answered() const {return answered_;}

private:
  void call()
  {
    rclcpp::executors::SingleThreadedExecutor executor;
    executor.add_node(node_);
    while (calling_) {
      // The service exists from the first configure on.
      if (!client_->wait_for_service(std::chrono::milliseconds(10))) {
        continue;
      }
      auto request = std::make_shared<nav2_msgs::srv::LoadMap::Request>();
      request->map_url = "site_b";
      auto future = client_->async_send_request(request);
      if (executor.spin_until_future_complete(future, std::chrono::milliseconds(200)) ==
        rclcpp::FutureReturnCode::SUCCESS)
      {
        ++answered_;
      } else {
        client_->remove_pending_request(future);
      }
    }
  }

  std::shared_ptr<rclcpp::Node> node_;
  std::shared_ptr<rclcpp::Client<nav2_msgs::srv::LoadMap>> client_;
  std::atomic<bool> calling_{true};
  std::atomic<int> answered_{0};
  std::thread thread_;
};

// Between the cycles the host updates and asks both grid maps, as a planner would.
void updateAndQuery(quorvane_nav2_gridmap::MultiGridMap & maps)
{
  maps.updateMap();
  quorvane_nav2_gridmap::ObsTypeBitMap bits;
  maps.getObstacleType(40, 20, bits);
  maps.getCost(40, 20, true);
  maps.getDistance(40, 20);
  maps.inRisk(40, 20, 0);
  maps.inPriorityPassage(40, 20, 0);
}

// A hundred cleanup, configure and activate cycles from this thread while a host's executor of four
// threads spins the node.
void reconfigureWhileHostSpins(GridMapROS & node)
{
  ASSERT_EQ(node.configure().id(), State::PRIMARY_STATE_INACTIVE);
  ASSERT_EQ(node.activate().id(), State::PRIMARY_STATE_ACTIVE);
  gridmap_test::SpinningHost<rclcpp::executors::MultiThreadedExecutor> host(
    {node.get_node_base_interface()}, rclcpp::ExecutorOptions(), 4);
  for (int cycle = 0; cycle < 100; ++cycle) {
    // Frames flow into the plugins of this configure: the wall point reaches cell (40, 20).
    auto & maps = *node.multi_grid_map_;
    ASSERT_TRUE(
      gridmap_test::waitUntil([&maps] {
        updateAndQuery(maps);
        return maps.isObstacleType(40, 20, 0x4u);
      })) << cycle;
    ASSERT_EQ(node.deactivate().id(), State::PRIMARY_STATE_INACTIVE) << cycle;
    ASSERT_EQ(node.cleanup().id(), State::PRIMARY_STATE_UNCONFIGURED) << cycle;
    ASSERT_EQ(node.configure().id(), State::PRIMARY_STATE_INACTIVE) << cycle;
    ASSERT_EQ(node.activate().id(), State::PRIMARY_STATE_ACTIVE) << cycle;
  }
}

TEST(GridMapROSMultiThreadedHostTest, ConfigureCyclesRaceWithNoCallbackRequestOrUpdate)
{
  auto camera_node = std::make_shared<rclcpp::Node>("cycled_camera");
  tf2_ros::StaticTransformBroadcaster broadcaster(camera_node);
  geometry_msgs::msg::TransformStamped mount;
  mount.header.frame_id = "map";
  mount.child_frame_id = "camera_link";
  mount.transform.translation.x = 1.0;
  mount.transform.rotation.w = 1.0;
  broadcaster.sendTransform(mount);

  std::vector<std::shared_ptr<rclcpp::Publisher<SemanticPointCloud>>> sources;
  for (const char * topic : {"/cycled/front", "/cycled/rear", "/cycled/side"}) {
    sources.push_back(camera_node->create_publisher<SemanticPointCloud>(topic, 10));
  }
  auto camera_info =
    camera_node->create_publisher<sensor_msgs::msg::CameraInfo>("/cycled/camera_info", 1);
  std::atomic<bool> streaming{true};
  std::thread camera([&] {
      const auto info = gridmap_test::vgaCameraInfo("camera_link");
      // One wall point at (1, 1, 0.5) of the camera, which stands at (1, 0) of the map.
      while (streaming) {
        for (const auto & source : sources) {
          source->publish(gridmap_test::wallFrame("camera_link", 1.0f, 1.0f, 0.5f));
        }
        camera_info->publish(info);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });

  auto node = std::make_shared<GridMapROS>("cycled", "");
  {
    MapChangeCaller map_server;
    reconfigureWhileHostSpins(*node);
    EXPECT_GT(map_server.answered(), 0);
  }
  streaming = false;
  camera.join();
}

}  // namespace
