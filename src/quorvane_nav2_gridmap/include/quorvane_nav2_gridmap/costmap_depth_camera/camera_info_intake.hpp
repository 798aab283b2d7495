#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_

// A camera source's CameraInfo, taken without ever waiting: its subscription sits in a callback
// group that no executor serves, so messages stay in the subscription's queue until a frame of
// the source takes the newest.

#include <memory>
#include <mutex>
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

  // The newest CameraInfo that arrived since the last call; false when none did, or when it is
  // the one refused last (its stamp aside), which is not worth judging again.
  bool takeNewest(sensor_msgs::msg::CameraInfo & info);
  // Remembers `info` as unusable until a different one arrives.
  void refuse(const sensor_msgs::msg::CameraInfo & info);
  // The source has its frustum: no CameraInfo is wanted any more.
  void release();

private:
  std::mutex mutex_;
  std::shared_ptr<rclcpp::Subscription<sensor_msgs::msg::CameraInfo>> subscription_;
  // Stamp cleared: a driver stamps every copy of the same calibration anew.
  std::optional<sensor_msgs::msg::CameraInfo> refused_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__CAMERA_INFO_INTAKE_HPP_
