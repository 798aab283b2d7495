// Copyright (c) 2026 Quorvane
// Licensed under the BSD-3-Clause License

#ifndef NAV_2D_UTILS__TF_HELP_HPP_
#define NAV_2D_UTILS__TF_HELP_HPP_

#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/duration.hpp"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/buffer.h"

// A pose transform that tolerates slightly stale TF data, for controllers whose odometry
// arrives a little ahead of the transforms.
namespace nav_2d_utils
{

// Transforms at the pose's own stamp; if that would extrapolate, falls back to the latest
// transform as long as it is no older than the tolerance. Returns false on failure.
bool transformPose(
  const std::shared_ptr<tf2_ros::Buffer> tf,
  const std::string frame,
  const geometry_msgs::msg::PoseStamped & in_pose,
  geometry_msgs::msg::PoseStamped & out_pose,
  rclcpp::Duration & transform_tolerance);

}  // namespace nav_2d_utils

#endif  // NAV_2D_UTILS__TF_HELP_HPP_
