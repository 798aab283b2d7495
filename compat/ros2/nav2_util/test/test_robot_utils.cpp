// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "nav2_util/robot_utils.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"

namespace
{

geometry_msgs::msg::TransformStamped makeTransform(
  const std::string & parent, const std::string & child,
  double x, double y, double yaw, const rclcpp::Time & stamp)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp = stamp;
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.translation.y = y;
  tf2::Quaternion q;
  q.setRPY(0.0, 0.0, yaw);
  t.transform.rotation = tf2::toMsg(q);
  return t;
}

class RobotUtilsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    node_ = std::make_shared<rclcpp::Node>("robot_utils_test");
    buffer_ = std::make_shared<tf2_ros::Buffer>(node_->get_clock());
    // Lookups with a time-out expect someone else to fill the buffer, as a listener would.
    buffer_->setUsingDedicatedThread(true);
    stamp_ = rclcpp::Time(100, 0, RCL_ROS_TIME);
    buffer_->setTransform(makeTransform("map", "odom", 1.0, 2.0, M_PI_2, stamp_), "test", true);
    buffer_->setTransform(makeTransform("odom", "base_link", 1.0, 0.0, 0.0, stamp_), "test");
  }

  rclcpp::Node::SharedPtr node_;
  std::shared_ptr<tf2_ros::Buffer> buffer_;
  rclcpp::Time stamp_{0, 0, RCL_ROS_TIME};
};

TEST_F(RobotUtilsTest, CurrentPoseIsTheRobotOriginInTheGlobalFrame)
{
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_, "map", "base_link", 0.1));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 3.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), M_PI_2, 1e-9);
  EXPECT_EQ(rclcpp::Time(pose.header.stamp).nanoseconds(), stamp_.nanoseconds());
}

TEST_F(RobotUtilsTest, CurrentPoseOverwritesWhateverThePoseHeld)
{
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = 50.0;
  pose.pose.orientation = tf2::toMsg(tf2::Quaternion(0.0, 0.0, 1.0, 0.0));
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer_, "odom", "base_link", 0.1));
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(pose.pose.orientation), 0.0, 1e-9);
}

TEST_F(RobotUtilsTest, CurrentPoseFailsForAnUnknownRobotFrame)
{
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(nav2_util::getCurrentPose(pose, *buffer_, "map", "no_such_frame", 0.05));
}

TEST_F(RobotUtilsTest, CurrentPoseFailsWhenDataIsNotYetAtTheStamp)
{
  geometry_msgs::msg::PoseStamped pose;
  EXPECT_FALSE(
    nav2_util::getCurrentPose(
      pose, *buffer_, "map", "base_link", 0.05, rclcpp::Time(200, 0, RCL_ROS_TIME)));
}

TEST_F(RobotUtilsTest, TransformsAPoseIntoTheTargetFrame)
{
  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "base_link";
  in.header.stamp = stamp_;
  in.pose.position.x = 2.0;
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(nav2_util::transformPoseInTargetFrame(in, out, *buffer_, "map"));
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_NEAR(out.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(out.pose.position.y, 5.0, 1e-9);
}

TEST_F(RobotUtilsTest, TransformFailsBetweenDisconnectedTrees)
{
  buffer_->setTransform(makeTransform("world", "island", 0.0, 0.0, 0.0, stamp_), "test", true);
  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "island";
  geometry_msgs::msg::PoseStamped out;
  EXPECT_FALSE(nav2_util::transformPoseInTargetFrame(in, out, *buffer_, "map", 0.05));
}

TEST_F(RobotUtilsTest, GetTransformIsIdentityForEqualFrames)
{
  tf2::Transform transform;
  ASSERT_TRUE(
    nav2_util::getTransform("nowhere", "nowhere", tf2::durationFromSec(0.1), buffer_, transform));
  EXPECT_NEAR(transform.getOrigin().length(), 0.0, 1e-12);
  EXPECT_NEAR(transform.getRotation().getW(), 1.0, 1e-12);
}

TEST_F(RobotUtilsTest, GetTransformMapsSourceIntoTarget)
{
  tf2::Transform transform;
  ASSERT_TRUE(
    nav2_util::getTransform("base_link", "map", tf2::durationFromSec(0.1), buffer_, transform));
  const tf2::Vector3 robot_origin_in_map = transform * tf2::Vector3(0.0, 0.0, 0.0);
  EXPECT_NEAR(robot_origin_in_map.x(), 1.0, 1e-9);
  EXPECT_NEAR(robot_origin_in_map.y(), 3.0, 1e-9);
  EXPECT_FALSE(
    nav2_util::getTransform("base_link", "elsewhere", tf2::durationFromSec(0.05), buffer_,
    transform));
}

class RobotUtilsListenerTest : public ::testing::Test {};

TEST_F(RobotUtilsListenerTest, CurrentPoseFromTransformsPublishedOnTf)
{
  auto node = std::make_shared<rclcpp::Node>("robot_utils_listener_test");
  auto buffer = std::make_shared<tf2_ros::Buffer>(node->get_clock());
  tf2_ros::TransformListener listener(*buffer);
  tf2_ros::StaticTransformBroadcaster broadcaster(node);
  broadcaster.sendTransform(
    makeTransform("map", "base_link", -3.0, 4.0, 0.0, rclcpp::Time(5, 0, RCL_ROS_TIME)));

  ASSERT_TRUE(buffer->canTransform("map", "base_link", tf2::TimePointZero, tf2::durationFromSec(30)));
  geometry_msgs::msg::PoseStamped pose;
  ASSERT_TRUE(nav2_util::getCurrentPose(pose, *buffer, "map", "base_link", 0.1));
  EXPECT_NEAR(pose.pose.position.x, -3.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 4.0, 1e-9);
}

class ValidateTwistTest : public ::testing::Test {};

TEST_F(ValidateTwistTest, RejectsNonFiniteComponents)
{
  geometry_msgs::msg::Twist twist;
  twist.linear.x = 0.5;
  EXPECT_TRUE(nav2_util::validateTwist(twist));
  twist.angular.z = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(nav2_util::validateTwist(twist));
  twist.angular.z = 0.0;
  twist.linear.y = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(nav2_util::validateTwist(twist));
}

}  // namespace

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  rclcpp::init(argc, argv);
  const int result = RUN_ALL_TESTS();
  rclcpp::shutdown();
  return result;
}
