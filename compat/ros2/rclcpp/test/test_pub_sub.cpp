// Topics in one process: delivery only through executors, keep-last queues, QoS compatibility,
// transient-local replay, message types and the accepted callback signatures.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/string.hpp"

using Int32 = std_msgs::msg::String;  // carries a decimal number in `data`

namespace
{

int value_of(const Int32 & msg)
{
  return std::stoi(msg.data);
}

}  // namespace

class PubSubTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("pubsub");
    executor_.add_node(node_);
  }
  void TearDown() override
  {
    executor_.remove_node(node_);
    node_.reset();
    rclcpp::shutdown();
  }

  void publish_values(
    const rclcpp::Publisher<Int32>::SharedPtr & publisher, const std::vector<int> & values)
  {
    for (int v : values) {
      Int32 msg;
      msg.data = std::to_string(v);
      publisher->publish(msg);
    }
  }

  std::shared_ptr<rclcpp::Node> node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
};

TEST_F(PubSubTest, CallbacksRunOnlyWhenTheExecutorSpins)
{
  std::vector<int> received;
  auto sub = node_->create_subscription<Int32>(
    "numbers", 10, [&received](const Int32 & msg) {received.push_back(value_of(msg));});
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  publish_values(pub, {1, 2});
  EXPECT_TRUE(received.empty());
  // Like rclcpp, one spin_some takes one message from each ready subscription.
  executor_.spin_some();
  EXPECT_EQ(received, (std::vector<int>{1}));
  executor_.spin_some();
  EXPECT_EQ(received, (std::vector<int>{1, 2}));
}

TEST_F(PubSubTest, KeepLastDropsTheOldestMessages)
{
  std::vector<int> received;
  auto sub = node_->create_subscription<Int32>(
    "numbers", rclcpp::QoS(2), [&received](const Int32 & msg) {received.push_back(value_of(msg));});
  auto pub = node_->create_publisher<Int32>("numbers", 10);
  publish_values(pub, {1, 2, 3, 4});
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(received, (std::vector<int>{3, 4}));
}

TEST_F(PubSubTest, ReliableSubscriptionIgnoresBestEffortPublisher)
{
  int reliable_count = 0;
  int best_effort_count = 0;
  auto reliable = node_->create_subscription<Int32>(
    "qos", rclcpp::QoS(10).reliable(), [&](const Int32 &) {++reliable_count;});
  auto best_effort = node_->create_subscription<Int32>(
    "qos", rclcpp::SensorDataQoS(), [&](const Int32 &) {++best_effort_count;});
  auto pub = node_->create_publisher<Int32>("qos", rclcpp::SensorDataQoS());
  EXPECT_EQ(pub->get_subscription_count(), 1u);
  publish_values(pub, {1});
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(reliable_count, 0);
  EXPECT_EQ(best_effort_count, 1);
  EXPECT_EQ(reliable->get_publisher_count(), 0u);
}

TEST_F(PubSubTest, TransientLocalReplaysTheLastMessagesToLateSubscribers)
{
  auto latched = node_->create_publisher<Int32>("latched", rclcpp::QoS(2).transient_local());
  auto volatile_pub = node_->create_publisher<Int32>("latched", rclcpp::QoS(10));
  publish_values(latched, {1, 2, 3});
  publish_values(volatile_pub, {100});
  std::vector<int> late;
  auto late_sub = node_->create_subscription<Int32>(
    "latched", rclcpp::QoS(10).transient_local(),
    [&late](const Int32 & msg) {late.push_back(value_of(msg));});
  std::vector<int> volatile_late;
  auto volatile_sub = node_->create_subscription<Int32>(
    "latched", rclcpp::QoS(10), [&volatile_late](const Int32 & msg) {
      volatile_late.push_back(value_of(msg));
    });
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(late, (std::vector<int>{2, 3}));
  EXPECT_TRUE(volatile_late.empty());
  EXPECT_EQ(volatile_pub->get_subscription_count(), 1u);
}

TEST_F(PubSubTest, MessagesOfAnotherTypeAreNotDelivered)
{
  int count = 0;
  auto sub = node_->create_subscription<std_msgs::msg::Empty>(
    "typed", 10, [&count](const std_msgs::msg::Empty &) {++count;});
  auto pub = node_->create_publisher<Int32>("typed", 10);
  publish_values(pub, {1});
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(pub->get_subscription_count(), 0u);
}

