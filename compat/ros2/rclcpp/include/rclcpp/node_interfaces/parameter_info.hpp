// A declared parameter's value and descriptor, as the node parameter store keeps them.
#ifndef RCLCPP__NODE_INTERFACES__PARAMETER_INFO_HPP_
#define RCLCPP__NODE_INTERFACES__PARAMETER_INFO_HPP_

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace node_interfaces
{

struct ParameterInfo
{
  rclcpp::ParameterValue value;
  rcl_interfaces::msg::ParameterDescriptor descriptor;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__PARAMETER_INFO_HPP_
