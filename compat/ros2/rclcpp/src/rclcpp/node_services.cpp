#include "rclcpp/node_interfaces/node_services.hpp"

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

NodeServices::NodeServices(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeServices::add_client(
  rclcpp::ClientBase::SharedPtr client_base_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  auto target = group_in_node(node_base_, group, "client");
  client_base_ptr->attach_to_callback_group(target);
  target->add_client(client_base_ptr);
  wake_executors_of(node_base_);
  client_base_ptr->register_in_graph();
}

void NodeServices::add_service(
  rclcpp::ServiceBase::SharedPtr service_base_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  auto target = group_in_node(node_base_, group, "service");
  service_base_ptr->attach_to_callback_group(target);
  target->add_service(service_base_ptr);
  wake_executors_of(node_base_);
  service_base_ptr->register_in_graph();
}

std::string NodeServices::resolve_service_name(const std::string & name, bool only_expand) const
{
  return node_base_->resolve_topic_or_service_name(name, true, only_expand);
}

}  // namespace node_interfaces
}  // namespace rclcpp
