#include "ros_arguments.hpp"

#include <algorithm>
#include <cctype>
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

// A "-r [node:]from:=to" rule. Only the node's own name and namespace can be remapped here.
struct RemapRule
{
  std::string node;
  std::string from;
  std::string to;
};

bool is_name_token(const std::string & text)
{
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) {
    return false;
  }
  for (const char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
      return false;
    }
  }
  return true;
}

bool is_absolute_namespace(const std::string & text)
{
  if (text.empty() || text[0] != '/') {
    return false;
  }
  if (text == "/") {
    return true;
  }
  size_t start = 1;
  while (start <= text.size()) {
    const size_t end = std::min(text.find('/', start), text.size());
    if (!is_name_token(text.substr(start, end - start))) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

RemapRule parse_remap(const std::string & rule)
{
  const size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    throw_invalid("Couldn't parse remap rule: '-r " + rule + "'.");
  }
  RemapRule parsed;
  parsed.from = rule.substr(0, separator);
  parsed.to = rule.substr(separator + 2);
  const size_t node_end = parsed.from.find(':');
  if (node_end != std::string::npos) {
    parsed.node = parsed.from.substr(0, node_end);
    parsed.from = parsed.from.substr(node_end + 1);
    if (!is_name_token(parsed.node)) {
      throw_invalid("Couldn't parse remap rule: '-r " + rule + "'.");
    }
  }
  if (parsed.from == "__name") {
    parsed.from = "__node";
  }
  if (parsed.from != "__node" && parsed.from != "__ns") {
    throw std::logic_error(
            "remapping '" + parsed.from + "' (-r " + rule + ") not supported by this stand-in: only "
            "__node and __ns");
  }
  const bool valid = parsed.from == "__node" ?
    is_name_token(parsed.to) : is_absolute_namespace(parsed.to);
  if (!valid) {
    throw_invalid("Couldn't parse remap rule: '-r " + rule + "'.");
  }
  return parsed;
}

bool is_remap_flag(const std::string & flag)
{
  return flag == "-r" || flag == "--remap";
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
  static const std::set<std::string> unsupported = {"-e", "--enclave", "--log-config-file"};
  static const std::set<std::string> accepted_flags = {
    "--enable-rosout-logs", "--disable-rosout-logs", "--enable-stdout-logs",
    "--disable-stdout-logs", "--enable-external-lib-logs", "--disable-external-lib-logs"};
  std::vector<std::string> unknown;
  for (size_t i = 0; i < ros_arguments.size(); ++i) {
    const std::string & flag = ros_arguments[i];
    if (unsupported.count(flag)) {
      throw std::logic_error("ROS argument '" + flag + "' not supported by this stand-in");
    }
    if (is_remap_flag(flag)) {
      if (i + 1 >= ros_arguments.size()) {
        throw_invalid("Couldn't parse trailing " + flag + " flag. No argument provided.");
      }
      parse_remap(ros_arguments[++i]);
      continue;
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

std::string RosArguments::node_remap(
  const std::vector<std::string> & ros_arguments, const std::string & what,
  const std::string & node_name)
{
  for (size_t i = 0; i + 1 < ros_arguments.size(); ++i) {
    if (!is_remap_flag(ros_arguments[i])) {
      continue;
    }
    const RemapRule rule = parse_remap(ros_arguments[++i]);
    if (rule.from == what && (rule.node.empty() || rule.node == node_name)) {
      return rule.to;
    }
  }
  return std::string();
}

}  // namespace detail
}  // namespace rclcpp
