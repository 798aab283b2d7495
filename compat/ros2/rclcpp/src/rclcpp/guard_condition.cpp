#include "rclcpp/guard_condition.hpp"

#include <stdexcept>
#include <utility>

#include "executor_notifier.hpp"

namespace rclcpp
{

GuardCondition::GuardCondition(
  rclcpp::Context::SharedPtr context, rcl_guard_condition_options_t)
: context_(std::move(context))
{
  if (!context_) {
    throw std::invalid_argument("context argument unexpectedly nullptr");
  }
}

rclcpp::Context::SharedPtr GuardCondition::get_context() const
{
  return context_;
}

rcl_guard_condition_t & GuardCondition::get_rcl_guard_condition()
{
  return rcl_guard_condition_;
}

const rcl_guard_condition_t & GuardCondition::get_rcl_guard_condition() const
{
  return rcl_guard_condition_;
}

void GuardCondition::trigger()
{
  std::shared_ptr<detail::ExecutorNotifier> wait_set_notifier;
  {
    // The callback runs under the lock so that clearing it guarantees no call is still running.
    std::lock_guard<std::mutex> lock(mutex_);
    triggered_since_wait_ = true;
    wait_set_notifier = wait_set_notifier_;
    if (on_trigger_callback_) {
      on_trigger_callback_(1);
    } else {
      ++unread_count_;
    }
  }
  if (wait_set_notifier) {
    wait_set_notifier->notify();
  }
}

void GuardCondition::set_wait_set_notifier(std::shared_ptr<detail::ExecutorNotifier> notifier)
{
  std::lock_guard<std::mutex> lock(mutex_);
  wait_set_notifier_ = std::move(notifier);
}

bool GuardCondition::take_wait_set_trigger()
{
  std::lock_guard<std::mutex> lock(mutex_);
  const bool triggered = triggered_since_wait_;
  triggered_since_wait_ = false;
  return triggered;
}

bool GuardCondition::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

void GuardCondition::set_on_trigger_callback(std::function<void(size_t)> callback)
{
  std::lock_guard<std::mutex> lock(mutex_);
  on_trigger_callback_ = std::move(callback);
  if (on_trigger_callback_ && unread_count_ > 0) {
    on_trigger_callback_(unread_count_);
    unread_count_ = 0;
  }
}

}  // namespace rclcpp
