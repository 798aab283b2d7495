#include "rclcpp/node_interfaces/node_waitables.hpp"

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp
{
namespace node_interfaces
{

NodeWaitables::NodeWaitables(NodeBaseInterface *)
{}

void NodeWaitables::add_waitable(rclcpp::Waitable::SharedPtr, rclcpp::CallbackGroup::SharedPtr)
{
  throw std::logic_error("add_waitable not supported by this stand-in");
}

void NodeWaitables::remove_waitable(
  rclcpp::Waitable::SharedPtr, rclcpp::CallbackGroup::SharedPtr) noexcept
{
}

}  // namespace node_interfaces
}  // namespace rclcpp
