// tf2_ros on a lifecycle node, the way the product wires it: a listener on the node, and a
// subscriber feeding a MessageFilter built from the node's logging and clock interfaces.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "message_filters/subscriber.h"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/create_timer_ros.h"
#include "tf2_ros/message_filter.h"
#include "tf2_ros/transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"
#include "transform_fixtures.hpp"

namespace
{

using Msg = geometry_msgs::msg::PoseStamped;
using tf2_ros_test::makeTransform;
using tf2_ros_test::stampAt;
using namespace std::chrono_literals;

class LifecycleNodeUseTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>("lifecycle_tf_user");
    other_node_ = std::make_shared<rclcpp::Node>("lifecycle_tf_peer");
    buffer_ = std::make_unique<tf2_ros::Buffer>(node_->get_clock());
    buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
  }

  void TearDown() override
  {
    buffer_.reset();
    other_node_.reset();
    node_.reset();
    rclcpp::shutdown();
  }

  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  rclcpp::Node::SharedPtr other_node_;
  std::unique_ptr<tf2_ros::Buffer> buffer_;
};

TEST_F(LifecycleNodeUseTest, listenerOnALifecycleNodeFillsTheBuffer)
{
  tf2_ros::TransformListener listener(*buffer_, node_);
  tf2_ros::TransformBroadcaster broadcaster(other_node_);

  broadcaster.sendTransform(makeTransform("map", "odom", 4.0, 9.0));

  ASSERT_TRUE(
    buffer_->canTransform("map", "odom", tf2::timeFromSec(4.0), tf2::durationFromSec(10.0)));
  EXPECT_DOUBLE_EQ(
    buffer_->lookupTransform("map", "odom", tf2::timeFromSec(4.0)).transform.translation.x, 9.0);
}

TEST_F(LifecycleNodeUseTest, subscriberFeedsAFilterThatWaitsForTheTransform)
{
  tf2_ros_test::SpinningThread spinner(node_->get_node_base_interface());
  tf2_ros::TransformListener listener(*buffer_, node_);
  rmw_qos_profile_t qos = rmw_qos_profile_sensor_data;
  qos.depth = 10;
  message_filters::Subscriber<Msg, rclcpp_lifecycle::LifecycleNode> subscriber(
    node_, "poses", qos, rclcpp::SubscriptionOptions());
  tf2_ros::MessageFilter<Msg> filter(
    subscriber, *buffer_, "map", 5, node_->get_node_logging_interface(),
    node_->get_node_clock_interface(), tf2::durationFromSec(5.0));
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<double> delivered;
  filter.registerCallback(
    [&](const std::shared_ptr<Msg const> & msg) {
      std::lock_guard<std::mutex> lock(mutex);
      delivered.push_back(msg->pose.position.x);
      cv.notify_all();
    });

  auto publisher = other_node_->create_publisher<Msg>("poses", rclcpp::SensorDataQoS());
  Msg msg;
  msg.header.frame_id = "base_link";
  msg.header.stamp = stampAt(3.0);
  msg.pose.position.x = 11.0;
  publisher->publish(msg);
  tf2_ros::TransformBroadcaster broadcaster(other_node_);
  broadcaster.sendTransform(makeTransform("map", "base_link", 3.0, 0.0));

  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(cv.wait_for(lock, 10s, [&] {return !delivered.empty();}));
  EXPECT_EQ(delivered, std::vector<double>{11.0});
}

}  // namespace
