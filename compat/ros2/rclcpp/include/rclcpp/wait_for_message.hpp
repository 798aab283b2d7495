// Blocks until a subscription holds a message, the time-out passes or the context shuts down.
#ifndef RCLCPP__WAIT_FOR_MESSAGE_HPP_
#define RCLCPP__WAIT_FOR_MESSAGE_HPP_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "rclcpp/node.hpp"

namespace rclcpp
{

template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, std::shared_ptr<rclcpp::Subscription<MsgT>> subscription,
  std::shared_ptr<rclcpp::Context> context,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  struct Signal
  {
    std::mutex mutex;
    std::condition_variable condition;
    bool raised = false;
  };
  auto signal = std::make_shared<Signal>();
  auto raise = [signal]() {
      {
        std::lock_guard<std::mutex> lock(signal->mutex);
        signal->raised = true;
      }
      signal->condition.notify_all();
    };
  auto shutdown_handle = context->add_on_shutdown_callback(raise);
  subscription->set_on_new_message_callback([raise](size_t) {raise();});
  {
    std::unique_lock<std::mutex> lock(signal->mutex);
    auto done = [&signal, &context]() {return signal->raised || !context->is_valid();};
    if (time_to_wait < std::chrono::duration<Rep, Period>::zero()) {
      signal->condition.wait(lock, done);
    } else {
      signal->condition.wait_for(lock, time_to_wait, done);
    }
  }
  subscription->clear_on_new_message_callback();
  context->remove_on_shutdown_callback(shutdown_handle);
  if (!context->is_valid()) {
    return false;
  }
  rclcpp::MessageInfo info;
  return subscription->take(out, info);
}

template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, rclcpp::Node::SharedPtr node, const std::string & topic,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  // A group no executor takes keeps the message for this wait even while the node is spun.
  rclcpp::SubscriptionOptions options;
  options.callback_group = node->create_callback_group(
    rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto subscription = node->create_subscription<MsgT>(
    topic, 1, [](const std::shared_ptr<const MsgT>) {}, options);
  return wait_for_message<MsgT, Rep, Period>(
    out, subscription, node->get_node_options().context(), time_to_wait);
}

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_FOR_MESSAGE_HPP_
