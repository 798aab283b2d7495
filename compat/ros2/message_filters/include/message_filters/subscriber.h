// The source of a filter chain: a topic subscription on a node whose messages are signalled onward.
// It remembers node, topic, QoS and options so that it can be unsubscribed and subscribed again.
#ifndef MESSAGE_FILTERS__SUBSCRIBER_H_
#define MESSAGE_FILTERS__SUBSCRIBER_H_

#include <memory>
#include <stdexcept>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "rmw/qos_profiles.h"
#include "rmw/types.h"

#include "message_filters/connection.h"
#include "message_filters/simple_filter.h"

namespace message_filters
{

template<class NodeType = rclcpp::Node>
class SubscriberBase
{
public:
  typedef std::shared_ptr<NodeType> NodePtr;

  virtual ~SubscriberBase() = default;

  virtual void subscribe(
    NodePtr node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default) = 0;

  virtual void subscribe(
    NodeType * node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default) = 0;

  virtual void subscribe(
    NodePtr node, const std::string & topic, const rmw_qos_profile_t qos,
    rclcpp::SubscriptionOptions options)
  {
    this->subscribe(node.get(), topic, qos, options);
  }

  virtual void subscribe(
    NodeType *, const std::string &, const rmw_qos_profile_t, rclcpp::SubscriptionOptions)
  {
    throw std::logic_error(
            "SubscriberBase::subscribe with subscription options not supported by this stand-in "
            "unless the subscriber overrides it");
  }

  virtual void subscribe() = 0;
  virtual void unsubscribe() = 0;
};

template<typename T>
using SubscriberBasePtr = std::shared_ptr<SubscriberBase<T>>;

template<class M, class NodeType = rclcpp::Node>
class Subscriber : public SubscriberBase<NodeType>, public SimpleFilter<M>
{
public:
  typedef std::shared_ptr<NodeType> NodePtr;
  typedef MessageEvent<M const> EventType;

  Subscriber(
    NodePtr node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    subscribe(node, topic, qos);
  }

  Subscriber(
    NodeType * node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default)
  {
    subscribe(node, topic, qos);
  }

  // Unlike the other NodePtr forms this one keeps only the raw node: it does not hold the node
  // alive, and a later subscribe() uses that pointer.
  Subscriber(
    NodePtr node, const std::string & topic, const rmw_qos_profile_t qos,
    rclcpp::SubscriptionOptions options)
  {
    subscribe(node.get(), topic, qos, options);
  }

  Subscriber(
    NodeType * node, const std::string & topic, const rmw_qos_profile_t qos,
    rclcpp::SubscriptionOptions options)
  {
    subscribe(node, topic, qos, options);
  }

  Subscriber() = default;

  ~Subscriber() override
  {
    unsubscribe();
  }

  void subscribe(
    NodePtr node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default) override
  {
    subscribe(node, topic, qos, rclcpp::SubscriptionOptions());
  }

  void subscribe(
    NodeType * node, const std::string & topic,
    const rmw_qos_profile_t qos = rmw_qos_profile_default) override
  {
    subscribe(node, topic, qos, rclcpp::SubscriptionOptions());
  }

  // Holding the shared node keeps it alive for later re-subscription, as Humble's subscriber does.
  void subscribe(
    NodePtr node, const std::string & topic, const rmw_qos_profile_t qos,
    rclcpp::SubscriptionOptions options) override
  {
    subscribe(node.get(), topic, qos, options);
    node_raw_ = nullptr;
    node_shared_ = node;
  }

  void subscribe(
    NodeType * node, const std::string & topic, const rmw_qos_profile_t qos,
    rclcpp::SubscriptionOptions options) override
  {
    unsubscribe();
    if (topic.empty()) {
      return;
    }
    topic_ = topic;
    qos_ = qos;
    options_ = options;
    rclcpp::QoS rclcpp_qos(rclcpp::QoSInitialization::from_rmw(qos));
    rclcpp_qos.get_rmw_qos_profile() = qos;
    sub_ = node->template create_subscription<M>(
      topic, rclcpp_qos,
      [this](std::shared_ptr<M const> msg) {this->cb(EventType(msg));},
      options);
    node_raw_ = node;
  }

  // Subscribes again with the node, topic, QoS and options of the last subscription.
  void subscribe() override
  {
    if (topic_.empty()) {
      return;
    }
    if (node_raw_ != nullptr) {
      subscribe(node_raw_, topic_, qos_, options_);
    } else if (node_shared_ != nullptr) {
      subscribe(node_shared_, topic_, qos_, options_);
    }
  }

  void unsubscribe() override
  {
    sub_.reset();
  }

  std::string getTopic() const
  {
    return topic_;
  }

  const typename rclcpp::Subscription<M>::SharedPtr getSubscriber() const
  {
    return sub_;
  }

  // A subscriber has no input: it is the head of its chain.
  template<typename F>
  void connectInput(F &)
  {
  }

  void add(const EventType &)
  {
  }

private:
  void cb(const EventType & e)
  {
    this->signalMessage(e);
  }

  typename rclcpp::Subscription<M>::SharedPtr sub_;
  NodePtr node_shared_;
  NodeType * node_raw_{nullptr};
  std::string topic_;
  rmw_qos_profile_t qos_{rmw_qos_profile_default};
  rclcpp::SubscriptionOptions options_;
};

}  // namespace message_filters

#endif  // MESSAGE_FILTERS__SUBSCRIBER_H_
