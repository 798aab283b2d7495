// Puts services and clients into the node's callback groups and the graph.
#ifndef RCLCPP__NODE_INTERFACES__NODE_SERVICES_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_SERVICES_HPP_

#include <string>

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeServices : public NodeServicesInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeServices)

  explicit NodeServices(rclcpp::node_interfaces::NodeBaseInterface * node_base);
  virtual ~NodeServices() = default;

  void add_client(
    rclcpp::ClientBase::SharedPtr client_base_ptr,
    rclcpp::CallbackGroup::SharedPtr group) override;
  void add_service(
    rclcpp::ServiceBase::SharedPtr service_base_ptr,
    rclcpp::CallbackGroup::SharedPtr group) override;
  std::string resolve_service_name(
    const std::string & name, bool only_expand = false) const override;

private:
  rclcpp::node_interfaces::NodeBaseInterface * node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_SERVICES_HPP_
