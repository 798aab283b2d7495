// A set of subscriptions, timers, services and clients whose callbacks an executor schedules
// together: a mutually exclusive group runs one callback at a time, a reentrant one runs any number.
#ifndef RCLCPP__CALLBACK_GROUP_HPP_
#define RCLCPP__CALLBACK_GROUP_HPP_

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

class SubscriptionBase;
class TimerBase;
class ServiceBase;
class ClientBase;
class Waitable;

namespace node_interfaces
{
class NodeServices;
class NodeTimers;
class NodeTopics;
class NodeWaitables;
}  // namespace node_interfaces

enum class CallbackGroupType
{
  MutuallyExclusive,
  Reentrant
};

class CallbackGroup
{
  friend class rclcpp::node_interfaces::NodeServices;
  friend class rclcpp::node_interfaces::NodeTimers;
  friend class rclcpp::node_interfaces::NodeTopics;
  friend class rclcpp::node_interfaces::NodeWaitables;

public:
  RCLCPP_SMART_PTR_DEFINITIONS(CallbackGroup)

  explicit CallbackGroup(
    CallbackGroupType group_type, bool automatically_add_to_executor_with_node = true);
  ~CallbackGroup();
  CallbackGroup(const CallbackGroup &) = delete;
  CallbackGroup & operator=(const CallbackGroup &) = delete;

  template<typename Function>
  std::shared_ptr<rclcpp::SubscriptionBase> find_subscription_ptrs_if(Function func) const
  {
    return find_ptrs_if_impl(func, subscription_ptrs_);
  }

  template<typename Function>
  std::shared_ptr<rclcpp::TimerBase> find_timer_ptrs_if(Function func) const
  {
    return find_ptrs_if_impl(func, timer_ptrs_);
  }

  template<typename Function>
  std::shared_ptr<rclcpp::ServiceBase> find_service_ptrs_if(Function func) const
  {
    return find_ptrs_if_impl(func, service_ptrs_);
  }

  template<typename Function>
  std::shared_ptr<rclcpp::ClientBase> find_client_ptrs_if(Function func) const
  {
    return find_ptrs_if_impl(func, client_ptrs_);
  }

  std::atomic_bool & can_be_taken_from();
  const CallbackGroupType & type() const;
  void collect_all_ptrs(
    std::function<void(const std::shared_ptr<rclcpp::SubscriptionBase> &)> sub_func,
    std::function<void(const std::shared_ptr<rclcpp::ServiceBase> &)> service_func,
    std::function<void(const std::shared_ptr<rclcpp::ClientBase> &)> client_func,
    std::function<void(const std::shared_ptr<rclcpp::TimerBase> &)> timer_func,
    std::function<void(const std::shared_ptr<rclcpp::Waitable> &)> waitable_func) const;
  std::atomic_bool & get_associated_with_executor_atomic();
  bool automatically_add_to_executor_with_node() const;
  rclcpp::GuardCondition::SharedPtr get_notify_guard_condition(
    const rclcpp::Context::SharedPtr context);
  void trigger_notify_guard_condition();
  size_t size() const;

protected:
  void add_publisher();
  void add_subscription(const std::shared_ptr<rclcpp::SubscriptionBase> subscription_ptr);
  void add_timer(const std::shared_ptr<rclcpp::TimerBase> timer_ptr);
  void add_service(const std::shared_ptr<rclcpp::ServiceBase> service_ptr);
  void add_client(const std::shared_ptr<rclcpp::ClientBase> client_ptr);
  void add_waitable(const std::shared_ptr<rclcpp::Waitable> waitable_ptr);
  bool remove_waitable(const std::shared_ptr<rclcpp::Waitable> waitable_ptr) noexcept;

private:
  template<typename Function, typename T>
  std::shared_ptr<T> find_ptrs_if_impl(
    Function func, const std::vector<std::weak_ptr<T>> & vect_ptrs) const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto & weak_ptr : vect_ptrs) {
      auto ref_ptr = weak_ptr.lock();
      if (ref_ptr && func(ref_ptr)) {
        return ref_ptr;
      }
    }
    return std::shared_ptr<T>();
  }

  CallbackGroupType type_;
  mutable std::mutex mutex_;
  std::atomic_bool associated_with_executor_;
  std::vector<std::weak_ptr<rclcpp::SubscriptionBase>> subscription_ptrs_;
  std::vector<std::weak_ptr<rclcpp::TimerBase>> timer_ptrs_;
  std::vector<std::weak_ptr<rclcpp::ServiceBase>> service_ptrs_;
  std::vector<std::weak_ptr<rclcpp::ClientBase>> client_ptrs_;
  std::vector<std::weak_ptr<rclcpp::Waitable>> waitable_ptrs_;
  std::atomic_bool can_be_taken_from_;
  const bool automatically_add_to_executor_with_node_;
  std::mutex notify_guard_condition_mutex_;
  rclcpp::GuardCondition::SharedPtr notify_guard_condition_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CALLBACK_GROUP_HPP_
