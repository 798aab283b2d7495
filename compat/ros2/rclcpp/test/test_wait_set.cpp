// rclcpp::WaitSet outside any executor: one wait set per subscription at a time, and what a wait
// reports.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp/wait_for_message.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using std_msgs::msg::String;

class WaitSetTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("wait_set_test");
    publisher_ = node_->create_publisher<String>("/wait_set_topic", 10);
    subscription_ = node_->create_subscription<String>(
      "/wait_set_topic", 10, [](String::ConstSharedPtr) {});
  }

  void TearDown() override
  {
    rclcpp::shutdown();
  }

  static std::string addError(rclcpp::WaitSet & wait_set, const rclcpp::SubscriptionBase::SharedPtr & s)
  {
    try {
      wait_set.add_subscription(s);
    } catch (const std::runtime_error & e) {
      return e.what();
    }
    return "";
  }

  rclcpp::Node::SharedPtr node_;
  rclcpp::Publisher<String>::SharedPtr publisher_;
  rclcpp::Subscription<String>::SharedPtr subscription_;
};

// rclcpp 16.0.11 wait_set_template.hpp: add_subscription exchanges the subscription's
// in-use-by-wait-set flag and throws "subscription already associated with a wait set" when it
// was set; remove_subscription or the wait set's end clears it. wait_for_message puts the
// subscription in a wait set of its own, so it throws the same for a subscription in use.
TEST_F(WaitSetTest, subscriptionIsInOneWaitSetAtATime)
{
  const std::string in_use = "subscription already associated with a wait set";
  auto first = std::make_unique<rclcpp::WaitSet>();
  first->add_subscription(subscription_);
  rclcpp::WaitSet second;
  EXPECT_EQ(addError(second, subscription_), in_use);
  EXPECT_EQ(addError(*first, subscription_), in_use);
  String out;
  try {
    rclcpp::wait_for_message(out, subscription_, node_->get_node_options().context(), 1ms);
    ADD_FAILURE() << "wait_for_message took a subscription that is in a wait set";
  } catch (const std::runtime_error & e) {
    EXPECT_EQ(std::string(e.what()), in_use);
  }

  first->remove_subscription(subscription_);
  EXPECT_EQ(addError(second, subscription_), "");
  second.remove_subscription(subscription_);
  first->add_subscription(subscription_);
  first.reset();
  EXPECT_EQ(addError(second, subscription_), "");
}

TEST_F(WaitSetTest, waitReportsWhatIsReady)
{
  rclcpp::WaitSet empty;
  EXPECT_EQ(empty.wait(1ms).kind(), rclcpp::WaitResultKind::Empty);

  auto guard_condition = std::make_shared<rclcpp::GuardCondition>();
  rclcpp::WaitSet wait_set({subscription_}, {guard_condition});
  auto timed_out = wait_set.wait(1ms);
  EXPECT_EQ(timed_out.kind(), rclcpp::WaitResultKind::Timeout);
  EXPECT_THROW(timed_out.get_wait_set(), std::runtime_error);

  publisher_->publish(String());
  ASSERT_EQ(wait_set.wait(10s).kind(), rclcpp::WaitResultKind::Ready);
  EXPECT_NE(wait_set.get_rcl_wait_set().subscriptions[0], nullptr);
  EXPECT_EQ(wait_set.get_rcl_wait_set().guard_conditions[0], nullptr);
  String out;
  rclcpp::MessageInfo info;
  ASSERT_TRUE(subscription_->take(out, info));

  guard_condition->trigger();
  ASSERT_EQ(wait_set.wait(10s).kind(), rclcpp::WaitResultKind::Ready);
  EXPECT_EQ(wait_set.get_rcl_wait_set().subscriptions[0], nullptr);
  EXPECT_NE(wait_set.get_rcl_wait_set().guard_conditions[0], nullptr);
  // A trigger is reported to one wait only.
  EXPECT_EQ(wait_set.wait(0s).kind(), rclcpp::WaitResultKind::Timeout);
}