TEST_F(PubSubTest, EveryHumbleCallbackSignatureReceivesTheMessage)
{
  std::vector<std::string> forms;
  auto add = [&](const std::string & form, int data) {
      forms.push_back(form + std::to_string(data));
    };
  auto s1 = node_->create_subscription<Int32>(
    "forms", 10, [&](const Int32 & m) {add("ref", value_of(m));});
  auto s2 = node_->create_subscription<Int32>(
    "forms", 10, [&](Int32::ConstSharedPtr m) {add("const_shared", value_of(*m));});
  auto s3 = node_->create_subscription<Int32>(
    "forms", 10, [&](std::unique_ptr<Int32> m) {add("unique", value_of(*m));});
  auto s4 = node_->create_subscription<Int32>(
    "forms", 10, [&](const Int32 & m, const rclcpp::MessageInfo & info) {
      add("info", value_of(m) + static_cast<int>(info.get_rmw_message_info().publication_sequence_number));
    });
  std::function<void(const std::shared_ptr<const Int32> &)> fn =
    [&](const std::shared_ptr<const Int32> & m) {add("function", value_of(*m));};
  auto s5 = node_->create_subscription<Int32>("forms", 10, fn);
  struct Receiver
  {
    std::function<void(const std::string &, int)> sink;
    void on_message(const Int32::ConstSharedPtr msg) {sink("bind", value_of(*msg));}
  } receiver{add};
  auto s6 = node_->create_subscription<Int32>(
    "forms", 10, std::bind(&Receiver::on_message, &receiver, std::placeholders::_1));
  auto pub = node_->create_publisher<Int32>("forms", 10);
  publish_values(pub, {7});
  executor_.spin_all(std::chrono::seconds(1));
  std::sort(forms.begin(), forms.end());
  EXPECT_EQ(
    forms, (std::vector<std::string>{"bind7", "const_shared7", "function7", "info8", "ref7",
      "unique7"}));
}

TEST_F(PubSubTest, TakeReadsWithoutAnExecutorAndUniquePtrPublishWorks)
{
  auto sub = node_->create_subscription<Int32>("take", 10, [](const Int32 &) {});
  auto pub = node_->create_publisher<Int32>("take", 10);
  auto msg = std::make_unique<Int32>();
  msg->data = "5";
  pub->publish(std::move(msg));
  Int32 out;
  rclcpp::MessageInfo info;
  EXPECT_TRUE(sub->take(out, info));
  EXPECT_EQ(value_of(out), 5);
  EXPECT_FALSE(sub->take(out, info));
  EXPECT_THROW(pub->publish(std::unique_ptr<Int32>()), std::runtime_error);
}

TEST_F(PubSubTest, PublishingAfterShutdownIsIgnored)
{
  int count = 0;
  auto sub = node_->create_subscription<Int32>("late", 10, [&count](const Int32 &) {++count;});
  auto pub = node_->create_publisher<Int32>("late", 10);
  rclcpp::shutdown();
  EXPECT_NO_THROW(publish_values(pub, {1}));
  Int32 out;
  rclcpp::MessageInfo info;
  EXPECT_FALSE(sub->take(out, info));
}

