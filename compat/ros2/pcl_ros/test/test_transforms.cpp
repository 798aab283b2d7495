#include <gtest/gtest.h>

#include <pcl/point_types.h>

#include <cmath>
#include <limits>

#include "pcl_conversions/pcl_conversions.h"
#include "pcl_ros/transforms.hpp"

class TransformsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // parent <- child: the child sits at (1, -2, 0.5) in the parent, turned +90 deg about z.
    tf2::Quaternion q;
    q.setRPY(0.0, 0.0, M_PI / 2);
    transform_ = tf2::Transform(q, tf2::Vector3(1.0, -2.0, 0.5));
  }

  static void expectMatrixNear(const Eigen::Matrix4f & a, const Eigen::Matrix4f & b)
  {
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        EXPECT_NEAR(a(r, c), b(r, c), 1e-6) << "at (" << r << ", " << c << ")";
      }
    }
  }

  tf2::Transform transform_;
};

// ---- transformAsMatrix -------------------------------------------------------------------

TEST_F(TransformsTest, MatrixOfAYawAndTranslationMatchesTheHandComputedOne)
{
  Eigen::Matrix4f expected;
  expected << 0, -1, 0, 1,
    1, 0, 0, -2,
    0, 0, 1, 0.5,
    0, 0, 0, 1;
  Eigen::Matrix4f m;
  pcl_ros::transformAsMatrix(transform_, m);
  expectMatrixNear(m, expected);
}

TEST_F(TransformsTest, MatrixOfAGeneralRotation)
{
  // Rotation of 120 deg about (1, 1, 1): cyclic permutation x -> y -> z -> x.
  const tf2::Quaternion q(tf2::Vector3(1, 1, 1), 2 * M_PI / 3);
  Eigen::Matrix4f expected;
  expected << 0, 0, 1, 3,
    1, 0, 0, 4,
    0, 1, 0, 5,
    0, 0, 0, 1;
  Eigen::Matrix4f m;
  pcl_ros::transformAsMatrix(tf2::Transform(q, tf2::Vector3(3, 4, 5)), m);
  expectMatrixNear(m, expected);
}

TEST_F(TransformsTest, StampedOverloadIgnoresFramesAndMapsChildPointsToParent)
{
  geometry_msgs::msg::TransformStamped stamped;
  stamped.header.frame_id = "odom";
  stamped.child_frame_id = "camera";
  stamped.transform.translation.x = 1.0;
  stamped.transform.translation.y = -2.0;
  stamped.transform.translation.z = 0.5;
  stamped.transform.rotation.z = std::sin(M_PI / 4);
  stamped.transform.rotation.w = std::cos(M_PI / 4);
  Eigen::Matrix4f from_stamped;
  Eigen::Matrix4f from_tf2;
  pcl_ros::transformAsMatrix(stamped, from_stamped);
  pcl_ros::transformAsMatrix(transform_, from_tf2);
  expectMatrixNear(from_stamped, from_tf2);
  const Eigen::Vector4f p = from_stamped * Eigen::Vector4f(2.0f, 0.0f, 0.0f, 1.0f);
  EXPECT_NEAR(p.x(), 1.0f, 1e-6);
  EXPECT_NEAR(p.y(), 0.0f, 1e-6);
  EXPECT_NEAR(p.z(), 0.5f, 1e-6);
}

// ---- point clouds ------------------------------------------------------------------------

TEST_F(TransformsTest, CloudMessageIsTransformedAndRelabelled)
{
  pcl::PointCloud<pcl::PointXYZI> cloud;
  pcl::PointXYZI p;
  p.x = 2.0f;
  p.y = 0.0f;
  p.z = 0.0f;
  p.intensity = 7.0f;
  cloud.push_back(p);
  p.x = std::numeric_limits<float>::quiet_NaN();
  cloud.push_back(p);
  sensor_msgs::msg::PointCloud2 in;
  pcl::toROSMsg(cloud, in);
  in.header.frame_id = "camera";
  sensor_msgs::msg::PointCloud2 out;
  pcl_ros::transformPointCloud("odom", transform_, in, out);
  EXPECT_EQ(out.header.frame_id, "odom");
  pcl::PointCloud<pcl::PointXYZI> back;
  pcl::fromROSMsg(out, back);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_NEAR(back[0].x, 1.0f, 1e-6);
  EXPECT_NEAR(back[0].y, 0.0f, 1e-6);
  EXPECT_NEAR(back[0].z, 0.5f, 1e-6);
  EXPECT_FLOAT_EQ(back[0].intensity, 7.0f);
  EXPECT_TRUE(std::isnan(back[1].x));
}

TEST_F(TransformsTest, CloudWithoutXyzIsLeftUntouched)
{
  sensor_msgs::msg::PointCloud2 in;
  sensor_msgs::msg::PointField field;
  field.name = "intensity";
  field.datatype = sensor_msgs::msg::PointField::FLOAT32;
  field.count = 1;
  in.fields.push_back(field);
  sensor_msgs::msg::PointCloud2 out;
  out.header.frame_id = "before";
  Eigen::Matrix4f m = Eigen::Matrix4f::Identity();
  pcl_ros::transformPointCloud(m, in, out);
  EXPECT_EQ(out.header.frame_id, "before");
}

TEST_F(TransformsTest, PclCloudTemplateUsesTheSameMatrix)
{
  pcl::PointCloud<pcl::PointXYZ> in;
  in.push_back(pcl::PointXYZ(0.0f, 1.0f, 0.0f));
  pcl::PointCloud<pcl::PointXYZ> out;
  pcl_ros::transformPointCloud(in, out, transform_);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_NEAR(out[0].x, 0.0f, 1e-6);
  EXPECT_NEAR(out[0].y, -2.0f, 1e-6);
}
