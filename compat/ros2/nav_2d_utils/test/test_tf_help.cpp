// Copyright (c) 2026 Quorvane
// Licensed under the BSD-3-Clause License

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "nav_2d_utils/tf_help.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"

namespace
{

class TransformPoseTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    clock_ = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
    buffer_ = std::make_shared<tf2_ros::Buffer>(clock_);
    // odom sits at (1, 0) in map, turned a quarter turn; one sample at t = 10 s.
    geometry_msgs::msg::TransformStamped t;
    t.header.frame_id = "map";
    t.header.stamp = rclcpp::Time(10, 0, RCL_ROS_TIME);
    t.child_frame_id = "odom";
    t.transform.translation.x = 1.0;
    tf2::Quaternion q;
    q.setRPY(0.0, 0.0, M_PI_2);
    t.transform.rotation = tf2::toMsg(q);
    buffer_->setTransform(t, "test");
  }

  static geometry_msgs::msg::PoseStamped poseInOdom(double x, double y, const rclcpp::Time & stamp)
  {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "odom";
    pose.header.stamp = stamp;
    pose.pose.position.x = x;
    pose.pose.position.y = y;
    return pose;
  }

  rclcpp::Clock::SharedPtr clock_;
  std::shared_ptr<tf2_ros::Buffer> buffer_;
  rclcpp::Duration tolerance_{1, 0};
};

TEST_F(TransformPoseTest, SameFrameIsCopied)
{
  auto in = poseInOdom(5.0, 6.0, rclcpp::Time(99, 0, RCL_ROS_TIME));
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(nav_2d_utils::transformPose(buffer_, "odom", in, out, tolerance_));
  EXPECT_EQ(out, in);
}

TEST_F(TransformPoseTest, TransformsAtThePoseStamp)
{
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(
    nav_2d_utils::transformPose(
      buffer_, "map", poseInOdom(2.0, 0.0, rclcpp::Time(10, 0, RCL_ROS_TIME)), out, tolerance_));
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_NEAR(out.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(out.pose.position.y, 2.0, 1e-9);
  EXPECT_NEAR(tf2::getYaw(out.pose.orientation), M_PI_2, 1e-9);
}

TEST_F(TransformPoseTest, InputAndOutputMayBeTheSamePose)
{
  auto pose = poseInOdom(2.0, 0.0, rclcpp::Time(10, 0, RCL_ROS_TIME));
  ASSERT_TRUE(nav_2d_utils::transformPose(buffer_, "map", pose, pose, tolerance_));
  EXPECT_EQ(pose.header.frame_id, "map");
  EXPECT_NEAR(pose.pose.position.x, 1.0, 1e-9);
  EXPECT_NEAR(pose.pose.position.y, 2.0, 1e-9);
}

TEST_F(TransformPoseTest, SlightlyNewerPoseUsesTheLatestTransform)
{
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(
    nav_2d_utils::transformPose(
      buffer_, "map", poseInOdom(0.0, 1.0, rclcpp::Time(10, 500000000, RCL_ROS_TIME)), out,
      tolerance_));
  EXPECT_NEAR(out.pose.position.x, 0.0, 1e-9);
  EXPECT_NEAR(out.pose.position.y, 0.0, 1e-9);
}

TEST_F(TransformPoseTest, PoseNewerThanTheToleranceFails)
{
  geometry_msgs::msg::PoseStamped out;
  EXPECT_FALSE(
    nav_2d_utils::transformPose(
      buffer_, "map", poseInOdom(0.0, 1.0, rclcpp::Time(12, 0, RCL_ROS_TIME)), out, tolerance_));
}

TEST_F(TransformPoseTest, UnknownFrameFails)
{
  auto in = poseInOdom(0.0, 0.0, rclcpp::Time(10, 0, RCL_ROS_TIME));
  in.header.frame_id = "nowhere";
  geometry_msgs::msg::PoseStamped out;
  EXPECT_FALSE(nav_2d_utils::transformPose(buffer_, "map", in, out, tolerance_));
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
