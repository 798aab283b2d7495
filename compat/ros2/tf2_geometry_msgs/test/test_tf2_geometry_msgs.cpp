#include <gtest/gtest.h>

#include <cmath>

#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

class Tf2GeometryMsgsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // map <- base: base sits at (1, 2, 0.5) in map, turned +90 deg about z.
    transform_.header.frame_id = "map";
    transform_.header.stamp.sec = 42;
    transform_.header.stamp.nanosec = 500;
    transform_.child_frame_id = "base";
    transform_.transform.translation.x = 1.0;
    transform_.transform.translation.y = 2.0;
    transform_.transform.translation.z = 0.5;
    transform_.transform.rotation.z = std::sin(M_PI / 4);
    transform_.transform.rotation.w = std::cos(M_PI / 4);
  }

  static geometry_msgs::msg::Quaternion yawQuaternion(double yaw)
  {
    geometry_msgs::msg::Quaternion q;
    q.z = std::sin(yaw / 2);
    q.w = std::cos(yaw / 2);
    return q;
  }

  geometry_msgs::msg::TransformStamped transform_;
};

// ---- doTransform -------------------------------------------------------------------------

TEST_F(Tf2GeometryMsgsTest, PointIsRotatedThenTranslated)
{
  geometry_msgs::msg::Point in;
  in.x = 1.0;
  geometry_msgs::msg::Point out;
  tf2::doTransform(in, out, transform_);
  EXPECT_NEAR(out.x, 1.0, 1e-12);
  EXPECT_NEAR(out.y, 3.0, 1e-12);
  EXPECT_NEAR(out.z, 0.5, 1e-12);
}

TEST_F(Tf2GeometryMsgsTest, Point32KeepsFloatPrecision)
{
  geometry_msgs::msg::Point32 in;
  in.y = 2.0f;
  geometry_msgs::msg::Point32 out;
  tf2::doTransform(in, out, transform_);
  EXPECT_FLOAT_EQ(out.x, -1.0f);
  EXPECT_FLOAT_EQ(out.y, 2.0f);
}

TEST_F(Tf2GeometryMsgsTest, VectorIsOnlyRotated)
{
  geometry_msgs::msg::Vector3 in;
  in.x = 1.0;
  geometry_msgs::msg::Vector3 out;
  tf2::doTransform(in, out, transform_);
  EXPECT_NEAR(out.x, 0.0, 1e-12);
  EXPECT_NEAR(out.y, 1.0, 1e-12);
  EXPECT_NEAR(out.z, 0.0, 1e-12);
}

TEST_F(Tf2GeometryMsgsTest, PoseStampedTakesTheTransformHeader)
{
  geometry_msgs::msg::PoseStamped in;
  in.header.frame_id = "base";
  in.pose.position.x = 2.0;
  in.pose.orientation = yawQuaternion(0.3);
  geometry_msgs::msg::PoseStamped out;
  tf2::doTransform(in, out, transform_);
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_EQ(out.header.stamp, transform_.header.stamp);
  EXPECT_NEAR(out.pose.position.x, 1.0, 1e-12);
  EXPECT_NEAR(out.pose.position.y, 4.0, 1e-12);
  EXPECT_NEAR(tf2::getYaw(out.pose.orientation), M_PI / 2 + 0.3, 1e-12);
}

TEST_F(Tf2GeometryMsgsTest, QuaternionIsComposedWithTheRotation)
{
  geometry_msgs::msg::Quaternion out;
  tf2::doTransform(yawQuaternion(0.5), out, transform_);
  EXPECT_NEAR(tf2::getYaw(out), M_PI / 2 + 0.5, 1e-12);
}

TEST_F(Tf2GeometryMsgsTest, TransformStampedComposesAndKeepsItsChild)
{
  geometry_msgs::msg::TransformStamped in;
  in.header.frame_id = "base";
  in.child_frame_id = "laser";
  in.transform.translation.x = 0.5;
  in.transform.rotation = yawQuaternion(M_PI / 2);
  geometry_msgs::msg::TransformStamped out;
  out.child_frame_id = "unchanged";
  tf2::doTransform(in, out, transform_);
  EXPECT_EQ(out.header.frame_id, "map");
  EXPECT_EQ(out.child_frame_id, "unchanged");
  EXPECT_NEAR(out.transform.translation.x, 1.0, 1e-12);
  EXPECT_NEAR(out.transform.translation.y, 2.5, 1e-12);
  EXPECT_NEAR(std::fabs(tf2::getYaw(out.transform.rotation)), M_PI, 1e-9);
}

