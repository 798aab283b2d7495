#include "rclcpp/detail/log_output.hpp"

#include <mutex>
#include <string>

#include "rclcpp/logger.hpp"
#include "rcutils/logging.h"

namespace rclcpp
{
namespace detail
{
namespace
{

// rcutils' logger table and output handler are not thread safe; every use goes through here.
std::mutex & logging_mutex()
{
  static std::mutex mutex;
  return mutex;
}

void ensure_initialized()
{
  static std::once_flag once;
  std::call_once(once, []() {(void)!rcutils_logging_initialize();});
}

}  // namespace

bool logger_enabled_for(const Logger & logger, int severity)
{
  if (!logger.get_name()) {
    return false;
  }
  ensure_initialized();
  std::lock_guard<std::mutex> lock(logging_mutex());
  return rcutils_logging_logger_is_enabled_for(logger.get_name(), severity);
}

void log_message(
  const Logger & logger, int severity, const char * file, const char * function, size_t line,
  const std::string & message)
{
  if (!logger.get_name()) {
    return;
  }
  ensure_initialized();
  rcutils_log_location_t location{function, file, line};
  std::lock_guard<std::mutex> lock(logging_mutex());
  rcutils_log(&location, severity, logger.get_name(), "%s", message.c_str());
}

bool set_logger_level(const std::string & name, int level)
{
  ensure_initialized();
  std::lock_guard<std::mutex> lock(logging_mutex());
  return rcutils_logging_set_logger_level(name.c_str(), level) == RCUTILS_RET_OK;
}

bool apply_log_level_rule(const std::string & rule)
{
  const size_t separator = rule.find(":=");
  const std::string level_text = separator == std::string::npos ?
    rule : rule.substr(separator + 2);
  int level = 0;
  ensure_initialized();
  std::lock_guard<std::mutex> lock(logging_mutex());
  if (rcutils_logging_severity_level_from_string(
      level_text.c_str(), rcutils_get_default_allocator(), &level) != RCUTILS_RET_OK)
  {
    return false;
  }
  if (separator == std::string::npos) {
    rcutils_logging_set_default_logger_level(level);
    return true;
  }
  return rcutils_logging_set_logger_level(rule.substr(0, separator).c_str(), level) ==
         RCUTILS_RET_OK;
}

}  // namespace detail
}  // namespace rclcpp
