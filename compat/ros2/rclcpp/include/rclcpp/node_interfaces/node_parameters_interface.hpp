// Declaring, reading, setting and describing a node's parameters.
#ifndef RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp
{
namespace node_interfaces
{

struct OnSetParametersCallbackHandle
{
  RCLCPP_SMART_PTR_DEFINITIONS(OnSetParametersCallbackHandle)

  using OnParametersSetCallbackType =
    std::function<
    rcl_interfaces::msg::SetParametersResult(const std::vector<rclcpp::Parameter> &)>;

  OnParametersSetCallbackType callback;
};

class NodeParametersInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeParametersInterface)

  virtual ~NodeParametersInterface() = default;

  virtual const rclcpp::ParameterValue & declare_parameter(
    const std::string & name, const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false) = 0;
  virtual const rclcpp::ParameterValue & declare_parameter(
    const std::string & name, rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false) = 0;
  virtual void undeclare_parameter(const std::string & name) = 0;
  virtual bool has_parameter(const std::string & name) const = 0;
  virtual std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
    const std::vector<rclcpp::Parameter> & parameters) = 0;
  virtual rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
    const std::vector<rclcpp::Parameter> & parameters) = 0;
  virtual std::vector<rclcpp::Parameter> get_parameters(
    const std::vector<std::string> & names) const = 0;
  virtual rclcpp::Parameter get_parameter(const std::string & name) const = 0;
  virtual bool get_parameter(const std::string & name, rclcpp::Parameter & parameter) const = 0;
  virtual bool get_parameters_by_prefix(
    const std::string & prefix, std::map<std::string, rclcpp::Parameter> & parameters) const = 0;
  virtual std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
    const std::vector<std::string> & names) const = 0;
  virtual std::vector<uint8_t> get_parameter_types(
    const std::vector<std::string> & names) const = 0;
  virtual rcl_interfaces::msg::ListParametersResult list_parameters(
    const std::vector<std::string> & prefixes, uint64_t depth) const = 0;

  using OnParametersSetCallbackType = OnSetParametersCallbackHandle::OnParametersSetCallbackType;

  virtual OnSetParametersCallbackHandle::SharedPtr add_on_set_parameters_callback(
    OnParametersSetCallbackType callback) = 0;
  virtual void remove_on_set_parameters_callback(
    const OnSetParametersCallbackHandle * const handler) = 0;
  virtual const std::map<std::string, rclcpp::ParameterValue> & get_parameter_overrides() const = 0;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_INTERFACE_HPP_
