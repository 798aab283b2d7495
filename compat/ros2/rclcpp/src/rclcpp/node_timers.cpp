#include "rclcpp/node_interfaces/node_timers.hpp"

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "callback_group_in_node.hpp"

namespace rclcpp
{
namespace node_interfaces
{

NodeTimers::NodeTimers(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeTimers::add_timer(
  rclcpp::TimerBase::SharedPtr timer, rclcpp::CallbackGroup::SharedPtr callback_group)
{
  auto group = group_in_node(node_base_, callback_group, "timer");
  timer->attach_to_callback_group(group);
  group->add_timer(timer);
  wake_executors_of(node_base_);
}

}  // namespace node_interfaces
}  // namespace rclcpp
