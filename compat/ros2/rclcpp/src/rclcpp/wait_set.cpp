#include "rclcpp/wait_set.hpp"

#include <algorithm>
#include <stdexcept>

#include "executor_notifier.hpp"

namespace rclcpp
{
namespace
{

template<typename T>
typename std::vector<std::weak_ptr<T>>::iterator find_entity(
  std::vector<std::weak_ptr<T>> & entities, const std::shared_ptr<T> & entity)
{
  return std::find_if(
    entities.begin(), entities.end(),
    [&entity](const std::weak_ptr<T> & weak) {return weak.lock() == entity;});
}

// Shared ownership for the length of a wait; an entity deleted meanwhile stays null.
template<typename T>
std::vector<std::shared_ptr<T>> acquire(const std::vector<std::weak_ptr<T>> & entities)
{
  std::vector<std::shared_ptr<T>> owned;
  owned.reserve(entities.size());
  for (const auto & weak : entities) {
    owned.push_back(weak.lock());
  }
  return owned;
}

}  // namespace

WaitSet::WaitSet(
  const std::vector<std::shared_ptr<rclcpp::SubscriptionBase>> & subscriptions,
  const std::vector<std::shared_ptr<rclcpp::GuardCondition>> & guard_conditions)
: notifier_(std::make_shared<detail::ExecutorNotifier>())
{
  for (const auto & subscription : subscriptions) {
    add_subscription(subscription);
  }
  for (const auto & guard_condition : guard_conditions) {
    add_guard_condition(guard_condition);
  }
}

WaitSet::~WaitSet()
{
  for (const auto & subscription : acquire(subscriptions_)) {
    if (subscription) {
      release_subscription(subscription);
    }
  }
  for (const auto & guard_condition : acquire(guard_conditions_)) {
    if (guard_condition) {
      release_guard_condition(guard_condition);
    }
  }
}

const rcl_wait_set_t & WaitSet::get_rcl_wait_set() const
{
  return rcl_wait_set_;
}

void WaitSet::add_subscription(
  std::shared_ptr<rclcpp::SubscriptionBase> subscription, rclcpp::SubscriptionWaitSetMask mask)
{
  if (nullptr == subscription) {
    throw std::invalid_argument("subscription is nullptr");
  }
  if (!mask.include_subscription) {
    return;
  }
  if (subscription->exchange_in_use_by_wait_set_state(subscription.get(), true)) {
    throw std::runtime_error("subscription already associated with a wait set");
  }
  subscriptions_.push_back(subscription);
  subscription->set_wait_set_notifier(notifier_);
  refresh_rcl_view();
}

void WaitSet::remove_subscription(
  std::shared_ptr<rclcpp::SubscriptionBase> subscription, rclcpp::SubscriptionWaitSetMask mask)
{
  if (nullptr == subscription) {
    throw std::invalid_argument("subscription is nullptr");
  }
  if (!mask.include_subscription) {
    return;
  }
  // Humble clears the flag before it looks the subscription up, even when that then fails.
  subscription->exchange_in_use_by_wait_set_state(subscription.get(), false);
  auto it = find_entity(subscriptions_, subscription);
  if (it == subscriptions_.end()) {
    throw std::runtime_error("subscription not in wait set");
  }
  subscription->set_wait_set_notifier(nullptr);
  subscriptions_.erase(it);
  refresh_rcl_view();
}

void WaitSet::add_guard_condition(std::shared_ptr<rclcpp::GuardCondition> guard_condition)
{
  if (nullptr == guard_condition) {
    throw std::invalid_argument("guard_condition is nullptr");
  }
  if (guard_condition->exchange_in_use_by_wait_set_state(true)) {
    throw std::runtime_error("guard condition already in use by another wait set");
  }
  guard_conditions_.push_back(guard_condition);
  guard_condition->set_wait_set_notifier(notifier_);
  refresh_rcl_view();
}

void WaitSet::remove_guard_condition(std::shared_ptr<rclcpp::GuardCondition> guard_condition)
{
  if (nullptr == guard_condition) {
    throw std::invalid_argument("guard_condition is nullptr");
  }
  guard_condition->exchange_in_use_by_wait_set_state(false);
  auto it = find_entity(guard_conditions_, guard_condition);
  if (it == guard_conditions_.end()) {
    throw std::runtime_error("guard condition not in wait set");
  }
  guard_condition->set_wait_set_notifier(nullptr);
  guard_conditions_.erase(it);
  refresh_rcl_view();
}

void WaitSet::prune_deleted_entities()
{
  auto expired = [](const auto & weak) {return weak.expired();};
  subscriptions_.erase(
    std::remove_if(subscriptions_.begin(), subscriptions_.end(), expired), subscriptions_.end());
  guard_conditions_.erase(
    std::remove_if(guard_conditions_.begin(), guard_conditions_.end(), expired),
    guard_conditions_.end());
  refresh_rcl_view();
}

size_t WaitSet::size_of_subscriptions() const
{
  return subscriptions_.size();
}

size_t WaitSet::size_of_guard_conditions() const
{
  return guard_conditions_.size();
}

WaitResultKind WaitSet::wait_for(std::chrono::nanoseconds time_to_wait)
{
  if (subscriptions_.empty() && guard_conditions_.empty()) {
    return WaitResultKind::Empty;
  }
  const auto subscriptions = acquire(subscriptions_);
  const auto guard_conditions = acquire(guard_conditions_);
  const auto start = std::chrono::steady_clock::now();
  const auto longest = std::chrono::steady_clock::time_point::max() - start;
  const bool forever = time_to_wait < std::chrono::nanoseconds::zero() || time_to_wait >= longest;
  const auto deadline = forever ? std::chrono::steady_clock::time_point::max() :
    start + time_to_wait;
  while (true) {
    // A message or trigger after this generation was read wakes the wait below.
    const uint64_t seen = notifier_->generation();
    if (collect_ready(subscriptions, guard_conditions)) {
      return WaitResultKind::Ready;
    }
    if (forever) {
      notifier_->wait(seen);
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return WaitResultKind::Timeout;
    } else {
      notifier_->wait_until(seen, deadline);
    }
  }
}

bool WaitSet::collect_ready(
  const std::vector<std::shared_ptr<rclcpp::SubscriptionBase>> & subscriptions,
  const std::vector<std::shared_ptr<rclcpp::GuardCondition>> & guard_conditions)
{
  bool any = false;
  for (size_t i = 0; i < subscriptions.size(); ++i) {
    const bool ready = subscriptions[i] && subscriptions[i]->is_ready_to_execute();
    ready_subscriptions_[i] = ready ? subscriptions[i]->get_subscription_handle().get() : nullptr;
    any = any || ready;
  }
  for (size_t i = 0; i < guard_conditions.size(); ++i) {
    const bool ready = guard_conditions[i] && guard_conditions[i]->take_wait_set_trigger();
    ready_guard_conditions_[i] = ready ? &guard_conditions[i]->get_rcl_guard_condition() : nullptr;
    any = any || ready;
  }
  return any;
}

void WaitSet::release_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> & subscription)
{
  subscription->set_wait_set_notifier(nullptr);
  subscription->exchange_in_use_by_wait_set_state(subscription.get(), false);
}

void WaitSet::release_guard_condition(
  const std::shared_ptr<rclcpp::GuardCondition> & guard_condition)
{
  guard_condition->set_wait_set_notifier(nullptr);
  guard_condition->exchange_in_use_by_wait_set_state(false);
}

void WaitSet::refresh_rcl_view()
{
  ready_subscriptions_.assign(subscriptions_.size(), nullptr);
  ready_guard_conditions_.assign(guard_conditions_.size(), nullptr);
  rcl_wait_set_.subscriptions = ready_subscriptions_.data();
  rcl_wait_set_.size_of_subscriptions = ready_subscriptions_.size();
  rcl_wait_set_.guard_conditions = ready_guard_conditions_.data();
  rcl_wait_set_.size_of_guard_conditions = ready_guard_conditions_.size();
}

}  // namespace rclcpp
