// A condition that can be triggered from any thread; whoever waits on it (an executor) is told
// through the on-trigger callback, and triggers that happen before a callback is set are counted.
#ifndef RCLCPP__GUARD_CONDITION_HPP_
#define RCLCPP__GUARD_CONDITION_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "rcl/guard_condition.h"
#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

namespace detail
{
class ExecutorNotifier;
}  // namespace detail

class GuardCondition
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(GuardCondition)

  explicit GuardCondition(
    rclcpp::Context::SharedPtr context = rclcpp::contexts::get_global_default_context(),
    rcl_guard_condition_options_t guard_condition_options =
    rcl_guard_condition_get_default_options());
  virtual ~GuardCondition() = default;
  GuardCondition(const GuardCondition &) = delete;
  GuardCondition & operator=(const GuardCondition &) = delete;

  rclcpp::Context::SharedPtr get_context() const;
  rcl_guard_condition_t & get_rcl_guard_condition();
  const rcl_guard_condition_t & get_rcl_guard_condition() const;
  void trigger();
  bool exchange_in_use_by_wait_set_state(bool in_use_state);
  void set_on_trigger_callback(std::function<void(size_t)> callback);

  /// Tells the wait set this condition is in (none: nullptr) of every trigger.
  void set_wait_set_notifier(std::shared_ptr<detail::ExecutorNotifier> notifier);
  /// True once per trigger, for the wait that reports it, as rmw's guard conditions do.
  bool take_wait_set_trigger();

private:
  rclcpp::Context::SharedPtr context_;
  std::mutex mutex_;
  std::function<void(size_t)> on_trigger_callback_;
  size_t unread_count_{0};
  std::shared_ptr<detail::ExecutorNotifier> wait_set_notifier_;
  bool triggered_since_wait_{false};
  rcl_guard_condition_t rcl_guard_condition_{};
  std::atomic<bool> in_use_by_wait_set_{false};
};

}  // namespace rclcpp

#endif  // RCLCPP__GUARD_CONDITION_HPP_
