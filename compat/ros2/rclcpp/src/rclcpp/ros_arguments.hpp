// Splits a command line into its ROS-argument tokens (between --ros-args and --) and checks that
// every token is one this runtime understands.
#ifndef RCLCPP__ROS_ARGUMENTS_HPP_
#define RCLCPP__ROS_ARGUMENTS_HPP_

#include <string>
#include <vector>

namespace rclcpp
{
namespace detail
{

class RosArguments
{
public:
  /// The ROS-argument tokens of argv, flags and values, in order.
  static std::vector<std::string> extract(int argc, char const * const * argv);
  /// argv without --ros-args sections (argv[0] kept).
  static std::vector<std::string> remove(int argc, char const * const * argv);
  /// The ROS-argument tokens of a node's own argument list (which may omit --ros-args).
  static std::vector<std::string> extract(const std::vector<std::string> & arguments);
  /// Throws UnknownROSArgsError, RCLInvalidROSArgsError or std::logic_error for unsupported flags.
  static void validate(const std::vector<std::string> & ros_arguments);
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__ROS_ARGUMENTS_HPP_
