// The single, serialised path from the RCLCPP_* macros to rcutils' console output.
#ifndef RCLCPP__DETAIL__LOG_OUTPUT_HPP_
#define RCLCPP__DETAIL__LOG_OUTPUT_HPP_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
class Logger;

namespace detail
{

bool logger_enabled_for(const Logger & logger, int severity);
void log_message(
  const Logger & logger, int severity, const char * file, const char * function, size_t line,
  const std::string & message);
bool set_logger_level(const std::string & name, int level);
/// Applies a --log-level rule: "<severity>" for the default level or "<logger>:=<severity>".
bool apply_log_level_rule(const std::string & rule);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template<typename FormatT, typename ... Args>
std::string format_log(const FormatT & format, Args && ... args)
{
  const char * fmt = ::rclcpp::get_c_string(format);
  std::vector<char> buffer(1024);
  int needed = std::snprintf(buffer.data(), buffer.size(), fmt, std::forward<Args>(args)...);
  if (needed < 0) {
    return std::string();
  }
  if (static_cast<size_t>(needed) >= buffer.size()) {
    buffer.resize(static_cast<size_t>(needed) + 1);
    std::snprintf(buffer.data(), buffer.size(), fmt, std::forward<Args>(args)...);
  }
  return std::string(buffer.data(), static_cast<size_t>(needed));
}
#pragma GCC diagnostic pop

/// Per-call-site state of the THROTTLE variants: log when `period` has passed since the last log.
class ThrottleState
{
public:
  bool should_log(int64_t now_ns, int64_t period_ns)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (now_ns - last_logged_ns_ < period_ns) {
      return false;
    }
    last_logged_ns_ = now_ns;
    return true;
  }

private:
  std::mutex mutex_;
  int64_t last_logged_ns_{0};
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__LOG_OUTPUT_HPP_
