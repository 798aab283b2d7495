// The camera-info wait of a camera source when subscriptions take time to be discovered, as on a
// robot: every new subscription (the camera-info wait's own included) matches its publishers only
// 50 ms after it was created.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <rclcpp_lifecycle/lifecycle_node.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <tf2/time.h>
#include <tf2_ros/buffer.h>
#include <tf2_ros/create_timer_ros.h>
#include <tf2_ros/static_transform_broadcaster.h>
#include <tf2_ros/transform_listener.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"
#include "test_gridmap_ros_support.hpp"

namespace
{

using costmap_depth_camera::FrustumDetector;
using costmap_depth_camera::FrustumObservationOptions;
using costmap_depth_camera::FrustumObservationRos;
using costmap_depth_camera::FrustumObservationRosOptions;
using costmap_depth_camera::Observation;
using quorvane_protocol::msg::SemanticPointCloud;

constexpr int kWall = 300;
constexpr int kClouds = 6;

class CameraInfoDiscoveryTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    setenv("QUORVANE_DISCOVERY_DELAY_MS", "50", 1);
    rclcpp::init(0, nullptr);
  }

  static void TearDownTestSuite()
  {
    rclcpp::shutdown();
    unsetenv("QUORVANE_DISCOVERY_DELAY_MS");
  }

  void SetUp() override
  {
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("obstacle_type", "/discovery");
    peer_ = std::make_shared<rclcpp::Node>("camera_driver", "/discovery");
    tf_buffer_ = std::make_unique<tf2_ros::Buffer>(node_->get_clock());
    tf_buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
    listener_ = std::make_unique<tf2_ros::TransformListener>(*tf_buffer_);
    host_ = std::make_unique<gridmap_test::SpinningHost<>>(
      gridmap_test::SpinningHost<>::Nodes{node_->get_node_base_interface(),
        peer_->get_node_base_interface()});
  }

  void TearDown() override
  {
    stop_camera_info_ = true;
    if (camera_info_thread_.joinable()) {
      camera_info_thread_.join();
    }
    // Empty when SetUp failed before the host started.
    host_.reset();
    front_end_.reset();
  }

  void publishCameraInfoContinuously(const std::string & topic)
  {
    auto publisher = peer_->create_publisher<sensor_msgs::msg::CameraInfo>(topic, 10);
    camera_info_thread_ = std::thread([this, publisher] {
        const auto info = gridmap_test::vgaCameraInfo("camera");
        while (!stop_camera_info_) {
          publisher->publish(info);
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      });
  }

  // A wall sub-cloud with one point at (x, 0, 1) of the camera frame.
  void publishCloud(float x)
  {
    SemanticPointCloud message;
    message.header.frame_id = "camera";
    message.header.stamp = node_->now();
    message.clouds.resize(1);
    message.clouds[0].category = kWall;
    sensor_msgs::PointCloud2Modifier modifier(message.clouds[0].cloud);
    modifier.setPointCloud2FieldsByString(1, "xyz");
    modifier.resize(1);
    sensor_msgs::PointCloud2Iterator<float> it(message.clouds[0].cloud, "x");
    it[0] = x;
    it[1] = 0.0f;
    it[2] = 1.0f;
    cloud_publisher_->publish(message);
  }

  rclcpp_lifecycle::LifecycleNode::SharedPtr node_;
  rclcpp::Node::SharedPtr peer_;
  std::unique_ptr<tf2_ros::Buffer> tf_buffer_;
  std::unique_ptr<tf2_ros::TransformListener> listener_;
  rclcpp::Publisher<SemanticPointCloud>::SharedPtr cloud_publisher_;
  std::unique_ptr<gridmap_test::SpinningHost<>> host_;
  std::thread camera_info_thread_;
  std::atomic<bool> stop_camera_info_{false};
  FrustumObservationRosOptions options_;
  std::unique_ptr<FrustumObservationRos> front_end_;
};

// The first clouds find no CameraInfo, since the source's CameraInfo subscription is matched only
// after the delay; a later cloud builds the detector from the CameraInfo that then flows, and no
// cloud is lost meanwhile.
TEST_F(CameraInfoDiscoveryTest, FrustumIsBuiltAndNoCloudIsLostWhileCameraInfoIsDiscovered)
{
  publishCameraInfoContinuously("front_info");
  geometry_msgs::msg::TransformStamped camera;
  camera.header.frame_id = "map";
  camera.child_frame_id = "camera";
  camera.transform.rotation.w = 1.0;
  tf2_ros::StaticTransformBroadcaster broadcaster(peer_);
  broadcaster.sendTransform(camera);
  ASSERT_TRUE(gridmap_test::waitUntil([this] {
      return tf_buffer_->canTransform("map", "camera", tf2::TimePointZero);
    }));

  options_.global_frame = "map";
  options_.transform_tolerance = 0.5;
  options_.occlusion_clearing = true;
  FrustumObservationOptions source;
  source.buffer_options.source_name = "obstacle_type.front";
  source.buffer_options.topic = "front_cloud";
  source.buffer_options.camera_info_topic = "front_info";
  source.buffer_options.observation_persistence = 100.0;
  source.marking = true;
  front_end_ =
    std::make_unique<FrustumObservationRos>(node_, options_, *tf_buffer_, 100, 100, 0.1, 0.0, 0.0);
  front_end_->addObservationBufferListen(source);
  front_end_->activate();
  cloud_publisher_ = peer_->create_publisher<SemanticPointCloud>("front_cloud", 10);
  ASSERT_TRUE(
    gridmap_test::waitUntil([this] {return cloud_publisher_->get_subscription_count() == 1u;}));

  std::size_t published = 0;
  for (; published < static_cast<std::size_t>(kClouds); ++published) {
    publishCloud(1.0f + 0.5f * static_cast<float>(published));
  }
  // One more cloud whenever all before it are kept, until one of them finds the CameraInfo.
  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  EXPECT_TRUE(gridmap_test::waitUntil([&] {
      observations.clear();
      detectors.clear();
      front_end_->getMarkingObservations(observations, detectors);
      if (detectors.empty() && observations.size() == published) {
        publishCloud(1.0f + 0.5f * static_cast<float>(published++ % kClouds));
      }
      return observations.size() == published && detectors.size() == 1u;
    })) << observations.size() << " of " << published << " clouds kept, " << detectors.size()
        << " detectors";
}

}  // namespace
