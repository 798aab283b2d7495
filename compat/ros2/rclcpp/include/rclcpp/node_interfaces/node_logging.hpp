// The node's logger, named after the node (namespace tokens joined by dots, then the name).
#ifndef RCLCPP__NODE_INTERFACES__NODE_LOGGING_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_LOGGING_HPP_

#include "rclcpp/logger.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeLogging : public NodeLoggingInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeLogging)

  explicit NodeLogging(rclcpp::node_interfaces::NodeBaseInterface * node_base);
  virtual ~NodeLogging() = default;

  rclcpp::Logger get_logger() const override;
  const char * get_logger_name() const override;

private:
  rclcpp::Logger logger_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_LOGGING_HPP_
