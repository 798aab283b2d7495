// The node's parameter store with rclcpp's declaration, typing, range, read-only and
// on-set-callback rules, initialised from the resolved parameter overrides.
#ifndef RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_

#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"
#include "rclcpp/node_interfaces/node_logging_interface.hpp"
#include "rclcpp/node_interfaces/node_parameters_interface.hpp"
#include "rclcpp/node_interfaces/node_services_interface.hpp"
#include "rclcpp/node_interfaces/node_topics_interface.hpp"
#include "rclcpp/node_interfaces/parameter_info.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/publisher_options.hpp"
#include "rclcpp/qos.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeParameters : public NodeParametersInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeParameters)

  NodeParameters(
    const rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    const rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging,
    const rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr node_topics,
    const rclcpp::node_interfaces::NodeServicesInterface::SharedPtr node_services,
    const rclcpp::node_interfaces::NodeClockInterface::SharedPtr node_clock,
    const std::vector<Parameter> & parameter_overrides,
    bool start_parameter_services,
    bool start_parameter_event_publisher,
    const rclcpp::QoS & parameter_event_qos,
    const rclcpp::PublisherOptionsBase & parameter_event_publisher_options,
    bool allow_undeclared_parameters,
    bool automatically_declare_parameters_from_overrides,
    const std::vector<std::string> & node_arguments = {},
    bool use_global_arguments = true);
  virtual ~NodeParameters() = default;
  NodeParameters(const NodeParameters &) = delete;
  NodeParameters & operator=(const NodeParameters &) = delete;

  const rclcpp::ParameterValue & declare_parameter(
    const std::string & name, const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor{},
    bool ignore_override = false) override;
  const rclcpp::ParameterValue & declare_parameter(
    const std::string & name, rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false) override;
  void undeclare_parameter(const std::string & name) override;
  bool has_parameter(const std::string & name) const override;
  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
    const std::vector<rclcpp::Parameter> & parameters) override;
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
    const std::vector<rclcpp::Parameter> & parameters) override;
  std::vector<rclcpp::Parameter> get_parameters(
    const std::vector<std::string> & names) const override;
  rclcpp::Parameter get_parameter(const std::string & name) const override;
  bool get_parameter(const std::string & name, rclcpp::Parameter & parameter) const override;
  bool get_parameters_by_prefix(
    const std::string & prefix,
    std::map<std::string, rclcpp::Parameter> & parameters) const override;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
    const std::vector<std::string> & names) const override;
  std::vector<uint8_t> get_parameter_types(const std::vector<std::string> & names) const override;
  rcl_interfaces::msg::ListParametersResult list_parameters(
    const std::vector<std::string> & prefixes, uint64_t depth) const override;
  OnSetParametersCallbackHandle::SharedPtr add_on_set_parameters_callback(
    OnParametersSetCallbackType callback) override;
  void remove_on_set_parameters_callback(
    const OnSetParametersCallbackHandle * const handler) override;
  const std::map<std::string, rclcpp::ParameterValue> & get_parameter_overrides() const override;

  using CallbackListType = std::list<OnSetParametersCallbackHandle::WeakPtr>;

private:
  using ParameterInfoMap = std::map<std::string, ParameterInfo>;

  /// Throws ParameterModifiedInCallbackException when called from inside an on-set callback.
  class ModificationGuard
  {
  public:
    explicit ModificationGuard(bool & allowed);
    ~ModificationGuard();

  private:
    bool & allowed_;
  };

  const rclcpp::ParameterValue & declare_checked(
    const std::string & name, const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override);
  rcl_interfaces::msg::SetParametersResult declare_common(
    const std::string & name, const rclcpp::ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor, ParameterInfoMap & parameters_out,
    bool ignore_override, bool run_callbacks);
  rcl_interfaces::msg::SetParametersResult set_atomically_common(
    const std::vector<rclcpp::Parameter> & parameters, ParameterInfoMap & infos,
    bool run_callbacks);
  rcl_interfaces::msg::SetParametersResult check_parameters(
    const ParameterInfoMap & infos, const std::vector<rclcpp::Parameter> & parameters) const;
  rcl_interfaces::msg::SetParametersResult call_on_set_callbacks(
    const std::vector<rclcpp::Parameter> & parameters);

  mutable std::recursive_mutex mutex_;
  bool parameter_modification_enabled_{true};
  CallbackListType on_parameters_set_callback_container_;
  ParameterInfoMap parameters_;
  std::map<std::string, rclcpp::ParameterValue> parameter_overrides_;
  bool allow_undeclared_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_PARAMETERS_HPP_
