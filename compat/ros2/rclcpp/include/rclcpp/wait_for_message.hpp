// Blocks until a subscription holds a message, the time-out passes or the context shuts down.
#ifndef RCLCPP__WAIT_FOR_MESSAGE_HPP_
#define RCLCPP__WAIT_FOR_MESSAGE_HPP_

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "rclcpp/guard_condition.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp
{

// As in Humble (rclcpp/wait_for_message.hpp) every call leaves an on-shutdown callback on the
// context, holding only a weak pointer to its guard condition: a caller that waits per message
// grows the context's callback list by one each time. A shutdown during the wait makes it return
// false even when a message is there.
template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, std::shared_ptr<rclcpp::Subscription<MsgT>> subscription,
  std::shared_ptr<rclcpp::Context> context,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  auto gc = std::make_shared<rclcpp::GuardCondition>(context);
  context->add_on_shutdown_callback(
    [weak_gc = std::weak_ptr<rclcpp::GuardCondition>{gc}]() {
      auto strong_gc = weak_gc.lock();
      if (strong_gc) {
        strong_gc->trigger();
      }
    });

  struct Signal
  {
    std::mutex mutex;
    std::condition_variable condition;
    bool message = false;
    bool shutdown = false;
  };
  auto signal = std::make_shared<Signal>();
  auto raise = [signal](bool Signal::* flag) {
      {
        std::lock_guard<std::mutex> lock(signal->mutex);
        (*signal).*flag = true;
      }
      signal->condition.notify_all();
    };
  gc->set_on_trigger_callback([raise](size_t) {raise(&Signal::shutdown);});
  subscription->set_on_new_message_callback([raise](size_t) {raise(&Signal::message);});
  bool ready = false;
  bool shutdown = false;
  {
    std::unique_lock<std::mutex> lock(signal->mutex);
    auto done = [&signal]() {return signal->message || signal->shutdown;};
    if (time_to_wait < std::chrono::duration<Rep, Period>::zero()) {
      signal->condition.wait(lock, done);
    } else {
      signal->condition.wait_for(lock, time_to_wait, done);
    }
    ready = signal->message;
    shutdown = signal->shutdown;
  }
  subscription->clear_on_new_message_callback();
  gc->set_on_trigger_callback(nullptr);
  if (!ready || shutdown) {
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
