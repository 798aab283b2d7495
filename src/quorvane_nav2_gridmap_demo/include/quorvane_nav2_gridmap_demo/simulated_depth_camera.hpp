#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__SIMULATED_DEPTH_CAMERA_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__SIMULATED_DEPTH_CAMERA_HPP_

// A depth camera driver and robot localisation in one: on a thread of its own it publishes the
// robot's pose on TF, the camera's CameraInfo and a SemanticPointCloud per frame showing a
// walking person (category 103), a box (300) and a spill outlined as a polygon (105).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"

namespace quorvane_nav2_gridmap_demo
{

struct Pose2D
{
  double x;
  double y;
  double yaw;
};

// A point of the simulated scene, in the global frame (metres).
struct WorldPoint
{
  double x;
  double y;
  double z;
};

struct CameraSettings
{
  std::string cloud_topic;
  std::string camera_info_topic;
  std::string global_frame{"map"};
  std::string base_frame{"base_link"};
  // Camera body frame (x forward, z up): the clouds are expressed in it.
  std::string body_frame{"front_camera_link"};
  // Optical frame (z along the view): the CameraInfo names it.
  std::string optical_frame{"front_camera_optical_frame"};
  Pose2D robot{1.5, 3.5, 0.0};
  // Camera position on the robot, in base_link.
  double mount_x{0.2};
  double mount_z{0.5};
  double near_distance{0.3};
  double far_distance{4.0};
  std::chrono::milliseconds period{100};
};

class SimulatedDepthCamera
{
public:
  SimulatedDepthCamera(const rclcpp::Node::SharedPtr & node, CameraSettings settings);
  // Stops the camera thread.
  ~SimulatedDepthCamera();

  SimulatedDepthCamera(const SimulatedDepthCamera &) = delete;
  SimulatedDepthCamera & operator=(const SimulatedDepthCamera &) = delete;

  std::uint64_t framesPublished() const {return frames_published_;}
  const CameraSettings & settings() const {return settings_;}

private:
  void publishMountTransforms();
  void run();
  void publishFrame(std::uint64_t frame);
  void publishRobotPose(const rclcpp::Time & stamp);
  sensor_msgs::msg::CameraInfo cameraInfo(const rclcpp::Time & stamp) const;
  quorvane_protocol::msg::SemanticPointCloud semanticCloud(
    const rclcpp::Time & stamp, std::uint64_t frame) const;
  quorvane_protocol::msg::SemanticCloud subCloud(
    std::uint32_t category, bool is_polygon, const std::vector<WorldPoint> & points) const;
  geometry_msgs::msg::Point32 toBodyFrame(const WorldPoint & point) const;
  std::vector<geometry_msgs::msg::Point32> viewOutline() const;

  rclcpp::Node::SharedPtr node_;
  CameraSettings settings_;
  rclcpp::Publisher<quorvane_protocol::msg::SemanticPointCloud>::SharedPtr cloud_pub_;
  rclcpp::Publisher<sensor_msgs::msg::CameraInfo>::SharedPtr camera_info_pub_;
  tf2_ros::TransformBroadcaster tf_broadcaster_;
  tf2_ros::StaticTransformBroadcaster static_tf_broadcaster_;
  std::atomic<std::uint64_t> frames_published_{0};
  std::mutex stop_mutex_;
  std::condition_variable stop_requested_;
  bool stopping_{false};
  std::thread thread_;
};

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__SIMULATED_DEPTH_CAMERA_HPP_
