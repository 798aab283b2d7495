#include "ros_arguments.hpp"

#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/exceptions/exceptions.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

const char kRosArgs[] = "--ros-args";
const char kEndRosArgs[] = "--";

// Splits argv into the ROS-argument tokens and everything else.
void split(
  const std::vector<std::string> & arguments, bool inside_at_start,
  std::vector<std::string> * ros, std::vector<std::string> * other)
{
  bool inside = inside_at_start;
  for (const auto & argument : arguments) {
    if (argument == kRosArgs) {
      inside = true;
    } else if (inside && argument == kEndRosArgs) {
      inside = false;
    } else if (inside) {
      ros->push_back(argument);
    } else {
      other->push_back(argument);
    }
  }
}

std::vector<std::string> to_vector(int argc, char const * const * argv)
{
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv; ++i) {
    arguments.emplace_back(argv[i]);
  }
  return arguments;
}

[[noreturn]] void throw_invalid(const std::string & message)
{
  rcl_error_state_t state{};
  message.copy(state.message, sizeof(state.message) - 1);
  throw rclcpp::exceptions::RCLInvalidROSArgsError(
    RCL_RET_INVALID_ROS_ARGS, &state, "failed to parse arguments: ");
}

}  // namespace

std::vector<std::string> RosArguments::extract(int argc, char const * const * argv)
{
  std::vector<std::string> ros;
  std::vector<std::string> other;
  split(to_vector(argc, argv), false, &ros, &other);
  return ros;
}

std::vector<std::string> RosArguments::remove(int argc, char const * const * argv)
{
  std::vector<std::string> ros;
  std::vector<std::string> other;
  split(to_vector(argc, argv), false, &ros, &other);
  return other;
}

std::vector<std::string> RosArguments::extract(const std::vector<std::string> & arguments)
{
  std::vector<std::string> ros;
  std::vector<std::string> other;
  split(arguments, false, &ros, &other);
  return ros;
}

void RosArguments::validate(const std::vector<std::string> & ros_arguments)
{
  static const std::set<std::string> with_value = {
    "-p", "--param", "--params-file", "--log-level"};
  static const std::set<std::string> unsupported = {
    "-r", "--remap", "-e", "--enclave", "--log-config-file"};
  static const std::set<std::string> accepted_flags = {
    "--enable-rosout-logs", "--disable-rosout-logs", "--enable-stdout-logs",
    "--disable-stdout-logs", "--enable-external-lib-logs", "--disable-external-lib-logs"};
  std::vector<std::string> unknown;
  for (size_t i = 0; i < ros_arguments.size(); ++i) {
    const std::string & flag = ros_arguments[i];
    if (unsupported.count(flag)) {
      throw std::logic_error("ROS argument '" + flag + "' not supported by this stand-in");
    }
    if (with_value.count(flag)) {
      if (i + 1 >= ros_arguments.size()) {
        throw_invalid("Couldn't parse trailing " + flag + " flag. No argument provided.");
      }
      ++i;
      continue;
    }
    if (!accepted_flags.count(flag)) {
      unknown.push_back(flag);
    }
  }
  if (!unknown.empty()) {
    throw rclcpp::exceptions::UnknownROSArgsError(std::move(unknown));
  }
}

}  // namespace detail
}  // namespace rclcpp
