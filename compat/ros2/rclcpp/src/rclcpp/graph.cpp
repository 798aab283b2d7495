#include "graph.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/client.hpp"
#include "rclcpp/publisher_base.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription_base.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

template<typename T>
void prune(std::vector<std::weak_ptr<T>> & entries)
{
  entries.erase(
    std::remove_if(
      entries.begin(), entries.end(), [](const std::weak_ptr<T> & e) {return e.expired();}),
    entries.end());
}

template<typename T>
std::vector<std::shared_ptr<T>> live(
  const std::map<std::string, std::vector<std::weak_ptr<T>>> & entries, const std::string & name)
{
  std::vector<std::shared_ptr<T>> result;
  auto it = entries.find(name);
  if (it == entries.end()) {
    return result;
  }
  for (const auto & weak : it->second) {
    if (auto entry = weak.lock()) {
      result.push_back(entry);
    }
  }
  return result;
}

bool matches(const PublisherBase & publisher, const SubscriptionBase & subscription)
{
  return publisher.get_message_type() == subscription.get_message_type() &&
         qos_check_compatible(publisher.get_actual_qos(), subscription.get_actual_qos())
         .compatibility != QoSCompatibility::Error;
}

// How long a new subscription waits before it matches its publishers, as discovery takes on a
// robot; read per subscription so that a test can set it before creating its nodes.
std::chrono::milliseconds discovery_delay()
{
  const char * text = std::getenv("QUORVANE_DISCOVERY_DELAY_MS");
  if (text == nullptr || *text == '\0') {
    return std::chrono::milliseconds::zero();
  }
  char * end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value <= 0) {
    return std::chrono::milliseconds::zero();
  }
  return std::chrono::milliseconds(value);
}

bool is_among(
  const std::weak_ptr<const SubscriptionBase> & subscription,
  const std::vector<std::weak_ptr<SubscriptionBase>> & subscriptions)
{
  return std::any_of(
    subscriptions.begin(), subscriptions.end(),
    [&subscription](const std::weak_ptr<SubscriptionBase> & other) {
      return !other.owner_before(subscription) && !subscription.owner_before(other);
    });
}

}  // namespace

Graph & Graph::instance()
{
  // Never destroyed: entities owned by other statics may leave the graph during exit.
  static Graph * graph = new Graph();
  return *graph;
}

void Graph::add_node(
  const std::shared_ptr<const void> & token, const std::string & name,
  const std::string & namespace_)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_.erase(
      std::remove_if(
        nodes_.begin(), nodes_.end(), [](const NodeEntry & e) {return e.token.expired();}),
      nodes_.end());
    nodes_.push_back({token, name, namespace_});
  }
  notify_change();
}

void Graph::add_publisher(const std::shared_ptr<PublisherBase> & publisher)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto & entries = publishers_[publisher->get_topic_name()];
    prune(entries);
    entries.push_back(publisher);
  }
  notify_change();
}

void Graph::add_subscription(const std::shared_ptr<SubscriptionBase> & subscription)
{
  const auto delay = discovery_delay();
  if (delay > std::chrono::milliseconds::zero()) {
    discover_after(subscription, delay);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto & entries = subscriptions_[subscription->get_topic_name()];
    prune(entries);
    entries.push_back(subscription);
  }
  notify_change();
  if (delay == std::chrono::milliseconds::zero()) {
    match(subscription);
  }
}

void Graph::match(const std::shared_ptr<SubscriptionBase> & subscription)
{
  if (subscription->get_actual_qos().durability() != rclcpp::DurabilityPolicy::TransientLocal) {
    return;
  }
  for (const auto & publisher : matching_publishers(*subscription)) {
    rmw_message_info_t info{};
    info.publisher_gid = publisher->get_gid();
    for (const auto & message : publisher->get_transient_local_history()) {
      subscription->deliver(message, info);
    }
  }
}

