#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_

// A camera source's CameraInfo, taken without ever waiting: its subscription sits in a callback
// group that no executor serves, so messages stay in the subscription's queue until a frame of
// the source takes the newest. Only a message that changes the camera's frustum is handed on.

#include <memory>
#include <optional>
#include <string>

#include <rclcpp/callback_group.hpp>
#include <rclcpp/subscription.hpp>
#include <rclcpp_lifecycle/lifecycle_node.hpp>
#include <sensor_msgs/msg/camera_info.hpp>

namespace costmap_depth_camera
{

class CameraInfoIntake
{
public:
  // `group` must belong to `node` and be served by no executor.
  CameraInfoIntake(
    rclcpp_lifecycle::LifecycleNode & node, const std::string & topic,
    const std::shared_ptr<rclcpp::CallbackGroup> & group);
  CameraInfoIntake(const CameraInfoIntake &) = delete;
  CameraInfoIntake & operator=(const CameraInfoIntake &) = delete;

  // The newest CameraInfo that arrived since the last call, when its frame, image size or
  // projection differ from those of the last one handed on (a driver restamps and resends the
  // same calibration all the time); false otherwise. Costs one take when nothing arrived. One
  // caller at a time.
  bool takeChange(sensor_msgs::msg::CameraInfo & info);

private:
  std::shared_ptr<rclcpp::Subscription<sensor_msgs::msg::CameraInfo>> subscription_;
  std::optional<sensor_msgs::msg::CameraInfo> handed_on_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_
