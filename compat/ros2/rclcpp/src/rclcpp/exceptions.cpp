#include "rclcpp/exceptions/exceptions.hpp"

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp
{
namespace exceptions
{

std::string NameValidationError::format_error(
  const char * name_type, const char * name, const char * error_msg, size_t invalid_index)
{
  std::string msg = "Invalid ";
  msg += std::string(name_type) + ": " + error_msg + ":\n  '" + name + "'\n   ";
  msg += std::string(invalid_index, ' ') + "^\n";
  return msg;
}

RCLErrorBase::RCLErrorBase(rcl_ret_t ret_, const rcl_error_state_t * error_state)
: ret(ret_), message(error_state ? error_state->message : "unknown error"),
  file(error_state ? error_state->file : ""),
  line(error_state ? static_cast<size_t>(error_state->line_number) : 0)
{
  formatted_message = message;
  if (!file.empty()) {
    formatted_message += ", at " + file + ":" + std::to_string(line);
  }
}

RCLError::RCLError(rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLError(RCLErrorBase(ret, error_state), prefix) {}

RCLError::RCLError(const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::runtime_error(prefix + base_exc.formatted_message) {}

RCLBadAlloc::RCLBadAlloc(rcl_ret_t ret, const rcl_error_state_t * error_state)
: RCLBadAlloc(RCLErrorBase(ret, error_state)) {}

RCLBadAlloc::RCLBadAlloc(const RCLErrorBase & base_exc)
: RCLErrorBase(base_exc), std::bad_alloc() {}

RCLInvalidArgument::RCLInvalidArgument(
  rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLInvalidArgument(RCLErrorBase(ret, error_state), prefix) {}

RCLInvalidArgument::RCLInvalidArgument(const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::invalid_argument(prefix + base_exc.formatted_message) {}

RCLInvalidROSArgsError::RCLInvalidROSArgsError(
  rcl_ret_t ret, const rcl_error_state_t * error_state, const std::string & prefix)
: RCLInvalidROSArgsError(RCLErrorBase(ret, error_state), prefix) {}

RCLInvalidROSArgsError::RCLInvalidROSArgsError(
  const RCLErrorBase & base_exc, const std::string & prefix)
: RCLErrorBase(base_exc), std::runtime_error(prefix + base_exc.formatted_message) {}

namespace
{

std::string join_unknown_arguments(const std::vector<std::string> & arguments)
{
  std::string joined;
  for (const auto & argument : arguments) {
    joined += (joined.empty() ? "'" : ", '") + argument + "'";
  }
  return joined;
}

}  // namespace

UnknownROSArgsError::UnknownROSArgsError(std::vector<std::string> && unknown_ros_args_in)
: std::runtime_error("found unknown ROS arguments: " + join_unknown_arguments(unknown_ros_args_in)),
  unknown_ros_args(std::move(unknown_ros_args_in)) {}

void throw_from_rcl_error(
  rcl_ret_t ret, const std::string & prefix, const rcl_error_state_t * error_state,
  reset_error_function_t reset_error)
{
  if (ret == RCL_RET_OK) {
    throw std::invalid_argument("ret is RCL_RET_OK");
  }
  if (!error_state) {
    error_state = rcl_get_error_state();
  }
  const RCLErrorBase base(ret, error_state);
  if (reset_error) {
    reset_error();
  }
  const std::string formatted_prefix = prefix.empty() ? prefix : prefix + ": ";
  switch (ret) {
    case RCL_RET_BAD_ALLOC:
      throw RCLBadAlloc(base);
    case RCL_RET_INVALID_ARGUMENT:
      throw RCLInvalidArgument(base, formatted_prefix);
    case RCL_RET_INVALID_ROS_ARGS:
      throw RCLInvalidROSArgsError(base, formatted_prefix);
    default:
      throw RCLError(base, formatted_prefix);
  }
}

}  // namespace exceptions
}  // namespace rclcpp
