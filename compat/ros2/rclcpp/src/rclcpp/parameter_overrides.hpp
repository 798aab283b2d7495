// Parameter overrides for one node, gathered from the ROS arguments (-p name:=value and
// --params-file in the ROS 2 YAML layout) and from NodeOptions::parameter_overrides.
#ifndef RCLCPP__PARAMETER_OVERRIDES_HPP_
#define RCLCPP__PARAMETER_OVERRIDES_HPP_

#include <map>
#include <string>
#include <utility>
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
  // Overrides the way rcl holds them: one map per node key, keys in the order they first appear.
  // A later source that sets a parameter under a key already held replaces the value in place,
  // so a key's position, not the argument order, decides which key wins for a node both match.
  using KeyedMaps = std::vector<std::pair<std::string, Map>>;

  static KeyedMaps collect(const std::vector<std::string> & ros_arguments);
  static void collect_params_file(const std::string & path, KeyedMaps & out);
  static void set(
    KeyedMaps & maps, const std::string & key, const std::string & name,
    const rclcpp::ParameterValue & value);
  static void apply(const KeyedMaps & maps, const std::string & node_fqn, Map & out);
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_OVERRIDES_HPP_
