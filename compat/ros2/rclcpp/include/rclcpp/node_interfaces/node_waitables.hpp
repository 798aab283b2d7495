// Custom waitables are outside the in-process runtime: adding one fails loudly.
#ifndef RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_waitables_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeWaitables : public NodeWaitablesInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeWaitables)

  explicit NodeWaitables(rclcpp::node_interfaces::NodeBaseInterface * node_base);
  virtual ~NodeWaitables() = default;

  void add_waitable(
    rclcpp::Waitable::SharedPtr waitable_base_ptr,
    rclcpp::CallbackGroup::SharedPtr group) override;
  void remove_waitable(
    rclcpp::Waitable::SharedPtr waitable_ptr,
    rclcpp::CallbackGroup::SharedPtr group) noexcept override;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_WAITABLES_HPP_
