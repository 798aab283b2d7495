// The process-wide ROS graph: every node, publisher, subscription, service and client of the
// process, keyed by fully resolved names. Matching follows the middleware's rules: same message
// type and compatible QoS (reliability and durability).
#ifndef RCLCPP__GRAPH_HPP_
#define RCLCPP__GRAPH_HPP_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/event.hpp"

namespace rclcpp
{
class PublisherBase;
class SubscriptionBase;
class ServiceBase;
class ClientBase;

namespace detail
{

class Graph
{
public:
  using NamesAndTypes = std::map<std::string, std::vector<std::string>>;

  static Graph & instance();

  void add_node(const std::shared_ptr<const void> & token, const std::string & name,
    const std::string & namespace_);
  void add_publisher(const std::shared_ptr<PublisherBase> & publisher);
  /// Matches the subscription with its publishers, at once or, like a middleware that must
  /// discover it first, after QUORVANE_DISCOVERY_DELAY_MS; transient-local history is queued when
  /// it matches.
  void add_subscription(const std::shared_ptr<SubscriptionBase> & subscription);
  void add_service(const std::shared_ptr<ServiceBase> & service);
  void add_client(const std::shared_ptr<ClientBase> & client);

  std::vector<std::shared_ptr<SubscriptionBase>> matching_subscriptions(
    const PublisherBase & publisher) const;
  std::vector<std::shared_ptr<PublisherBase>> matching_publishers(
    const SubscriptionBase & subscription) const;
  std::shared_ptr<ServiceBase> find_service(const std::string & name) const;

  size_t count_publishers(const std::string & topic) const;
  size_t count_subscribers(const std::string & topic) const;
  NamesAndTypes topic_names_and_types() const;
  NamesAndTypes service_names_and_types(const std::string & node_fqn = "") const;
  std::vector<std::pair<std::string, std::string>> node_names_and_namespaces() const;
  size_t count_graph_users() const;

  void add_event(const rclcpp::Event::SharedPtr & event);
  /// Sets every graph event and wakes everyone waiting for a change.
  void notify_change();
  /// Waits until `done` holds, the timeout (negative: none) passes or the context shuts down.
  bool wait_until(
    const std::function<bool()> & done, std::chrono::nanoseconds timeout,
    const rclcpp::Context::SharedPtr & context);

private:
  Graph() = default;

  /// The subscriptions still waiting to be discovered; copied so that callers can test them
  /// without the lock (dropping a subscription reference under it would deadlock).
  std::vector<std::weak_ptr<SubscriptionBase>> undiscovered() const;
  void discover_after(
    const std::shared_ptr<SubscriptionBase> & subscription, std::chrono::milliseconds delay);
  void run_discovery();
  void match(const std::shared_ptr<SubscriptionBase> & subscription);

  struct NodeEntry
  {
    std::weak_ptr<const void> token;
    std::string name;
    std::string namespace_;
  };

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t generation_{0};
  std::vector<NodeEntry> nodes_;
  std::map<std::string, std::vector<std::weak_ptr<PublisherBase>>> publishers_;
  std::map<std::string, std::vector<std::weak_ptr<SubscriptionBase>>> subscriptions_;
  std::map<std::string, std::vector<std::weak_ptr<ServiceBase>>> services_;
  std::map<std::string, std::vector<std::weak_ptr<ClientBase>>> clients_;
  std::vector<std::weak_ptr<rclcpp::Event>> events_;

  struct PendingDiscovery
  {
    std::weak_ptr<SubscriptionBase> subscription;
    std::chrono::steady_clock::time_point due;
  };
  std::vector<PendingDiscovery> undiscovered_;
  std::condition_variable discovery_due_;
  std::thread discoverer_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__GRAPH_HPP_
