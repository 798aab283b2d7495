#include "rclcpp/future_return_code.hpp"

#include <ostream>
#include <string>

namespace rclcpp
{

std::ostream & operator<<(std::ostream & os, const FutureReturnCode & future_return_code)
{
  return os << to_string(future_return_code);
}

std::string to_string(const FutureReturnCode & future_return_code)
{
  switch (future_return_code) {
    case FutureReturnCode::SUCCESS: return "SUCCESS (0)";
    case FutureReturnCode::INTERRUPTED: return "INTERRUPTED (1)";
    case FutureReturnCode::TIMEOUT: return "TIMEOUT (2)";
    default: return "UNKNOWN";
  }
}

}  // namespace rclcpp
