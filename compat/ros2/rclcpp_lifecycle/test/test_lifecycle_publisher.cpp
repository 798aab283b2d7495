// LifecyclePublisher: publishes only while activated, warns once per inactive period, and is
// activated by the default on_activate of the node.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "std_msgs/msg/string.hpp"

using std_msgs::msg::String;
using CallbackReturn = rclcpp_lifecycle::node_interfaces::LifecycleNodeInterface::CallbackReturn;

namespace
{

size_t count_occurrences(const std::string & text, const std::string & needle)
{
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++count;
  }
  return count;
}

// Overrides on_activate without calling the base, as nav2 nodes do.
class OverridingNode : public rclcpp_lifecycle::LifecycleNode
{
public:
  OverridingNode()
  : rclcpp_lifecycle::LifecycleNode("overriding") {}

  CallbackReturn on_activate(const rclcpp_lifecycle::State &) override
  {
    return CallbackReturn::SUCCESS;
  }
};

}  // namespace

class LifecyclePublisherTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    listener_ = std::make_shared<rclcpp::Node>("listener");
    subscription_ = listener_->create_subscription<String>(
      "/managed_topic", 10, [this](const String & msg) {received_.push_back(msg.data);});
  }
  void TearDown() override
  {
    subscription_.reset();
    listener_.reset();
    rclcpp::shutdown();
  }

  void publish(
    const std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<String>> & publisher,
    const std::string & text)
  {
    String msg;
    msg.data = text;
    publisher->publish(msg);
  }

  std::vector<std::string> drain()
  {
    rclcpp::spin_some(listener_);
    rclcpp::spin_some(listener_);
    return received_;
  }

  std::shared_ptr<rclcpp::Node> listener_;
  rclcpp::Subscription<String>::SharedPtr subscription_;
  std::vector<std::string> received_;
};

TEST_F(LifecyclePublisherTest, DropsWhileInactiveWithOneWarningPerInactivePeriod)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("managed");
  auto publisher = node->create_publisher<String>("/managed_topic", 10);
  EXPECT_FALSE(publisher->is_activated());
  testing::internal::CaptureStderr();
  publish(publisher, "dropped 1");
  publish(publisher, "dropped 2");
  node->configure();
  node->activate();
  EXPECT_TRUE(publisher->is_activated());
  publish(publisher, "sent");
  node->deactivate();
  publish(publisher, "dropped 3");
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(
    count_occurrences(
      log, "[LifecyclePublisher]: Trying to publish message on the topic '/managed_topic', "
      "but the publisher is not activated"), 2u) << log;
  EXPECT_EQ(drain(), std::vector<std::string>{"sent"});
}

TEST_F(LifecyclePublisherTest, WarningIsRearmedByActivation)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("managed");
  auto publisher = node->create_publisher<String>("/managed_topic", 10);
  testing::internal::CaptureStderr();
  publish(publisher, "a");
  publisher->on_activate();
  publisher->on_deactivate();
  publish(publisher, "b");
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_occurrences(log, "but the publisher is not activated"), 2u) << log;
}

TEST_F(LifecyclePublisherTest, OverridingOnActivateWithoutTheBaseLeavesPublishersInactive)
{
  auto node = std::make_shared<OverridingNode>();
  auto publisher = node->create_publisher<String>("/managed_topic", 10);
  node->configure();
  node->activate();
  EXPECT_EQ(node->get_current_state().label(), "active");
  EXPECT_FALSE(publisher->is_activated());
  publisher->on_activate();
  publish(publisher, "manual");
  EXPECT_EQ(drain(), std::vector<std::string>{"manual"});
}

TEST_F(LifecyclePublisherTest, UniquePtrPublishFollowsActivationToo)
{
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("managed");
  auto publisher = node->create_publisher<String>("/managed_topic", 10);
  testing::internal::CaptureStderr();
  auto dropped = std::make_unique<String>();
  dropped->data = "dropped";
  publisher->publish(std::move(dropped));
  testing::internal::GetCapturedStderr();
  node->configure();
  node->activate();
  auto sent = std::make_unique<String>();
  sent->data = "sent";
  publisher->publish(std::move(sent));
  EXPECT_EQ(drain(), std::vector<std::string>{"sent"});
  EXPECT_EQ(publisher->get_subscription_count(), 1u);
}
