// The type-independent part of a subscription: its place in the graph, its QoS and the keep-last
// queue that publishers fill and the executor (or take()) drains.
#ifndef RCLCPP__SUBSCRIPTION_BASE_HPP_
#define RCLCPP__SUBSCRIPTION_BASE_HPP_

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <utility>

#include "rcl/subscription.h"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/message_info.hpp"
#include "rclcpp/qos.hpp"
#include "rmw/types.h"

namespace rclcpp
{

namespace node_interfaces
{
class NodeBaseInterface;
}  // namespace node_interfaces

namespace detail
{
class ExecutorNotifier;
}  // namespace detail

class SubscriptionBase
  : public std::enable_shared_from_this<SubscriptionBase>, public detail::ExecutableEntity
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(SubscriptionBase)

  SubscriptionBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
    const rclcpp::QoS & qos, const std::type_index & message_type,
    const std::string & message_type_name);
  virtual ~SubscriptionBase();
  SubscriptionBase(const SubscriptionBase &) = delete;
  SubscriptionBase & operator=(const SubscriptionBase &) = delete;

  const char * get_topic_name() const;
  rclcpp::QoS get_actual_qos() const;
  size_t get_publisher_count() const;
  bool is_serialized() const;
  std::shared_ptr<rcl_subscription_t> get_subscription_handle();
  std::shared_ptr<const rcl_subscription_t> get_subscription_handle() const;
  // Throws std::runtime_error unless the pointer is this subscription (it has no other parts).
  bool exchange_in_use_by_wait_set_state(void * pointer_to_subscription_part, bool in_use_state);

  void set_on_new_message_callback(std::function<void(size_t)> callback);
  void clear_on_new_message_callback();

  /// Tells the wait set this subscription is in (none: nullptr) of every message queued.
  void set_wait_set_notifier(std::shared_ptr<detail::ExecutorNotifier> notifier);

  /// Enters the subscription into the graph; transient-local history is queued right away.
  void register_in_graph();

  const std::type_index & get_message_type() const;
  const std::string & get_message_type_name() const;
  const char * get_node_fully_qualified_name() const;

  /// Called by publishers: queues one message, dropping the oldest beyond the keep-last depth.
  void deliver(std::shared_ptr<const void> message, const rmw_message_info_t & info);

  bool is_ready_to_execute() override;

protected:
  bool take_type_erased(std::shared_ptr<const void> & message, rmw_message_info_t & info);

private:
  std::string topic_name_;
  std::string node_fqn_;
  rclcpp::QoS qos_;
  std::type_index message_type_;
  std::string message_type_name_;
  std::mutex queue_mutex_;
  std::deque<std::pair<std::shared_ptr<const void>, rmw_message_info_t>> queue_;
  std::function<void(size_t)> on_new_message_callback_;
  std::shared_ptr<detail::ExecutorNotifier> wait_set_notifier_;
  std::shared_ptr<rcl_subscription_t> subscription_handle_;
  uint64_t reception_sequence_number_{0};
  std::atomic<bool> in_use_by_wait_set_{false};
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_BASE_HPP_
