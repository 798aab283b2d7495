#include "rclcpp/subscription_base.hpp"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "executor_notifier.hpp"
#include "graph.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/publisher_base.hpp"

namespace rclcpp
{
namespace
{

size_t queue_limit(const rclcpp::QoS & qos)
{
  if (qos.history() == rclcpp::HistoryPolicy::KeepAll) {
    return static_cast<size_t>(-1);
  }
  return qos.depth() == 0 ? 1 : qos.depth();
}

}  // namespace

SubscriptionBase::SubscriptionBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic_name,
  const rclcpp::QoS & qos, const std::type_index & message_type,
  const std::string & message_type_name)
: topic_name_(node_base->resolve_topic_or_service_name(topic_name, false)),
  node_fqn_(node_base->get_fully_qualified_name()), qos_(qos), message_type_(message_type),
  message_type_name_(message_type_name),
  subscription_handle_(std::make_shared<rcl_subscription_t>())
{}

SubscriptionBase::~SubscriptionBase()
{
  detail::Graph::instance().notify_change();
}

const char * SubscriptionBase::get_topic_name() const
{
  return topic_name_.c_str();
}

rclcpp::QoS SubscriptionBase::get_actual_qos() const
{
  return qos_;
}

size_t SubscriptionBase::get_publisher_count() const
{
  return detail::Graph::instance().matching_publishers(*this).size();
}

bool SubscriptionBase::is_serialized() const
{
  return false;
}

std::shared_ptr<rcl_subscription_t> SubscriptionBase::get_subscription_handle()
{
  return subscription_handle_;
}

std::shared_ptr<const rcl_subscription_t> SubscriptionBase::get_subscription_handle() const
{
  return subscription_handle_;
}

bool SubscriptionBase::exchange_in_use_by_wait_set_state(
  void * pointer_to_subscription_part, bool in_use_state)
{
  if (nullptr == pointer_to_subscription_part) {
    throw std::invalid_argument("pointer_to_subscription_part is unexpectedly nullptr");
  }
  if (this != pointer_to_subscription_part) {
    throw std::runtime_error("given pointer_to_subscription_part does not match any part");
  }
  return in_use_by_wait_set_.exchange(in_use_state);
}

void SubscriptionBase::set_wait_set_notifier(std::shared_ptr<detail::ExecutorNotifier> notifier)
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  wait_set_notifier_ = std::move(notifier);
}

void SubscriptionBase::set_on_new_message_callback(std::function<void(size_t)> callback)
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  on_new_message_callback_ = std::move(callback);
  if (on_new_message_callback_ && !queue_.empty()) {
    on_new_message_callback_(queue_.size());
  }
}

void SubscriptionBase::clear_on_new_message_callback()
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  on_new_message_callback_ = nullptr;
}

void SubscriptionBase::register_in_graph()
{
  detail::Graph::instance().add_subscription(shared_from_this());
}

const std::type_index & SubscriptionBase::get_message_type() const
{
  return message_type_;
}

const std::string & SubscriptionBase::get_message_type_name() const
{
  return message_type_name_;
}

const char * SubscriptionBase::get_node_fully_qualified_name() const
{
  return node_fqn_.c_str();
}

void SubscriptionBase::deliver(std::shared_ptr<const void> message, const rmw_message_info_t & info)
{
  std::shared_ptr<detail::ExecutorNotifier> wait_set_notifier;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    rmw_message_info_t received = info;
    received.received_timestamp = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
    received.reception_sequence_number = ++reception_sequence_number_;
    queue_.emplace_back(std::move(message), received);
    while (queue_.size() > queue_limit(qos_)) {
      queue_.pop_front();
    }
    if (on_new_message_callback_) {
      on_new_message_callback_(1);
    }
    wait_set_notifier = wait_set_notifier_;
  }
  if (wait_set_notifier) {
    wait_set_notifier->notify();
  }
  notify_callback_group();
}

bool SubscriptionBase::is_ready_to_execute()
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  return !queue_.empty();
}

bool SubscriptionBase::take_type_erased(
  std::shared_ptr<const void> & message, rmw_message_info_t & info)
{
  std::lock_guard<std::mutex> lock(queue_mutex_);
  if (queue_.empty()) {
    return false;
  }
  message = std::move(queue_.front().first);
  info = queue_.front().second;
  queue_.pop_front();
  return true;
}

}  // namespace rclcpp
