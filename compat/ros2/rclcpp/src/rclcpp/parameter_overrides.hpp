// Parameter overrides for one node, gathered from the ROS arguments (-p name:=value and
// --params-file in the ROS 2 YAML layout) and from NodeOptions::parameter_overrides.
#ifndef RCLCPP__PARAMETER_OVERRIDES_HPP_
#define RCLCPP__PARAMETER_OVERRIDES_HPP_

#include <map>
#include <string>
#include <vector>

#include "rclcpp/parameter.hpp"

namespace rclcpp
{
namespace detail
{

class ParameterOverrides
{
public:
  using Map = std::map<std::string, rclcpp::ParameterValue>;

  /// Later sources win: global ROS arguments, then the node's own, then explicit overrides.
  static Map resolve(
    const std::string & node_fully_qualified_name,
    const std::vector<std::string> & global_ros_arguments,
    const std::vector<std::string> & node_ros_arguments,
    const std::vector<rclcpp::Parameter> & parameter_overrides);

  /// Parses every params file and -p value of the arguments; throws on the first bad one.
  static void check(const std::vector<std::string> & ros_arguments);

  /// A -p or YAML value with YAML typing: quoted text stays a string.
  static rclcpp::ParameterValue parse_value(const std::string & yaml_text);

  /// True if a params-file node key ("/**", "/**/name", "/ns/name", ...) selects the node.
  static bool key_matches(const std::string & key, const std::string & node_fully_qualified_name);

private:
  static void apply_ros_arguments(
    const std::vector<std::string> & ros_arguments, const std::string & node_fqn, Map & out);
  static void apply_params_file(const std::string & path, const std::string & node_fqn, Map & out);
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_OVERRIDES_HPP_
