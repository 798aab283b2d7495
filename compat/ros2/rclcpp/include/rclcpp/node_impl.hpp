// Template members of rclcpp::Node.
#ifndef RCLCPP__NODE_IMPL_HPP_
#define RCLCPP__NODE_IMPL_HPP_

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/create_client.hpp"
#include "rclcpp/create_publisher.hpp"
#include "rclcpp/create_service.hpp"
#include "rclcpp/create_subscription.hpp"
#include "rclcpp/create_timer.hpp"
#include "rclcpp/exceptions.hpp"

#ifndef RCLCPP__NODE_HPP_
#include "rclcpp/node.hpp"
#endif

namespace rclcpp
{

template<typename MessageT, typename AllocatorT, typename PublisherT>
std::shared_ptr<PublisherT> Node::create_publisher(
  const std::string & topic_name, const rclcpp::QoS & qos,
  const PublisherOptionsWithAllocator<AllocatorT> & options)
{
  return rclcpp::create_publisher<MessageT, AllocatorT, PublisherT>(
    *this, topic_name, qos, options);
}

template<
  typename MessageT, typename CallbackT, typename AllocatorT, typename SubscriptionT,
  typename MessageMemoryStrategyT>
std::shared_ptr<SubscriptionT> Node::create_subscription(
  const std::string & topic_name, const rclcpp::QoS & qos, CallbackT && callback,
  const SubscriptionOptionsWithAllocator<AllocatorT> & options,
  typename MessageMemoryStrategyT::SharedPtr msg_mem_strat)
{
  return rclcpp::create_subscription<
    MessageT, CallbackT, AllocatorT, SubscriptionT, MessageMemoryStrategyT>(
    *this, topic_name, qos, std::forward<CallbackT>(callback), options, msg_mem_strat);
}

template<typename DurationRepT, typename DurationT, typename CallbackT>
typename rclcpp::WallTimer<CallbackT>::SharedPtr Node::create_wall_timer(
  std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback,
  rclcpp::CallbackGroup::SharedPtr group)
{
  return rclcpp::create_wall_timer(
    period, std::move(callback), group, node_base_.get(), node_timers_.get());
}

template<typename ServiceT>
typename Client<ServiceT>::SharedPtr Node::create_client(
  const std::string & service_name, const rmw_qos_profile_t & qos_profile,
  rclcpp::CallbackGroup::SharedPtr group)
{
  return rclcpp::create_client<ServiceT>(
    node_base_, node_graph_, node_services_, service_name, qos_profile, group);
}

template<typename ServiceT, typename CallbackT>
typename rclcpp::Service<ServiceT>::SharedPtr Node::create_service(
  const std::string & service_name, CallbackT && callback, const rmw_qos_profile_t & qos_profile,
  rclcpp::CallbackGroup::SharedPtr group)
{
  return rclcpp::create_service<ServiceT, CallbackT>(
    node_base_, node_services_, service_name, std::forward<CallbackT>(callback), qos_profile,
    group);
}

template<typename ParameterT>
auto Node::declare_parameter(
  const std::string & name, const ParameterT & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  try {
    return this->declare_parameter(
      name, rclcpp::ParameterValue(default_value), parameter_descriptor, ignore_override
    ).template get<ParameterT>();
  } catch (const ParameterTypeException & ex) {
    throw exceptions::InvalidParameterTypeException(name, ex.what());
  }
}

template<typename ParameterT>
auto Node::declare_parameter(
  const std::string & name, const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor,
  bool ignore_override)
{
  rclcpp::ParameterValue value{ParameterT{}};
  try {
    return this->declare_parameter(
      name, value.get_type(), parameter_descriptor, ignore_override
    ).template get<ParameterT>();
  } catch (const ParameterTypeException &) {
    throw exceptions::UninitializedStaticallyTypedParameterException(name);
  }
}

template<typename ParameterT>
std::vector<ParameterT> Node::declare_parameters(
  const std::string & namespace_, const std::map<std::string, ParameterT> & parameters,
  bool ignore_overrides)
{
  std::vector<ParameterT> result;
  const std::string prefix = namespace_.empty() ? "" : namespace_ + ".";
  for (const auto & element : parameters) {
    result.push_back(
      static_cast<ParameterT>(
        this->declare_parameter(
          prefix + element.first, element.second, rcl_interfaces::msg::ParameterDescriptor(),
          ignore_overrides)));
  }
  return result;
}

template<typename ParameterT>
std::vector<ParameterT> Node::declare_parameters(
  const std::string & namespace_,
  const std::map<
    std::string, std::pair<ParameterT, rcl_interfaces::msg::ParameterDescriptor>
  > & parameters,
  bool ignore_overrides)
{
  std::vector<ParameterT> result;
  const std::string prefix = namespace_.empty() ? "" : namespace_ + ".";
  for (const auto & element : parameters) {
    result.push_back(
      static_cast<ParameterT>(
        this->declare_parameter(
          prefix + element.first, element.second.first, element.second.second,
          ignore_overrides)));
  }
  return result;
}

template<typename ParameterT>
bool Node::get_parameter(const std::string & name, ParameterT & parameter) const
{
  rclcpp::Parameter parameter_variant;
  const bool result = get_parameter(name, parameter_variant);
  if (result) {
    parameter = static_cast<ParameterT>(parameter_variant.get_value<ParameterT>());
  }
  return result;
}

template<typename ParameterT>
bool Node::get_parameter_or(
  const std::string & name, ParameterT & parameter, const ParameterT & alternative_value) const
{
  const bool got_parameter = get_parameter(name, parameter);
  if (!got_parameter) {
    parameter = alternative_value;
  }
  return got_parameter;
}

template<typename ParameterT>
ParameterT Node::get_parameter_or(
  const std::string & name, const ParameterT & alternative_value) const
{
  ParameterT parameter;
  get_parameter_or(name, parameter, alternative_value);
  return parameter;
}

template<typename ParameterT>
bool Node::get_parameters(
  const std::string & prefix, std::map<std::string, ParameterT> & values) const
{
  std::map<std::string, rclcpp::Parameter> params;
  const bool result = node_parameters_->get_parameters_by_prefix(prefix, params);
  if (result) {
    for (const auto & param : params) {
      values[param.first] = static_cast<ParameterT>(param.second.get_value<ParameterT>());
    }
  }
  return result;
}

}  // namespace rclcpp

#endif  // RCLCPP__NODE_IMPL_HPP_
