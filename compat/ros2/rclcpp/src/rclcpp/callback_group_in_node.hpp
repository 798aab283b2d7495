// Picks the callback group an entity joins: the node's default group when none is given,
// otherwise the given one, which must belong to the node; and tells the node's executors once it
// has joined.
#ifndef RCLCPP__CALLBACK_GROUP_IN_NODE_HPP_
#define RCLCPP__CALLBACK_GROUP_IN_NODE_HPP_

#include <stdexcept>
#include <string>

#include "rclcpp/callback_group.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

inline rclcpp::CallbackGroup::SharedPtr group_in_node(
  NodeBaseInterface * node_base, rclcpp::CallbackGroup::SharedPtr group, const char * what)
{
  if (!group) {
    return node_base->get_default_callback_group();
  }
  if (!node_base->callback_group_in_node(group)) {
    throw std::runtime_error(std::string("Cannot create ") + what + ", group not in node.");
  }
  return group;
}

// As in Humble, adding an entity, not creating a group, wakes the executors that hold the node:
// that is when they pick up a group created since.
inline void wake_executors_of(NodeBaseInterface * node_base)
{
  node_base->get_notify_guard_condition().trigger();
}

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_IN_NODE_HPP_
