// A set of subscriptions and guard conditions to wait on outside any executor. It stands for
// Humble's rclcpp::WaitSet (WaitSetTemplate<SequentialSynchronization, DynamicStorage>) with the
// parts that waiting on messages needs; timers, services, clients and waitables are left out.
#ifndef RCLCPP__WAIT_SET_HPP_
#define RCLCPP__WAIT_SET_HPP_

#include <chrono>
#include <memory>
#include <vector>

#include "rcl/wait.h"
#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/subscription_base.hpp"
#include "rclcpp/subscription_wait_set_mask.hpp"
#include "rclcpp/wait_result.hpp"
#include "rclcpp/wait_result_kind.hpp"

namespace rclcpp
{

namespace detail
{
class ExecutorNotifier;
}  // namespace detail

class WaitSet final
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(WaitSet)

  explicit WaitSet(
    const std::vector<std::shared_ptr<rclcpp::SubscriptionBase>> & subscriptions = {},
    const std::vector<std::shared_ptr<rclcpp::GuardCondition>> & guard_conditions = {});
  // Releases every entity still in the set, so each may join another wait set.
  ~WaitSet();
  WaitSet(const WaitSet &) = delete;
  WaitSet & operator=(const WaitSet &) = delete;

  const rcl_wait_set_t & get_rcl_wait_set() const;

  // Throws std::runtime_error("subscription already associated with a wait set") when the
  // subscription is in a wait set already (this one or another).
  void add_subscription(
    std::shared_ptr<rclcpp::SubscriptionBase> subscription,
    rclcpp::SubscriptionWaitSetMask mask = {});
  void remove_subscription(
    std::shared_ptr<rclcpp::SubscriptionBase> subscription,
    rclcpp::SubscriptionWaitSetMask mask = {});
  void add_guard_condition(std::shared_ptr<rclcpp::GuardCondition> guard_condition);
  void remove_guard_condition(std::shared_ptr<rclcpp::GuardCondition> guard_condition);
  void prune_deleted_entities();
  size_t size_of_subscriptions() const;
  size_t size_of_guard_conditions() const;

  // Blocks until a subscription holds a message or a guard condition was triggered since the
  // last wait (Ready; get_rcl_wait_set() then holds null for every entity that is not ready),
  // the time runs out (Timeout; a negative time never does) or the set is empty (Empty). A
  // shutdown of the context does not end the wait.
  template<class Rep = int64_t, class Period = std::milli>
  WaitResult<WaitSet> wait(
    std::chrono::duration<Rep, Period> time_to_wait = std::chrono::duration<Rep, Period>(-1))
  {
    switch (wait_for(std::chrono::duration_cast<std::chrono::nanoseconds>(time_to_wait))) {
      case WaitResultKind::Ready:
        return WaitResult<WaitSet>::from_ready_wait_result_kind(*this);
      case WaitResultKind::Timeout:
        return WaitResult<WaitSet>::from_timeout_wait_result_kind();
      default:
        return WaitResult<WaitSet>::from_empty_wait_result_kind();
    }
  }

private:
  WaitResultKind wait_for(std::chrono::nanoseconds time_to_wait);
  // True (and the rcl view filled in) if anything is ready now; consumes guard condition triggers.
  bool collect_ready(
    const std::vector<std::shared_ptr<rclcpp::SubscriptionBase>> & subscriptions,
    const std::vector<std::shared_ptr<rclcpp::GuardCondition>> & guard_conditions);
  void release_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> & subscription);
  void release_guard_condition(const std::shared_ptr<rclcpp::GuardCondition> & guard_condition);
  void refresh_rcl_view();

  std::shared_ptr<detail::ExecutorNotifier> notifier_;
  std::vector<std::weak_ptr<rclcpp::SubscriptionBase>> subscriptions_;
  std::vector<std::weak_ptr<rclcpp::GuardCondition>> guard_conditions_;
  std::vector<const rcl_subscription_t *> ready_subscriptions_;
  std::vector<const rcl_guard_condition_t *> ready_guard_conditions_;
  rcl_wait_set_t rcl_wait_set_{};
};

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_SET_HPP_
