// wait_for_message: a message arrives, the wait times out, or the context shuts down.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp/wait_for_message.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using std_msgs::msg::String;

class WaitForMessageTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("waiter");
    publisher_ = node_->create_publisher<String>("/wait_topic", 10);
  }
  void TearDown() override
  {
    if (publisher_thread_.joinable()) {
      publisher_thread_.join();
    }
    rclcpp::shutdown();
  }

  void publish_later(const std::string & text)
  {
    publisher_thread_ = std::thread([this, text]() {
        std::this_thread::sleep_for(20ms);
        String msg;
        msg.data = text;
        publisher_->publish(msg);
      });
  }

  std::shared_ptr<rclcpp::Node> node_;
  rclcpp::Publisher<String>::SharedPtr publisher_;
  std::thread publisher_thread_;
};

TEST_F(WaitForMessageTest, ReturnsTheNextMessageOnTheTopic)
{
  publish_later("hello");
  String out;
  EXPECT_TRUE(rclcpp::wait_for_message(out, node_, "/wait_topic", 10s));
  EXPECT_EQ(out.data, "hello");
}

// Humble's node overload subscribes in the node's default group, which an executor spinning the
// node races for the message; a subscription in a group no executor takes is left to the wait.
TEST_F(WaitForMessageTest, WorksWhileTheNodeIsSpunOnASubscriptionNoExecutorTakes)
{
  rclcpp::SubscriptionOptions options;
  options.callback_group =
    node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto subscription = node_->create_subscription<String>(
    "/wait_topic", 1, [](const std::shared_ptr<const String>) {}, options);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  publish_later("spun");
  String out;
  EXPECT_TRUE(
    rclcpp::wait_for_message(out, subscription, node_->get_node_options().context(), 10s));
  EXPECT_EQ(out.data, "spun");
  executor.cancel();
  spinner.join();
}

TEST_F(WaitForMessageTest, SubscriptionOverloadUsesQueuedMessages)
{
  auto subscription = node_->create_subscription<String>(
    "/wait_topic", 10, [](String::ConstSharedPtr) {});
  String msg;
  msg.data = "queued";
  publisher_->publish(msg);
  String out;
  EXPECT_TRUE(rclcpp::wait_for_message(out, subscription, node_->get_node_options().context(), 1s));
  EXPECT_EQ(out.data, "queued");
}

TEST_F(WaitForMessageTest, TimesOutWithoutMessages)
{
  String out;
  out.data = "untouched";
  EXPECT_FALSE(rclcpp::wait_for_message(out, node_, "/wait_topic", 20ms));
  EXPECT_EQ(out.data, "untouched");
}

TEST_F(WaitForMessageTest, ShutdownEndsAnUnboundedWait)
{
  std::thread stopper([]() {
      std::this_thread::sleep_for(20ms);
      rclcpp::shutdown();
    });
  String out;
  EXPECT_FALSE(rclcpp::wait_for_message(out, node_, "/wait_topic"));
  stopper.join();
}

TEST_F(WaitForMessageTest, SubscriptionOverloadTimesOutAndStopsOnShutdown)
{
  auto subscription = node_->create_subscription<String>(
    "/quiet_topic", 10, [](String::ConstSharedPtr) {});
  String out;
  EXPECT_FALSE(
    rclcpp::wait_for_message(out, subscription, node_->get_node_options().context(), 10ms));
  std::thread stopper([]() {
      std::this_thread::sleep_for(20ms);
      rclcpp::shutdown();
    });
  EXPECT_FALSE(rclcpp::wait_for_message(out, subscription, node_->get_node_options().context()));
  stopper.join();
}

// rclcpp 16.0.11 wait_for_message.hpp: every call adds an on-shutdown callback to the context (it
// holds a weak pointer to the call's guard condition) and removes it on no return path.
TEST_F(WaitForMessageTest, EveryCallLeavesItsShutdownCallbackOnTheContext)
{
  auto subscription = node_->create_subscription<String>(
    "/wait_topic", 10, [](String::ConstSharedPtr) {});
  auto context = node_->get_node_options().context();
  const size_t before = context->get_on_shutdown_callbacks().size();
  String msg;
  msg.data = "one";
  publisher_->publish(msg);

  String out;
  EXPECT_TRUE(rclcpp::wait_for_message(out, subscription, context, 1s));
  EXPECT_FALSE(rclcpp::wait_for_message(out, subscription, context, 1ms));
  EXPECT_FALSE(rclcpp::wait_for_message(out, subscription, context, 1ms));

  EXPECT_EQ(context->get_on_shutdown_callbacks().size(), before + 3);
}
