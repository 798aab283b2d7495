// Blocks until a subscription holds a message, the time-out passes or the context shuts down.
#ifndef RCLCPP__WAIT_FOR_MESSAGE_HPP_
#define RCLCPP__WAIT_FOR_MESSAGE_HPP_

#include <chrono>
#include <memory>
#include <string>

#include "rclcpp/guard_condition.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/wait_set.hpp"
#include "rcpputils/scope_exit.hpp"

namespace rclcpp
{

// As in Humble (rclcpp/wait_for_message.hpp) every call leaves an on-shutdown callback on the
// context, holding only a weak pointer to its guard condition: a caller that waits per message
// grows the context's callback list by one each time. The subscription joins a WaitSet of its own
// for the wait, so it must not be in another wait set then; an executor that spins it still races
// for its messages. A shutdown during the wait makes it return false even when a message is there.
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

  rclcpp::WaitSet wait_set;
  wait_set.add_subscription(subscription);
  RCPPUTILS_SCOPE_EXIT(wait_set.remove_subscription(subscription); );
  wait_set.add_guard_condition(gc);
  auto ret = wait_set.wait(time_to_wait);
  if (ret.kind() != rclcpp::WaitResultKind::Ready) {
    return false;
  }

  if (wait_set.get_rcl_wait_set().guard_conditions[0]) {
    return false;
  }

  rclcpp::MessageInfo info;
  if (!subscription->take(out, info)) {
    return false;
  }

  return true;
}

template<class MsgT, class Rep = int64_t, class Period = std::milli>
bool wait_for_message(
  MsgT & out, rclcpp::Node::SharedPtr node, const std::string & topic,
  std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
{
  // Humble subscribes in the node's default group: an executor spinning the node races this wait
  // for the message.
  auto subscription = node->create_subscription<MsgT>(
    topic, 1, [](const std::shared_ptr<const MsgT>) {});
  return wait_for_message<MsgT, Rep, Period>(
    out, subscription, node->get_node_options().context(), time_to_wait);
}

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_FOR_MESSAGE_HPP_
