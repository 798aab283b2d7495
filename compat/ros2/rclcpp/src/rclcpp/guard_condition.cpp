#include "rclcpp/guard_condition.hpp"

#include <stdexcept>
#include <utility>

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

void GuardCondition::trigger()
{
  // The callback runs under the lock so that clearing it guarantees no call is still running.
  std::lock_guard<std::mutex> lock(mutex_);
  if (on_trigger_callback_) {
    on_trigger_callback_(1);
  } else {
    ++unread_count_;
  }
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
