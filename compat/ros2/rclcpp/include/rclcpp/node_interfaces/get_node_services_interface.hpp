// get_node_services_interface: the NodeServicesInterface of a node given as shared_ptr,
// raw pointer or reference, or of the interface itself.
#ifndef RCLCPP__NODE_INTERFACES__GET_NODE_SERVICES_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__GET_NODE_SERVICES_INTERFACE_HPP_

#include <memory>
#include <type_traits>
#include <utility>

#include "rclcpp/node_interfaces/detail/node_interfaces_helpers.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

inline std::shared_ptr<NodeServicesInterface> get_node_services_interface(
  std::shared_ptr<NodeServicesInterface> interface)
{
  return interface;
}

template<typename NodeType>
std::shared_ptr<NodeServicesInterface> get_node_services_interface(
  const std::shared_ptr<NodeType> & node)
{
  if constexpr (std::is_base_of<NodeServicesInterface, NodeType>::value) {
    return node;
  } else {
    return node->get_node_services_interface();
  }
}

template<
  typename NodeType,
  typename std::enable_if_t<
    !std::is_pointer<std::remove_reference_t<NodeType>>::value &&
    !rclcpp::node_interfaces::detail::is_shared_ptr<std::decay_t<NodeType>>::value, int> = 0>
std::shared_ptr<NodeServicesInterface> get_node_services_interface(NodeType && node)
{
  return node.get_node_services_interface();
}

template<typename NodeType>
std::shared_ptr<NodeServicesInterface> get_node_services_interface(NodeType * node)
{
  return node->get_node_services_interface();
}

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__GET_NODE_SERVICES_INTERFACE_HPP_