std::vector<std::weak_ptr<SubscriptionBase>> Graph::undiscovered() const
{
  std::vector<std::weak_ptr<SubscriptionBase>> pending;
  for (const auto & entry : undiscovered_) {
    pending.push_back(entry.subscription);
  }
  return pending;
}

void Graph::discover_after(
  const std::shared_ptr<SubscriptionBase> & subscription, std::chrono::milliseconds delay)
{
  std::lock_guard<std::mutex> lock(mutex_);
  undiscovered_.push_back({subscription, std::chrono::steady_clock::now() + delay});
  if (!discoverer_.joinable()) {
    // Lives as long as the graph, which is never destroyed.
    discoverer_ = std::thread([this]() {run_discovery();});
  }
  discovery_due_.notify_all();
}

void Graph::run_discovery()
{
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (undiscovered_.empty()) {
      discovery_due_.wait(lock);
      continue;
    }
    const auto earliest = std::min_element(
      undiscovered_.begin(), undiscovered_.end(),
      [](const PendingDiscovery & a, const PendingDiscovery & b) {return a.due < b.due;})->due;
    if (std::chrono::steady_clock::now() < earliest) {
      discovery_due_.wait_until(lock, earliest);
      continue;
    }
    std::vector<std::shared_ptr<SubscriptionBase>> discovered;
    const auto now = std::chrono::steady_clock::now();
    auto due = std::stable_partition(
      undiscovered_.begin(), undiscovered_.end(),
      [&now](const PendingDiscovery & p) {return p.due > now;});
    for (auto it = due; it != undiscovered_.end(); ++it) {
      if (auto subscription = it->subscription.lock()) {
        discovered.push_back(std::move(subscription));
      }
    }
    undiscovered_.erase(due, undiscovered_.end());
    lock.unlock();
    notify_change();
    for (const auto & subscription : discovered) {
      match(subscription);
    }
    // The last reference may be the subscription's own: let it go without the lock held.
    discovered.clear();
    lock.lock();
  }
}

void Graph::add_service(const std::shared_ptr<ServiceBase> & service)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto & entries = services_[service->get_service_name()];
    prune(entries);
    entries.push_back(service);
  }
  notify_change();
}

void Graph::add_client(const std::shared_ptr<ClientBase> & client)
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto & entries = clients_[client->get_service_name()];
    prune(entries);
    entries.push_back(client);
  }
  notify_change();
}

std::vector<std::shared_ptr<SubscriptionBase>> Graph::matching_subscriptions(
  const PublisherBase & publisher) const
{
  std::vector<std::shared_ptr<SubscriptionBase>> subscriptions;
  std::vector<std::weak_ptr<SubscriptionBase>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions = live(subscriptions_, publisher.get_topic_name());
    pending = undiscovered();
  }
  subscriptions.erase(
    std::remove_if(
      subscriptions.begin(), subscriptions.end(),
      [&publisher, &pending](const std::shared_ptr<SubscriptionBase> & s) {
        return is_among(s, pending) || !matches(publisher, *s);
      }),
    subscriptions.end());
  return subscriptions;
}

std::vector<std::shared_ptr<PublisherBase>> Graph::matching_publishers(
  const SubscriptionBase & subscription) const
{
  std::vector<std::shared_ptr<PublisherBase>> publishers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (is_among(subscription.weak_from_this(), undiscovered())) {
      return publishers;
    }
    publishers = live(publishers_, subscription.get_topic_name());
  }
  publishers.erase(
    std::remove_if(
      publishers.begin(), publishers.end(),
      [&subscription](const std::shared_ptr<PublisherBase> & p) {
        return !matches(*p, subscription);
      }),
    publishers.end());
  return publishers;
}

// The strong references taken under the lock are dropped only after it is released: the last
// one may be the entity's, whose destructor tells the graph of the change and takes the lock.

std::shared_ptr<ServiceBase> Graph::find_service(const std::string & name) const
{
  std::vector<std::shared_ptr<ServiceBase>> services;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    services = live(services_, name);
  }
  return services.empty() ? nullptr : services.front();
}

