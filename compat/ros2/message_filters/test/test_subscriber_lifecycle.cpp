// A subscriber over a lifecycle node, as the product's front end uses it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "message_filters/subscriber.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "std_msgs/msg/string.hpp"

namespace
{

using Msg = std_msgs::msg::String;
using namespace std::chrono_literals;

class LifecycleSubscriberTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lifecycle_sub");
    executor_.add_node(node_->get_node_base_interface());
  }

  // Also after a set-up that failed half-way.
  void TearDown() override
  {
    if (node_) {
      executor_.remove_node(node_->get_node_base_interface());
      node_.reset();
    }
    rclcpp::shutdown();
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
};

TEST_F(LifecycleSubscriberTest, resubscribedSubscriberReceivesOnALifecycleNode)
{
  auto publisher_node = std::make_shared<rclcpp::Node>("lifecycle_pub");
  auto pub = publisher_node->create_publisher<Msg>("lifecycle_chatter", 10);
  message_filters::Subscriber<Msg, rclcpp_lifecycle::LifecycleNode> sub(
    node_, "lifecycle_chatter", rmw_qos_profile_default, rclcpp::SubscriptionOptions());
  std::vector<std::string> received;
  sub.registerCallback(
    [&](const std::shared_ptr<Msg const> & msg) {received.push_back(msg->data);});
  sub.unsubscribe();
  Msg dropped;
  dropped.data = "while unsubscribed";
  pub->publish(dropped);
  executor_.spin_some(50ms);
  sub.subscribe();

  Msg msg;
  msg.data = "managed";
  pub->publish(msg);

  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (received.empty() && std::chrono::steady_clock::now() < deadline) {
    executor_.spin_once(50ms);
  }
  ASSERT_EQ(received, std::vector<std::string>{"managed"});
}

}  // namespace
