#include <gtest/gtest.h>

#include <pcl/point_types.h>

#include <cstring>
#include <string>

#include "pcl_conversions/pcl_conversions.h"

class PclConversionsTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    cloud_.header.frame_id = "camera";
    cloud_.header.stamp = 1700000000123456ULL;  // microseconds
    cloud_.push_back(pcl::PointXYZ(1.0f, 2.0f, 3.0f));
    cloud_.push_back(pcl::PointXYZ(-4.5f, 0.25f, 9.0f));
    cloud_.push_back(pcl::PointXYZ(0.0f, -1.0f, 0.5f));
    cloud_.is_dense = false;
  }

  pcl::PointCloud<pcl::PointXYZ> cloud_;
};

// ---- point clouds ------------------------------------------------------------------------

TEST_F(PclConversionsTest, ToRosMsgDescribesXyzFloatFields)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud_, msg);
  EXPECT_EQ(msg.width, 3u);
  EXPECT_EQ(msg.height, 1u);
  EXPECT_FALSE(msg.is_dense);
  EXPECT_EQ(pcl::getFieldsList(msg), "x y z");
  for (const auto & field : msg.fields) {
    EXPECT_EQ(field.datatype, sensor_msgs::msg::PointField::FLOAT32);
    EXPECT_EQ(field.count, 1u);
  }
  EXPECT_EQ(msg.data.size(), static_cast<size_t>(msg.point_step) * 3);
  EXPECT_EQ(msg.row_step, msg.point_step * 3);
  float y1;
  std::memcpy(&y1, &msg.data[msg.point_step + msg.fields[1].offset], sizeof(float));
  EXPECT_FLOAT_EQ(y1, 0.25f);
}

TEST_F(PclConversionsTest, HeaderCrossesWithMicrosecondsBecomingNanoseconds)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud_, msg);
  EXPECT_EQ(msg.header.frame_id, "camera");
  EXPECT_EQ(msg.header.stamp.sec, 1700000000);
  EXPECT_EQ(msg.header.stamp.nanosec, 123456000u);
}

TEST_F(PclConversionsTest, RoundTripKeepsEveryPoint)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud_, msg);
  pcl::PointCloud<pcl::PointXYZ> back;
  pcl::fromROSMsg(msg, back);
  ASSERT_EQ(back.size(), cloud_.size());
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_FLOAT_EQ(back[i].x, cloud_[i].x);
    EXPECT_FLOAT_EQ(back[i].y, cloud_[i].y);
    EXPECT_FLOAT_EQ(back[i].z, cloud_[i].z);
  }
  EXPECT_EQ(back.header.frame_id, "camera");
  EXPECT_EQ(back.header.stamp, cloud_.header.stamp);
}

TEST_F(PclConversionsTest, FromRosMsgMatchesFieldsByName)
{
  pcl::PointCloud<pcl::PointXYZI> with_intensity;
  pcl::PointXYZI p;
  p.x = 7.0f;
  p.y = 8.0f;
  p.z = 9.0f;
  p.intensity = 42.0f;
  with_intensity.push_back(p);
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(with_intensity, msg);
  EXPECT_EQ(pcl::getFieldIndex(msg, "intensity"), 3);
  EXPECT_EQ(pcl::getFieldIndex(msg, "rgb"), -1);

  pcl::PointCloud<pcl::PointXYZ> xyz;
  pcl::fromROSMsg(msg, xyz);
  ASSERT_EQ(xyz.size(), 1u);
  EXPECT_FLOAT_EQ(xyz[0].z, 9.0f);
}

TEST_F(PclConversionsTest, MoveFromRosMsgTakesTheData)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud_, msg);
  pcl::PointCloud<pcl::PointXYZ> back;
  pcl::moveFromROSMsg(msg, back);
  EXPECT_EQ(back.size(), 3u);
  EXPECT_TRUE(msg.data.empty());
}

TEST_F(PclConversionsTest, ConcatenateAppendsPointsOfMatchingClouds)
{
  sensor_msgs::msg::PointCloud2 a;
  sensor_msgs::msg::PointCloud2 b;
  pcl::toROSMsg(cloud_, a);
  pcl::toROSMsg(cloud_, b);
  sensor_msgs::msg::PointCloud2 out;
  ASSERT_TRUE(pcl::concatenatePointCloud(a, b, out));
  EXPECT_EQ(out.width, 6u);
  EXPECT_EQ(out.height, 1u);
  EXPECT_EQ(out.data.size(), a.data.size() * 2);

  pcl::PointCloud<pcl::PointXYZI> other;
  other.push_back(pcl::PointXYZI());
  pcl::toROSMsg(other, b);
  EXPECT_FALSE(pcl::concatenatePointCloud(a, b, out));
}

// ---- PCL structs -------------------------------------------------------------------------

TEST_F(PclConversionsTest, HeaderConversionTruncatesToMicroseconds)
{
  std_msgs::msg::Header header;
  header.frame_id = "map";
  header.stamp.sec = 12;
  header.stamp.nanosec = 345678999;
  const pcl::PCLHeader pcl_header = pcl_conversions::toPCL(header);
  EXPECT_EQ(pcl_header.stamp, 12345678ULL);
  EXPECT_EQ(pcl_header.seq, 0u);
  EXPECT_EQ(pcl_header.frame_id, "map");
  const std_msgs::msg::Header back = pcl_conversions::fromPCL(pcl_header);
  EXPECT_EQ(back.stamp.sec, 12);
  EXPECT_EQ(back.stamp.nanosec, 345678000u);
  EXPECT_EQ(back.frame_id, "map");
}

TEST_F(PclConversionsTest, PointFieldsCopyEveryMember)
{
  sensor_msgs::msg::PointField field;
  field.name = "intensity";
  field.offset = 16;
  field.datatype = sensor_msgs::msg::PointField::UINT16;
  field.count = 2;
  pcl::PCLPointField pcl_field;
  pcl_conversions::toPCL(field, pcl_field);
  sensor_msgs::msg::PointField back;
  pcl_conversions::fromPCL(pcl_field, back);
  EXPECT_EQ(back, field);
}

TEST_F(PclConversionsTest, PclPointCloud2RoundTripAndMove)
{
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud_, msg);
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::toPCL(msg, pcl_pc2);
  EXPECT_EQ(pcl_pc2.data, msg.data);
  sensor_msgs::msg::PointCloud2 back;
  pcl_conversions::fromPCL(pcl_pc2, back);
  EXPECT_EQ(back, msg);
  sensor_msgs::msg::PointCloud2 moved;
  pcl_conversions::moveFromPCL(pcl_pc2, moved);
  EXPECT_TRUE(pcl_pc2.data.empty());
  EXPECT_EQ(moved, msg);
}

TEST_F(PclConversionsTest, ImageRoundTrip)
{
  sensor_msgs::msg::Image image;
  image.header.frame_id = "cam";
  image.height = 2;
  image.width = 3;
  image.encoding = "mono8";
  image.step = 3;
  image.data = {1, 2, 3, 4, 5, 6};
  pcl::PCLImage pcl_image;
  pcl_conversions::toPCL(image, pcl_image);
  sensor_msgs::msg::Image back;
  pcl_conversions::fromPCL(pcl_image, back);
  EXPECT_EQ(back, image);
}