TEST_F(PubSubTest, KeepAllQueuesEveryMessage)
{
  std::vector<int> received;
  auto sub = node_->create_subscription<Int32>(
    "all", rclcpp::QoS(rclcpp::KeepAll()), [&received](const Int32 & msg) {
      received.push_back(value_of(msg));
    });
  auto pub = node_->create_publisher<Int32>("all", 1);
  publish_values(pub, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(received.size(), 12u);
  EXPECT_EQ(received.back(), 12);
}

TEST_F(PubSubTest, EachSubscriptionGetsItsOwnCopy)
{
  std::vector<std::string> first;
  std::vector<std::string> second;
  auto a = node_->create_subscription<Int32>(
    "copies", 10, [&first](std::unique_ptr<Int32> msg) {
      msg->data += "-changed";
      first.push_back(msg->data);
    });
  auto other = std::make_shared<rclcpp::Node>("other_subscriber");
  auto b = other->create_subscription<Int32>(
    "/copies", 10, [&second](const Int32 & msg) {second.push_back(msg.data);});
  auto pub = node_->create_publisher<Int32>("copies", 10);
  Int32 msg;
  msg.data = "7";
  pub->publish(msg);
  msg.data = "changed after publish";
  executor_.spin_all(std::chrono::seconds(1));
  rclcpp::spin_some(other);
  EXPECT_EQ(first, std::vector<std::string>{"7-changed"});
  EXPECT_EQ(second, std::vector<std::string>{"7"});
}

TEST_F(PubSubTest, MessageInfoCarriesTheSequenceAndPublisher)
{
  std::vector<uint64_t> sequence;
  bool from_publisher = false;
  auto pub = node_->create_publisher<Int32>("info", 10);
  auto sub = node_->create_subscription<Int32>(
    "info", 10, [&](const Int32 &, const rclcpp::MessageInfo & info) {
      sequence.push_back(info.get_rmw_message_info().publication_sequence_number);
      from_publisher = *pub == info.get_rmw_message_info().publisher_gid;
    });
  publish_values(pub, {1, 2});
  executor_.spin_all(std::chrono::seconds(1));
  EXPECT_EQ(sequence, (std::vector<uint64_t>{1, 2}));
  EXPECT_TRUE(from_publisher);
}

TEST_F(PubSubTest, EndpointsReportTheirQosAndIdentity)
{
  auto pub = node_->create_publisher<Int32>("identity", rclcpp::QoS(3).transient_local());
  auto other = node_->create_publisher<Int32>("identity", 1);
  EXPECT_EQ(pub->get_queue_size(), 3u);
  EXPECT_EQ(pub->get_actual_qos().durability(), rclcpp::DurabilityPolicy::TransientLocal);
  EXPECT_FALSE(*pub == other->get_gid());
  EXPECT_TRUE(*pub == pub->get_gid());
  EXPECT_TRUE(pub->wait_for_all_acked(std::chrono::milliseconds(1)));
  EXPECT_FALSE(pub->can_loan_messages());
  auto sub = node_->create_subscription<Int32>(
    "identity", rclcpp::SensorDataQoS(), [](const Int32 &) {});
  EXPECT_EQ(sub->get_actual_qos().reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(sub->get_publisher_count(), 2u);
  EXPECT_STREQ(sub->get_topic_name(), "/identity");
}

TEST_F(PubSubTest, NewMessageCallbackSeesQueuedAndNewMessages)
{
  auto sub = node_->create_subscription<Int32>("notify", 10, [](const Int32 &) {});
  auto pub = node_->create_publisher<Int32>("notify", 10);
  publish_values(pub, {1, 2});
  std::vector<size_t> counts;
  sub->set_on_new_message_callback([&counts](size_t count) {counts.push_back(count);});
  publish_values(pub, {3});
  sub->clear_on_new_message_callback();
  publish_values(pub, {4});
  EXPECT_EQ(counts, (std::vector<size_t>{2, 1}));
}

// A middleware needs time to match a new subscription with its publishers: what is published
// before that is not received, and a transient-local publisher's history arrives once it matches.
TEST_F(PubSubTest, ANewSubscriptionReceivesOnlyOnceDiscovered)
{
  auto volatile_pub = node_->create_publisher<Int32>("numbers", 10);
  auto latched_pub = node_->create_publisher<Int32>(
    "latched", rclcpp::QoS(1).transient_local());
  publish_values(latched_pub, {7});
  std::vector<int> received;
  std::vector<int> latched;
  setenv("QUORVANE_DISCOVERY_DELAY_MS", "1000", 1);
  auto sub = node_->create_subscription<Int32>(
    "numbers", 10, [&received](const Int32 & msg) {received.push_back(value_of(msg));});
  auto latched_sub = node_->create_subscription<Int32>(
    "latched", rclcpp::QoS(1).transient_local(),
    [&latched](const Int32 & msg) {latched.push_back(value_of(msg));});
  unsetenv("QUORVANE_DISCOVERY_DELAY_MS");

  EXPECT_EQ(volatile_pub->get_subscription_count(), 0u);
  EXPECT_EQ(sub->get_publisher_count(), 0u);
  publish_values(volatile_pub, {1});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (volatile_pub->get_subscription_count() == 0 &&
    std::chrono::steady_clock::now() < deadline)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(volatile_pub->get_subscription_count(), 1u);
  EXPECT_EQ(sub->get_publisher_count(), 1u);
  publish_values(volatile_pub, {2});
  while ((received.empty() || latched.empty()) && std::chrono::steady_clock::now() < deadline) {
    executor_.spin_some();
  }
  EXPECT_EQ(received, (std::vector<int>{2}));
  EXPECT_EQ(latched, (std::vector<int>{7}));
}
