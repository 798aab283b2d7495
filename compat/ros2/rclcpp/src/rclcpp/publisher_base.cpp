#include "rclcpp/publisher_base.hpp"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graph.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp
{
namespace
{

const char kImplementationIdentifier[] = "rmw_in_process";

rmw_gid_t next_gid()
{
  static std::atomic<uint64_t> next{1};
  rmw_gid_t gid{};
  gid.implementation_identifier = kImplementationIdentifier;
  const uint64_t id = next++;
  std::memcpy(gid.data, &id, sizeof(id));
  return gid;
}

size_t history_limit(const rclcpp::QoS & qos)
{
  if (qos.durability() != rclcpp::DurabilityPolicy::TransientLocal) {
    return 0;
  }
  if (qos.history() == rclcpp::HistoryPolicy::KeepAll) {
    return static_cast<size_t>(-1);
  }
  return qos.depth() == 0 ? 1 : qos.depth();
}

}  // namespace

PublisherBase::PublisherBase(
  rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic,
  const rclcpp::QoS & qos, const std::type_index & message_type,
  const std::string & message_type_name)
: topic_name_(node_base->resolve_topic_or_service_name(topic, false)),
  node_fqn_(node_base->get_fully_qualified_name()), qos_(qos), message_type_(message_type),
  message_type_name_(message_type_name), gid_(next_gid()), context_(node_base->get_context())
{}

PublisherBase::~PublisherBase()
{
  detail::Graph::instance().notify_change();
}

const char * PublisherBase::get_topic_name() const
{
  return topic_name_.c_str();
}

size_t PublisherBase::get_queue_size() const
{
  return qos_.depth();
}

const rmw_gid_t & PublisherBase::get_gid() const
{
  return gid_;
}

size_t PublisherBase::get_subscription_count() const
{
  return detail::Graph::instance().matching_subscriptions(*this).size();
}

size_t PublisherBase::get_intra_process_subscription_count() const
{
  return 0;
}

bool PublisherBase::assert_liveliness() const
{
  return true;
}

rclcpp::QoS PublisherBase::get_actual_qos() const
{
  return qos_;
}

bool PublisherBase::can_loan_messages() const
{
  return false;
}

bool PublisherBase::operator==(const rmw_gid_t & gid) const
{
  return std::memcmp(gid.data, gid_.data, RMW_GID_STORAGE_SIZE) == 0;
}

bool PublisherBase::operator==(const rmw_gid_t * gid) const
{
  return gid && *this == *gid;
}

void PublisherBase::register_in_graph()
{
  detail::Graph::instance().add_publisher(shared_from_this());
}

const std::type_index & PublisherBase::get_message_type() const
{
  return message_type_;
}

const std::string & PublisherBase::get_message_type_name() const
{
  return message_type_name_;
}

const char * PublisherBase::get_node_fully_qualified_name() const
{
  return node_fqn_.c_str();
}

std::vector<std::shared_ptr<const void>> PublisherBase::get_transient_local_history() const
{
  std::lock_guard<std::mutex> lock(history_mutex_);
  return std::vector<std::shared_ptr<const void>>(history_.begin(), history_.end());
}

void PublisherBase::publish_shared(std::shared_ptr<const void> message)
{
  if (!context_->is_valid()) {
    return;
  }
  rmw_message_info_t info{};
  info.source_timestamp = std::chrono::duration_cast<std::chrono::nanoseconds>(
    std::chrono::system_clock::now().time_since_epoch()).count();
  info.publisher_gid = gid_;
  {
    std::lock_guard<std::mutex> lock(history_mutex_);
    info.publication_sequence_number = ++sequence_number_;
    const size_t limit = history_limit(qos_);
    if (limit > 0) {
      history_.push_back(message);
      while (history_.size() > limit) {
        history_.pop_front();
      }
    }
  }
  for (const auto & subscription : detail::Graph::instance().matching_subscriptions(*this)) {
    subscription->deliver(message, info);
  }
}

}  // namespace rclcpp
