// A typed subscription: messages wait in the keep-last queue until an executor runs the callback
// for them (one message per execution), or until take() removes them.
#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <memory>
#include <string>
#include <typeindex>
#include <utility>

#include "rclcpp/any_subscription_callback.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/message_info.hpp"
#include "rclcpp/message_memory_strategy.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_options.hpp"
#include "rosidl_runtime_cpp/traits.hpp"

namespace rclcpp
{

template<
  typename MessageT,
  typename AllocatorT = std::allocator<void>,
  typename SubscribedT = MessageT,
  typename ROSMessageT = MessageT,
  typename MessageMemoryStrategyT =
  rclcpp::message_memory_strategy::MessageMemoryStrategy<ROSMessageT, AllocatorT>>
class Subscription : public SubscriptionBase
{
public:
  using MessageMemoryStrategyType = MessageMemoryStrategyT;
  using SubscribedType = SubscribedT;
  using ROSMessageType = ROSMessageT;
  using ConstMessageSharedPtr = std::shared_ptr<const ROSMessageType>;
  using MessageUniquePtr = std::unique_ptr<ROSMessageType>;

  RCLCPP_SMART_PTR_DEFINITIONS(Subscription)

  Subscription(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
    const rclcpp::QoS & qos, AnySubscriptionCallback<MessageT, AllocatorT> callback,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options,
    typename MessageMemoryStrategyT::SharedPtr message_memory_strategy =
    MessageMemoryStrategyT::create_default())
  : SubscriptionBase(
      node_base, topic_name, qos, std::type_index(typeid(ROSMessageType)),
      rosidl_generator_traits::name<ROSMessageType>()),
    any_callback_(std::move(callback)), options_(options),
    message_memory_strategy_(std::move(message_memory_strategy))
  {}

  bool take(ROSMessageType & message_out, rclcpp::MessageInfo & message_info_out)
  {
    std::shared_ptr<const void> message;
    if (!take_type_erased(message, message_info_out.get_rmw_message_info())) {
      return false;
    }
    message_out = *std::static_pointer_cast<const ROSMessageType>(message);
    return true;
  }

  bool execute_one() override
  {
    std::shared_ptr<const void> message;
    rclcpp::MessageInfo info;
    if (!take_type_erased(message, info.get_rmw_message_info())) {
      return false;
    }
    any_callback_.dispatch(std::static_pointer_cast<const ROSMessageType>(message), info);
    return true;
  }

private:
  AnySubscriptionCallback<MessageT, AllocatorT> any_callback_;
  const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> options_;
  typename MessageMemoryStrategyT::SharedPtr message_memory_strategy_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
