// A named logger; its messages go through rcutils' console output in ROS 2's format.
#ifndef RCLCPP__LOGGER_HPP_
#define RCLCPP__LOGGER_HPP_

#include <memory>
#include <string>

#include "rcl/node.h"
#include "rcpputils/filesystem_helper.hpp"
#include "rcutils/logging.h"

namespace rclcpp
{

class Logger;

Logger get_logger(const std::string & name);
Logger get_node_logger(const rcl_node_t * node);
rcpputils::fs::path get_logging_directory();

class Logger
{
public:
  enum class Level
  {
    Unset = RCUTILS_LOG_SEVERITY_UNSET,
    Debug = RCUTILS_LOG_SEVERITY_DEBUG,
    Info = RCUTILS_LOG_SEVERITY_INFO,
    Warn = RCUTILS_LOG_SEVERITY_WARN,
    Error = RCUTILS_LOG_SEVERITY_ERROR,
    Fatal = RCUTILS_LOG_SEVERITY_FATAL,
  };

  Logger(const Logger &) = default;
  Logger & operator=(const Logger &) = default;

  const char * get_name() const;
  Logger get_child(const std::string & suffix);
  void set_level(Level level);

private:
  friend Logger rclcpp::get_logger(const std::string & name);

  Logger()
  : name_(nullptr) {}

  explicit Logger(const std::string & name)
  : name_(std::make_shared<const std::string>(name)) {}

  std::shared_ptr<const std::string> name_;
};

}  // namespace rclcpp

#endif  // RCLCPP__LOGGER_HPP_