TEST_F(Tf2GeometryMsgsTest, PolygonStampedMovesEveryVertex)
{
  geometry_msgs::msg::PolygonStamped in;
  for (float x : {0.0f, 1.0f}) {
    geometry_msgs::msg::Point32 p;
    p.x = x;
    in.polygon.points.push_back(p);
  }
  geometry_msgs::msg::PolygonStamped out;
  out.polygon.points.resize(5);
  tf2::doTransform(in, out, transform_);
  ASSERT_EQ(out.polygon.points.size(), 2u);
  EXPECT_FLOAT_EQ(out.polygon.points[1].y, 3.0f);
  EXPECT_EQ(out.header.frame_id, "map");
}

// ---- conversions -------------------------------------------------------------------------

TEST_F(Tf2GeometryMsgsTest, ConvertDispatchesBetweenMessagesAndTf2Types)
{
  tf2::Transform t;
  tf2::convert(transform_.transform, t);
  EXPECT_DOUBLE_EQ(t.getOrigin().y(), 2.0);
  const tf2::Vector3 moved = t * tf2::Vector3(1, 0, 0);
  EXPECT_NEAR(moved.y(), 3.0, 1e-12);

  tf2::Quaternion q;
  q.setRPY(0, 0, 1.0);
  geometry_msgs::msg::Quaternion msg;
  tf2::convert(q, msg);
  EXPECT_DOUBLE_EQ(msg.z, q.z());
  EXPECT_DOUBLE_EQ(msg.w, q.w());
}

TEST_F(Tf2GeometryMsgsTest, PoseAndTransformRoundTrip)
{
  geometry_msgs::msg::Pose pose;
  pose.position.x = 3.0;
  pose.position.z = -1.0;
  pose.orientation = yawQuaternion(-0.7);
  tf2::Transform t;
  tf2::fromMsg(pose, t);
  geometry_msgs::msg::Pose back;
  tf2::toMsg(t, back);
  EXPECT_DOUBLE_EQ(back.position.x, 3.0);
  EXPECT_DOUBLE_EQ(back.position.z, -1.0);
  EXPECT_NEAR(tf2::getYaw(back.orientation), -0.7, 1e-12);

  const geometry_msgs::msg::Transform as_msg = tf2::toMsg(t);
  EXPECT_DOUBLE_EQ(as_msg.translation.x, 3.0);
}

TEST_F(Tf2GeometryMsgsTest, StampedTransformCarriesStampAndFrame)
{
  tf2::Stamped<tf2::Transform> stamped;
  tf2::fromMsg(transform_, stamped);
  EXPECT_EQ(stamped.frame_id_, "map");
  EXPECT_EQ(stamped.stamp_.time_since_epoch().count(), 42000000500LL);
  const geometry_msgs::msg::TransformStamped back = tf2::toMsg(stamped);
  EXPECT_EQ(back.header, transform_.header);
  EXPECT_DOUBLE_EQ(back.transform.translation.x, 1.0);
  EXPECT_EQ(tf2::getTimestamp(transform_), stamped.stamp_);
  EXPECT_EQ(tf2::getFrameId(transform_), "map");
}

TEST_F(Tf2GeometryMsgsTest, PointConversionsWriteIntoTheGivenMessage)
{
  geometry_msgs::msg::Point p;
  const geometry_msgs::msg::Point & ref = tf2::toMsg(tf2::Vector3(1, 2, 3), p);
  EXPECT_EQ(&ref, &p);
  EXPECT_DOUBLE_EQ(p.z, 3.0);
  tf2::Vector3 v;
  tf2::fromMsg(p, v);
  EXPECT_DOUBLE_EQ(v.y(), 2.0);
}
