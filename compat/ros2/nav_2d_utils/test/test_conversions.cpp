// Copyright (c) 2026 Quorvane
// Licensed under the BSD-3-Clause License

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "nav_2d_utils/conversions.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace
{

class ConversionsTest : public ::testing::Test
{
protected:
  static geometry_msgs::msg::Pose makePose(double x, double y, double z, double yaw)
  {
    geometry_msgs::msg::Pose pose;
    pose.position.x = x;
    pose.position.y = y;
    pose.position.z = z;
    tf2::Quaternion q;
    q.setRPY(0.0, 0.0, yaw);
    pose.orientation = tf2::toMsg(q);
    return pose;
  }
};

TEST_F(ConversionsTest, PoseToPose2DKeepsPlanarPositionAndYaw)
{
  const auto pose2d = nav_2d_utils::poseToPose2D(makePose(1.5, -2.0, 7.0, 2.5));
  EXPECT_DOUBLE_EQ(pose2d.x, 1.5);
  EXPECT_DOUBLE_EQ(pose2d.y, -2.0);
  EXPECT_NEAR(pose2d.theta, 2.5, 1e-12);
}

TEST_F(ConversionsTest, PoseToPose2DTakesYawOfANonNormalisedQuaternion)
{
  geometry_msgs::msg::Pose pose;
  pose.orientation.z = 2.0;
  pose.orientation.w = 2.0;
  EXPECT_NEAR(nav_2d_utils::poseToPose2D(pose).theta, M_PI_2, 1e-12);
}

TEST_F(ConversionsTest, DefaultOrientationHasZeroHeading)
{
  EXPECT_DOUBLE_EQ(nav_2d_utils::poseToPose2D(geometry_msgs::msg::Pose()).theta, 0.0);
}

TEST_F(ConversionsTest, Pose2DToPoseRoundTrips)
{
  geometry_msgs::msg::Pose2D pose2d;
  pose2d.x = 3.0;
  pose2d.y = 4.0;
  pose2d.theta = -1.2;
  const auto pose = nav_2d_utils::pose2DToPose(pose2d);
  EXPECT_DOUBLE_EQ(pose.position.z, 0.0);
  const auto back = nav_2d_utils::poseToPose2D(pose);
  EXPECT_DOUBLE_EQ(back.x, 3.0);
  EXPECT_DOUBLE_EQ(back.y, 4.0);
  EXPECT_NEAR(back.theta, -1.2, 1e-12);
}

TEST_F(ConversionsTest, Poses2DToPathStampsEveryPose)
{
  std::vector<geometry_msgs::msg::Pose2D> poses(3);
  poses[2].x = 9.0;
  const rclcpp::Time stamp(42, 7, RCL_ROS_TIME);
  const auto path = nav_2d_utils::poses2DToPath(poses, "odom", stamp);
  EXPECT_EQ(path.header.frame_id, "odom");
  ASSERT_EQ(path.poses.size(), 3u);
  for (const auto & pose : path.poses) {
    EXPECT_EQ(pose.header.frame_id, "odom");
    EXPECT_EQ(pose.header.stamp.sec, 42);
    EXPECT_EQ(pose.header.stamp.nanosec, 7u);
  }
  EXPECT_DOUBLE_EQ(path.poses[2].pose.position.x, 9.0);
}

TEST_F(ConversionsTest, PosesToPathTakesTheFirstHeader)
{
  std::vector<geometry_msgs::msg::PoseStamped> poses(2);
  poses[0].header.frame_id = "map";
  poses[1].header.frame_id = "other";
  EXPECT_EQ(nav_2d_utils::posesToPath(poses).header.frame_id, "map");
  EXPECT_TRUE(nav_2d_utils::posesToPath({}).poses.empty());
}

}  // namespace
