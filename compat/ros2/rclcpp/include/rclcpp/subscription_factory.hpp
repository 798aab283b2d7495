// Creates a typed subscription for the type-independent NodeTopicsInterface.
#ifndef RCLCPP__SUBSCRIPTION_FACTORY_HPP_
#define RCLCPP__SUBSCRIPTION_FACTORY_HPP_

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "rclcpp/any_subscription_callback.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_options.hpp"

namespace rclcpp
{

namespace node_interfaces
{
class NodeBaseInterface;
}  // namespace node_interfaces

struct SubscriptionFactory
{
  using SubscriptionFactoryFunction = std::function<
    rclcpp::SubscriptionBase::SharedPtr(
      rclcpp::node_interfaces::NodeBaseInterface * node_base,
      const std::string & topic_name, const rclcpp::QoS & qos)>;

  const SubscriptionFactoryFunction create_typed_subscription;
};

template<
  typename MessageT, typename CallbackT, typename AllocatorT, typename SubscriptionT,
  typename MessageMemoryStrategyT = typename SubscriptionT::MessageMemoryStrategyType>
SubscriptionFactory create_subscription_factory(
  CallbackT && callback, const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options,
  typename MessageMemoryStrategyT::SharedPtr msg_mem_strat)
{
  AnySubscriptionCallback<MessageT, AllocatorT> any_subscription_callback;
  any_subscription_callback.set(std::forward<CallbackT>(callback));
  SubscriptionFactory factory {
    [options, msg_mem_strat, any_subscription_callback](
      rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
      const rclcpp::QoS & qos) -> rclcpp::SubscriptionBase::SharedPtr
    {
      auto subscription = std::make_shared<SubscriptionT>(
        node_base, topic_name, qos, any_subscription_callback, options, msg_mem_strat);
      return subscription;
    }
  };
  return factory;
}

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_FACTORY_HPP_
