#include "quorvane_nav2_gridmap/costmap_depth_camera/camera_info_intake.hpp"

#include <utility>

#include <rclcpp/message_info.hpp>
#include <rclcpp/qos.hpp>
#include <rclcpp/subscription_options.hpp>

namespace costmap_depth_camera
{
namespace
{

sensor_msgs::msg::CameraInfo withoutStamp(sensor_msgs::msg::CameraInfo info)
{
  info.header.stamp = builtin_interfaces::msg::Time();
  return info;
}

}  // namespace

CameraInfoIntake::CameraInfoIntake(
  rclcpp_lifecycle::LifecycleNode & node, const std::string & topic,
  const std::shared_ptr<rclcpp::CallbackGroup> & group)
{
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  // The callback never runs: no executor serves the group, takeNewest() takes the messages.
  subscription_ = node.create_subscription<sensor_msgs::msg::CameraInfo>(
    topic, rclcpp::QoS(1), [](std::shared_ptr<const sensor_msgs::msg::CameraInfo>) {}, options);
}

bool CameraInfoIntake::takeNewest(sensor_msgs::msg::CameraInfo & info)
{
  std::lock_guard<std::mutex> guard(mutex_);
  if (!subscription_) {
    return false;
  }
  bool taken = false;
  sensor_msgs::msg::CameraInfo message;
  rclcpp::MessageInfo message_info;
  while (subscription_->take(message, message_info)) {
    taken = true;
  }
  if (!taken || (refused_ && withoutStamp(message) == *refused_)) {
    return false;
  }
  info = std::move(message);
  return true;
}

void CameraInfoIntake::refuse(const sensor_msgs::msg::CameraInfo & info)
{
  std::lock_guard<std::mutex> guard(mutex_);
  refused_ = withoutStamp(info);
}

void CameraInfoIntake::release()
{
  std::shared_ptr<rclcpp::Subscription<sensor_msgs::msg::CameraInfo>> released;
  std::lock_guard<std::mutex> guard(mutex_);
  released.swap(subscription_);
  refused_.reset();
}

}  // namespace costmap_depth_camera
