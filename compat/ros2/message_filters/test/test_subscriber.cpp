// Behaviour of the topic subscriber at the head of a filter chain: construction subscribes,
// unsubscribe stops delivery, subscribe() resumes with the remembered topic, QoS and options.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "message_filters/subscriber.h"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

namespace
{

using Msg = std_msgs::msg::String;
using namespace std::chrono_literals;

class SubscriberTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("subscriber_test");
    executor_.add_node(node_);
  }

  // Also after a set-up that failed half-way.
  void TearDown() override
  {
    if (node_) {
      executor_.remove_node(node_);
      node_.reset();
    }
    rclcpp::shutdown();
  }

  rclcpp::Publisher<Msg>::SharedPtr publisherOn(const std::string & topic)
  {
    return node_->create_publisher<Msg>(topic, 10);
  }

  static Msg text(const std::string & data)
  {
    Msg msg;
    msg.data = data;
    return msg;
  }

  // Spins until the predicate holds; the generous limit only guards against a hang.
  bool spinUntil(const std::function<bool()> & done)
  {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      executor_.spin_once(50ms);
    }
    return done();
  }

  // Registers a recorder on the filter and returns what it received.
  std::shared_ptr<std::vector<std::string>> record(message_filters::SimpleFilter<Msg> & filter)
  {
    auto received = std::make_shared<std::vector<std::string>>();
    filter.registerCallback(
      [received](const std::shared_ptr<Msg const> & msg) {received->push_back(msg->data);});
    return received;
  }

  static bool contains(const std::vector<std::string> & all, const std::string & item)
  {
    return std::find(all.begin(), all.end(), item) != all.end();
  }

  rclcpp::Node::SharedPtr node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
};

TEST_F(SubscriberTest, constructionSubscribesAtOnce)
{
  message_filters::Subscriber<Msg> sub(node_, "chatter");
  auto received = record(sub);
  auto pub = publisherOn("chatter");

  pub->publish(text("hello"));

  ASSERT_TRUE(spinUntil([&] {return !received->empty();}));
  EXPECT_EQ(received->front(), "hello");
  EXPECT_EQ(sub.getTopic(), "chatter");
  EXPECT_NE(sub.getSubscriber(), nullptr);
}

TEST_F(SubscriberTest, rawNodePointerConstructorSubscribes)
{
  message_filters::Subscriber<Msg> sub(node_.get(), "chatter", rmw_qos_profile_default);
  auto received = record(sub);
  auto pub = publisherOn("chatter");

  pub->publish(text("raw"));

  ASSERT_TRUE(spinUntil([&] {return !received->empty();}));
  EXPECT_EQ(received->front(), "raw");
}

TEST_F(SubscriberTest, noMessagesWhileUnsubscribedAndDeliveryResumesOnSubscribe)
{
  message_filters::Subscriber<Msg> sub(node_, "chatter");
  auto received = record(sub);
  auto pub = publisherOn("chatter");

  sub.unsubscribe();
  EXPECT_EQ(sub.getSubscriber(), nullptr);
  pub->publish(text("while unsubscribed"));
  executor_.spin_some(50ms);

  sub.subscribe();
  ASSERT_NE(sub.getSubscriber(), nullptr);
  pub->publish(text("after resubscribe"));

  ASSERT_TRUE(spinUntil([&] {return contains(*received, "after resubscribe");}));
  EXPECT_FALSE(contains(*received, "while unsubscribed"));
  EXPECT_EQ(sub.getTopic(), "chatter");
}

TEST_F(SubscriberTest, resubscribeKeepsTheRememberedQos)
{
  rmw_qos_profile_t best_effort = rmw_qos_profile_sensor_data;
  message_filters::Subscriber<Msg> sub(node_, "scan", best_effort, rclcpp::SubscriptionOptions());
  sub.unsubscribe();
  sub.subscribe();

  ASSERT_NE(sub.getSubscriber(), nullptr);
  const rclcpp::QoS actual = sub.getSubscriber()->get_actual_qos();
  EXPECT_EQ(actual.reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(actual.depth(), best_effort.depth);
}

TEST_F(SubscriberTest, resubscribeKeepsTheRememberedCallbackGroup)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  message_filters::Subscriber<Msg> sub(node_, "grouped", rmw_qos_profile_default, options);
  auto received = record(sub);
  sub.unsubscribe();
  sub.subscribe();
  auto pub = publisherOn("grouped");

  pub->publish(text("for the group"));
  // The node's executor does not own the group, so only an executor given the group delivers.
  executor_.spin_some(50ms);
  EXPECT_TRUE(received->empty());

  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(group, node_->get_node_base_interface());
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (received->empty() && std::chrono::steady_clock::now() < deadline) {
    group_executor.spin_once(50ms);
  }
  ASSERT_EQ(received->size(), 1u);
  EXPECT_EQ(received->front(), "for the group");
}

TEST_F(SubscriberTest, subscribingToAnotherTopicLeavesTheFirst)
{
  message_filters::Subscriber<Msg> sub(node_, "first");
  auto received = record(sub);
  auto first = publisherOn("first");
  auto second = publisherOn("second");

  sub.subscribe(node_, "second", rmw_qos_profile_default, rclcpp::SubscriptionOptions());
  first->publish(text("on first"));
  second->publish(text("on second"));

  ASSERT_TRUE(spinUntil([&] {return contains(*received, "on second");}));
  executor_.spin_some(50ms);
  EXPECT_FALSE(contains(*received, "on first"));
  EXPECT_EQ(sub.getTopic(), "second");
}

TEST_F(SubscriberTest, defaultConstructedSubscriberHasNothingToResubscribe)
{
  message_filters::Subscriber<Msg> sub;
  sub.subscribe();
  EXPECT_EQ(sub.getSubscriber(), nullptr);
  EXPECT_EQ(sub.getTopic(), "");
}

}  // namespace