size_t Graph::count_publishers(const std::string & topic) const
{
  std::vector<std::shared_ptr<PublisherBase>> publishers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    publishers = live(publishers_, topic);
  }
  return publishers.size();
}

size_t Graph::count_subscribers(const std::string & topic) const
{
  std::vector<std::shared_ptr<SubscriptionBase>> subscriptions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    subscriptions = live(subscriptions_, topic);
  }
  return subscriptions.size();
}

Graph::NamesAndTypes Graph::topic_names_and_types() const
{
  NamesAndTypes result;
  std::vector<std::shared_ptr<PublisherBase>> publishers;
  std::vector<std::shared_ptr<SubscriptionBase>> subscriptions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto & entry : publishers_) {
      for (auto & p : live(publishers_, entry.first)) {
        publishers.push_back(p);
      }
    }
    for (const auto & entry : subscriptions_) {
      for (auto & s : live(subscriptions_, entry.first)) {
        subscriptions.push_back(s);
      }
    }
  }
  auto add = [&result](const std::string & topic, const std::string & type) {
      auto & types = result[topic];
      if (std::find(types.begin(), types.end(), type) == types.end()) {
        types.push_back(type);
      }
    };
  for (const auto & p : publishers) {
    add(p->get_topic_name(), p->get_message_type_name());
  }
  for (const auto & s : subscriptions) {
    add(s->get_topic_name(), s->get_message_type_name());
  }
  return result;
}

Graph::NamesAndTypes Graph::service_names_and_types(const std::string & node_fqn) const
{
  NamesAndTypes result;
  std::vector<std::pair<std::string, std::shared_ptr<ServiceBase>>> services;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto & entry : services_) {
      for (auto & service : live(services_, entry.first)) {
        services.emplace_back(entry.first, std::move(service));
      }
    }
  }
  for (const auto & [name, service] : services) {
    if (node_fqn.empty() || node_fqn == service->get_node_fully_qualified_name()) {
      auto & types = result[name];
      if (std::find(types.begin(), types.end(), service->get_service_type_name()) == types.end()) {
        types.push_back(service->get_service_type_name());
      }
    }
  }
  return result;
}

std::vector<std::pair<std::string, std::string>> Graph::node_names_and_namespaces() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::pair<std::string, std::string>> result;
  for (const auto & node : nodes_) {
    if (!node.token.expired()) {
      result.emplace_back(node.name, node.namespace_);
    }
  }
  return result;
}

size_t Graph::count_graph_users() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  size_t count = 0;
  for (const auto & event : events_) {
    count += event.expired() ? 0 : 1;
  }
  return count;
}

void Graph::add_event(const rclcpp::Event::SharedPtr & event)
{
  std::lock_guard<std::mutex> lock(mutex_);
  prune(events_);
  events_.push_back(event);
}

void Graph::notify_change()
{
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  for (const auto & weak : events_) {
    if (auto event = weak.lock()) {
      event->set();
    }
  }
  changed_.notify_all();
}

bool Graph::wait_until(
  const std::function<bool()> & done, std::chrono::nanoseconds timeout,
  const rclcpp::Context::SharedPtr & context)
{
  auto handle = context->add_on_shutdown_callback([this]() {notify_change();});
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  uint64_t seen = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seen = generation_;
  }
  bool result = done();
  bool timed_out = false;
  while (!result && !timed_out && context->is_valid()) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      auto changed = [this, &seen, &context]() {
          return generation_ != seen || !context->is_valid();
        };
      if (timeout < std::chrono::nanoseconds::zero()) {
        changed_.wait(lock, changed);
      } else {
        timed_out = !changed_.wait_until(lock, deadline, changed);
      }
      seen = generation_;
    }
    result = done();
  }
  context->remove_on_shutdown_callback(handle);
  return result;
}

}  // namespace detail
}  // namespace rclcpp
