// Behaviour of the listener and broadcasters over the in-process /tf and /tf_static topics.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"
#include "transform_fixtures.hpp"

namespace
{

using tf2_ros_test::makeTransform;
using namespace std::chrono_literals;

class TransformListenerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    listener_node_ = std::make_shared<rclcpp::Node>("listener_test");
    broadcaster_node_ = std::make_shared<rclcpp::Node>("broadcaster_test");
    buffer_ = std::make_unique<tf2_ros::Buffer>(listener_node_->get_clock());
  }

  void TearDown() override
  {
    buffer_.reset();
    listener_node_.reset();
    broadcaster_node_.reset();
    rclcpp::shutdown();
  }

  // Waits, within a generous limit, until the buffer has received the transform.
  bool arrives(const std::string & parent, const std::string & child, double seconds)
  {
    return buffer_->canTransform(
      parent, child, tf2::timeFromSec(seconds), tf2::durationFromSec(10.0));
  }

  double xOf(const std::string & parent, const std::string & child, double seconds)
  {
    return buffer_->lookupTransform(parent, child, tf2::timeFromSec(seconds))
           .transform.translation.x;
  }

  rclcpp::Node::SharedPtr listener_node_;
  rclcpp::Node::SharedPtr broadcaster_node_;
  std::unique_ptr<tf2_ros::Buffer> buffer_;
};

TEST_F(TransformListenerTest, broadcastTransformReachesTheBufferThroughTheListenerThread)
{
  tf2_ros::TransformListener listener(*buffer_, listener_node_);
  EXPECT_TRUE(buffer_->isUsingDedicatedThread());
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);

  broadcaster.sendTransform(makeTransform("odom", "base_link", 3.0, 1.25));

  ASSERT_TRUE(arrives("odom", "base_link", 3.0));
  EXPECT_DOUBLE_EQ(xOf("odom", "base_link", 3.0), 1.25);
}

TEST_F(TransformListenerTest, oneBroadcastCarriesSeveralTransformsInOneMessage)
{
  std::vector<size_t> message_sizes;
  auto sub = listener_node_->create_subscription<tf2_msgs::msg::TFMessage>(
    "/tf", 10, [&](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
      message_sizes.push_back(msg->transforms.size());
    });
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);

  broadcaster.sendTransform(
    std::vector<geometry_msgs::msg::TransformStamped>{
      makeTransform("map", "odom", 1.0, 0.0), makeTransform("odom", "base_link", 1.0, 0.0)});

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener_node_);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (message_sizes.empty() && std::chrono::steady_clock::now() < deadline) {
    executor.spin_once(50ms);
  }
  ASSERT_EQ(message_sizes.size(), 1u);
  EXPECT_EQ(message_sizes.front(), 2u);
}

TEST_F(TransformListenerTest, staticTransformsReachAListenerStartedLater)
{
  tf2_ros::StaticTransformBroadcaster broadcaster(broadcaster_node_);
  broadcaster.sendTransform(makeTransform("base_link", "camera", 0.0, 0.3));
  broadcaster.sendTransform(makeTransform("base_link", "laser", 0.0, 0.1));

  tf2_ros::TransformListener listener(*buffer_, listener_node_);

  ASSERT_TRUE(arrives("base_link", "camera", 0.0));
  ASSERT_TRUE(arrives("base_link", "laser", 0.0));
  // Static transforms hold at every time.
  EXPECT_DOUBLE_EQ(xOf("base_link", "camera", 1234.5), 0.3);
  EXPECT_DOUBLE_EQ(xOf("base_link", "laser", 1234.5), 0.1);
}

TEST_F(TransformListenerTest, resentStaticTransformReplacesTheEarlierOne)
{
  tf2_ros::StaticTransformBroadcaster broadcaster(broadcaster_node_);
  broadcaster.sendTransform(makeTransform("base_link", "camera", 0.0, 0.3));
  broadcaster.sendTransform(makeTransform("base_link", "laser", 0.0, 0.1));
  broadcaster.sendTransform(makeTransform("base_link", "camera", 0.0, 0.7));

  tf2_ros::TransformListener listener(*buffer_, listener_node_);

  ASSERT_TRUE(arrives("base_link", "camera", 0.0));
  ASSERT_TRUE(arrives("base_link", "laser", 0.0));
  EXPECT_DOUBLE_EQ(xOf("base_link", "camera", 0.0), 0.7);
}

TEST_F(TransformListenerTest, withoutItsOwnThreadTheListenerWaitsForTheNodeToBeSpun)
{
  tf2_ros::TransformListener listener(*buffer_, listener_node_, false);
  EXPECT_FALSE(buffer_->isUsingDedicatedThread());
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);

  broadcaster.sendTransform(makeTransform("odom", "base_link", 2.0, 0.5));
  EXPECT_FALSE(buffer_->canTransform("odom", "base_link", tf2::timeFromSec(2.0)));

  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(listener_node_);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!buffer_->canTransform("odom", "base_link", tf2::timeFromSec(2.0)) &&
    std::chrono::steady_clock::now() < deadline)
  {
    executor.spin_once(50ms);
  }
  EXPECT_DOUBLE_EQ(xOf("odom", "base_link", 2.0), 0.5);
}

TEST_F(TransformListenerTest, listenerWithoutANodeCreatesItsOwn)
{
  tf2_ros::TransformListener listener(*buffer_);
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);

  broadcaster.sendTransform(makeTransform("map", "odom", 4.0, -2.0));

  ASSERT_TRUE(arrives("map", "odom", 4.0));
  EXPECT_DOUBLE_EQ(xOf("map", "odom", 4.0), -2.0);
}

TEST_F(TransformListenerTest, invalidTransformIsRejectedWithoutStoppingTheListener)
{
  tf2_ros::TransformListener listener(*buffer_, listener_node_);
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);

  broadcaster.sendTransform(makeTransform("odom", "odom", 1.0, 0.0));
  broadcaster.sendTransform(makeTransform("odom", "base_link", 1.0, 0.25));

  ASSERT_TRUE(arrives("odom", "base_link", 1.0));
  EXPECT_DOUBLE_EQ(xOf("odom", "base_link", 1.0), 0.25);
}

TEST_F(TransformListenerTest, listenersComeAndGoWhileTransformsFlow)
{
  tf2_ros::TransformBroadcaster broadcaster(broadcaster_node_);
  for (int i = 0; i < 20; ++i) {
    tf2_ros::TransformListener listener(*buffer_, listener_node_);
    broadcaster.sendTransform(makeTransform("odom", "base_link", 10.0 + i, i));
  }
  tf2_ros::TransformListener listener(*buffer_, listener_node_);
  broadcaster.sendTransform(makeTransform("odom", "base_link", 40.0, 40.0));
  ASSERT_TRUE(arrives("odom", "base_link", 40.0));
  EXPECT_DOUBLE_EQ(xOf("odom", "base_link", 40.0), 40.0);
}

}  // namespace
