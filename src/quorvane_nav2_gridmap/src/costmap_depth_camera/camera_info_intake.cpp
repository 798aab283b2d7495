#include "quorvane_nav2_gridmap/costmap_depth_camera/camera_info_intake.hpp"

#include <cstring>
#include <utility>

#include <rclcpp/message_info.hpp>
#include <rclcpp/qos.hpp>
#include <rclcpp/subscription_options.hpp>

namespace costmap_depth_camera
{
namespace
{

// Compared bit for bit: a NaN entry equals itself, so a broken calibration resent with every
// frame is judged once.
bool sameFrustum(const sensor_msgs::msg::CameraInfo & a, const sensor_msgs::msg::CameraInfo & b)
{
  return a.header.frame_id == b.header.frame_id && a.width == b.width && a.height == b.height &&
         std::memcmp(a.p.data(), b.p.data(), sizeof(a.p)) == 0;
}

}  // namespace

CameraInfoIntake::CameraInfoIntake(
  rclcpp_lifecycle::LifecycleNode & node, const std::string & topic,
  const std::shared_ptr<rclcpp::CallbackGroup> & group)
{
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  // The callback never runs: no executor serves the group, takeChange() takes the messages.
  subscription_ = node.create_subscription<sensor_msgs::msg::CameraInfo>(
    topic, rclcpp::QoS(1), [](std::shared_ptr<const sensor_msgs::msg::CameraInfo>) {}, options);
}

bool CameraInfoIntake::takeChange(sensor_msgs::msg::CameraInfo & info)
{
  bool taken = false;
  sensor_msgs::msg::CameraInfo message;
  rclcpp::MessageInfo message_info;
  while (subscription_->take(message, message_info)) {
    taken = true;
  }
  if (!taken || (handed_on_ && sameFrustum(message, *handed_on_))) {
    return false;
  }
  handed_on_ = message;
  info = std::move(message);
  return true;
}

}  // namespace costmap_depth_camera
