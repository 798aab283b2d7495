#include "rclcpp/logger.hpp"

#include <cstdlib>
#include <string>

#include "rclcpp/detail/log_output.hpp"
#include "rclcpp/exceptions/exceptions.hpp"

namespace rclcpp
{

Logger get_logger(const std::string & name)
{
  return Logger(name);
}

Logger get_node_logger(const rcl_node_t * node)
{
  if (!node || !node->name) {
    return get_logger("rclcpp");
  }
  std::string name = node->namespace_ ? node->namespace_ : "";
  while (!name.empty() && name.front() == '/') {
    name.erase(name.begin());
  }
  for (auto & c : name) {
    if (c == '/') {
      c = '.';
    }
  }
  return get_logger(name.empty() ? node->name : name + "." + node->name);
}

rcpputils::fs::path get_logging_directory()
{
  const char * home = std::getenv("HOME");
  const char * ros_log_dir = std::getenv("ROS_LOG_DIR");
  if (ros_log_dir && *ros_log_dir) {
    return rcpputils::fs::path(ros_log_dir);
  }
  const char * ros_home = std::getenv("ROS_HOME");
  if (ros_home && *ros_home) {
    return rcpputils::fs::path(ros_home) / "log";
  }
  return rcpputils::fs::path(home ? home : ".") / ".ros" / "log";
}

const char * Logger::get_name() const
{
  return name_ ? name_->c_str() : nullptr;
}

Logger Logger::get_child(const std::string & suffix)
{
  if (!name_) {
    return Logger();
  }
  return Logger(*name_ + "." + suffix);
}

void Logger::set_level(Level level)
{
  if (!name_) {
    return;
  }
  if (!detail::set_logger_level(*name_, static_cast<int>(level))) {
    exceptions::throw_from_rcl_error(
      RCL_RET_ERROR, "Couldn't set logger level");
  }
}

}  // namespace rclcpp
