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
  /// The replacement a "-r [node:]<what>:=<to>" rule of `ros_arguments` gives the node named
  /// `node_name` ("__node" or "__ns"), the first matching rule winning; empty when none does.
  static std::string node_remap(
    const std::vector<std::string> & ros_arguments, const std::string & what,
    const std::string & node_name);
};

}  // namespace detail
}  // namespace rclcpp

struct rcl_arguments_impl_s
{
  std::vector<std::string> ros_arguments;
};

#endif  // RCLCPP__ROS_ARGUMENTS_HPP_
