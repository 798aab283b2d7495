#include "rclcpp/callback_group.hpp"

#include <algorithm>
#include <memory>
#include <vector>

namespace rclcpp
{
namespace
{

template<typename T>
void prune(std::vector<std::weak_ptr<T>> & ptrs)
{
  ptrs.erase(
    std::remove_if(ptrs.begin(), ptrs.end(), [](const std::weak_ptr<T> & p) {return p.expired();}),
    ptrs.end());
}

template<typename T, typename Function>
void for_each_live(const std::vector<std::weak_ptr<T>> & ptrs, const Function & func)
{
  if (!func) {
    return;
  }
  for (const auto & weak : ptrs) {
    if (auto ptr = weak.lock()) {
      func(ptr);
    }
  }
}

}  // namespace

CallbackGroup::CallbackGroup(
  CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
: type_(group_type), associated_with_executor_(false), can_be_taken_from_(true),
  automatically_add_to_executor_with_node_(automatically_add_to_executor_with_node)
{}

CallbackGroup::~CallbackGroup()
{
  trigger_notify_guard_condition();
}

std::atomic_bool & CallbackGroup::can_be_taken_from()
{
  return can_be_taken_from_;
}

const CallbackGroupType & CallbackGroup::type() const
{
  return type_;
}

void CallbackGroup::collect_all_ptrs(
  std::function<void(const std::shared_ptr<rclcpp::SubscriptionBase> &)> sub_func,
  std::function<void(const std::shared_ptr<rclcpp::ServiceBase> &)> service_func,
  std::function<void(const std::shared_ptr<rclcpp::ClientBase> &)> client_func,
  std::function<void(const std::shared_ptr<rclcpp::TimerBase> &)> timer_func,
  std::function<void(const std::shared_ptr<rclcpp::Waitable> &)> waitable_func) const
{
  std::vector<std::weak_ptr<SubscriptionBase>> subscriptions;
  std::vector<std::weak_ptr<ServiceBase>> services;
  std::vector<std::weak_ptr<ClientBase>> clients;
  std::vector<std::weak_ptr<TimerBase>> timers;
  std::vector<std::weak_ptr<Waitable>> waitables;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions = subscription_ptrs_;
    services = service_ptrs_;
    clients = client_ptrs_;
    timers = timer_ptrs_;
    waitables = waitable_ptrs_;
  }
  // The functions run without the lock: they may create entities in this very group.
  for_each_live(subscriptions, sub_func);
  for_each_live(services, service_func);
  for_each_live(clients, client_func);
  for_each_live(timers, timer_func);
  for_each_live(waitables, waitable_func);
}

std::atomic_bool & CallbackGroup::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

bool CallbackGroup::automatically_add_to_executor_with_node() const
{
  return automatically_add_to_executor_with_node_;
}

rclcpp::GuardCondition::SharedPtr CallbackGroup::get_notify_guard_condition(
  const rclcpp::Context::SharedPtr context)
{
  std::lock_guard<std::mutex> lock(notify_guard_condition_mutex_);
  if (!notify_guard_condition_ || notify_guard_condition_->get_context() != context) {
    notify_guard_condition_ = std::make_shared<rclcpp::GuardCondition>(context);
  }
  return notify_guard_condition_;
}

void CallbackGroup::trigger_notify_guard_condition()
{
  rclcpp::GuardCondition::SharedPtr guard_condition;
  {
    std::lock_guard<std::mutex> lock(notify_guard_condition_mutex_);
    guard_condition = notify_guard_condition_;
  }
  if (guard_condition) {
    guard_condition->trigger();
  }
}

size_t CallbackGroup::size() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return subscription_ptrs_.size() + service_ptrs_.size() + client_ptrs_.size() +
         timer_ptrs_.size() + waitable_ptrs_.size();
}

void CallbackGroup::add_publisher()
{
}

void CallbackGroup::add_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> subscription_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(subscription_ptrs_);
    subscription_ptrs_.push_back(subscription_ptr);
  }
  trigger_notify_guard_condition();
}

void CallbackGroup::add_timer(const std::shared_ptr<rclcpp::TimerBase> timer_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(timer_ptrs_);
    timer_ptrs_.push_back(timer_ptr);
  }
  trigger_notify_guard_condition();
}

void CallbackGroup::add_service(const std::shared_ptr<rclcpp::ServiceBase> service_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(service_ptrs_);
    service_ptrs_.push_back(service_ptr);
  }
  trigger_notify_guard_condition();
}

void CallbackGroup::add_client(const std::shared_ptr<rclcpp::ClientBase> client_ptr)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    prune(client_ptrs_);
    client_ptrs_.push_back(client_ptr);
  }
  trigger_notify_guard_condition();
}

void CallbackGroup::add_waitable(const std::shared_ptr<rclcpp::Waitable> waitable_ptr)
{
  std::lock_guard<std::mutex> lock(mutex_);
  waitable_ptrs_.push_back(waitable_ptr);
}

bool CallbackGroup::remove_waitable(const std::shared_ptr<rclcpp::Waitable> waitable_ptr) noexcept
{
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = waitable_ptrs_.begin(); it != waitable_ptrs_.end(); ++it) {
    if (it->lock() == waitable_ptr) {
      waitable_ptrs_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace rclcpp
