// The type-independent part of a publisher: its place in the in-process graph, its QoS, the
// matching subscriptions and, for transient-local publishers, the history replayed to late joiners.
#ifndef RCLCPP__PUBLISHER_BASE_HPP_
#define RCLCPP__PUBLISHER_BASE_HPP_

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rmw/types.h"

namespace rclcpp
{

namespace node_interfaces
{
class NodeBaseInterface;
}  // namespace node_interfaces

class PublisherBase : public std::enable_shared_from_this<PublisherBase>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(PublisherBase)

  PublisherBase(
    rclcpp::node_interfaces::NodeBaseInterface * node_base, const std::string & topic,
    const rclcpp::QoS & qos, const std::type_index & message_type,
    const std::string & message_type_name);
  virtual ~PublisherBase();
  PublisherBase(const PublisherBase &) = delete;
  PublisherBase & operator=(const PublisherBase &) = delete;

  const char * get_topic_name() const;
  size_t get_queue_size() const;
  const rmw_gid_t & get_gid() const;
  size_t get_subscription_count() const;
  size_t get_intra_process_subscription_count() const;
  bool assert_liveliness() const;
  rclcpp::QoS get_actual_qos() const;
  bool can_loan_messages() const;
  bool operator==(const rmw_gid_t & gid) const;
  bool operator==(const rmw_gid_t * gid) const;

  /// Delivery is synchronous in one process, so every message is acknowledged once published.
  template<typename DurationRepT = int64_t, typename DurationT = std::milli>
  bool wait_for_all_acked(
    std::chrono::duration<DurationRepT, DurationT> timeout =
    std::chrono::duration<DurationRepT, DurationT>(-1)) const
  {
    (void)timeout;
    return true;
  }

  /// Enters the publisher into the graph; called once by the factory that created it.
  void register_in_graph();

  const std::type_index & get_message_type() const;
  const std::string & get_message_type_name() const;
  const char * get_node_fully_qualified_name() const;
  /// Messages kept for subscriptions that join later (transient local only), oldest first.
  std::vector<std::shared_ptr<const void>> get_transient_local_history() const;

protected:
  /// Hands one immutable message to every matching subscription.
  void publish_shared(std::shared_ptr<const void> message);

private:
  std::string topic_name_;
  std::string node_fqn_;
  rclcpp::QoS qos_;
  std::type_index message_type_;
  std::string message_type_name_;
  rmw_gid_t gid_;
  rclcpp::Context::SharedPtr context_;
  mutable std::mutex history_mutex_;
  std::deque<std::shared_ptr<const void>> history_;
  uint64_t sequence_number_{0};
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_BASE_HPP_
