#include "rclcpp/node_interfaces/node_logging.hpp"

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

NodeLogging::NodeLogging(NodeBaseInterface * node_base)
: logger_(rclcpp::get_node_logger(node_base->get_rcl_node_handle()))
{}

rclcpp::Logger NodeLogging::get_logger() const
{
  return logger_;
}

const char * NodeLogging::get_logger_name() const
{
  return logger_.get_name();
}

}  // namespace node_interfaces
}  // namespace rclcpp
