// The semantic cloud messages: field order and types as the consumers rely on, and a frame built
// the way the camera driver fills it, read back the way the observation buffer reads it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "geometry_msgs/msg/point32.hpp"
#include "quorvane_protocol/msg/semantic_cloud.hpp"
#include "quorvane_protocol/msg/semantic_point_cloud.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace
{

using quorvane_protocol::msg::SemanticCloud;
using quorvane_protocol::msg::SemanticPointCloud;

// Positions of the given keys in the message's YAML form, which lists fields in declaration order.
std::vector<size_t> keyPositions(const std::string & yaml, const std::vector<std::string> & keys)
{
  std::vector<size_t> positions;
  for (const auto & key : keys) {
    positions.push_back(yaml.find(key + ":"));
  }
  return positions;
}

void expectAscending(const std::vector<size_t> & positions)
{
  for (size_t i = 0; i < positions.size(); ++i) {
    EXPECT_NE(positions[i], std::string::npos) << "field " << i << " missing";
    if (i > 0) {
      EXPECT_LT(positions[i - 1], positions[i]) << "field " << i << " out of order";
    }
  }
}

TEST(SemanticPointCloudLayout, FieldsHaveTheProtocolTypes)
{
  SemanticPointCloud msg;
  static_assert(std::is_same_v<decltype(msg.header), std_msgs::msg::Header>);
  static_assert(std::is_same_v<decltype(msg.clouds), std::vector<SemanticCloud>>);
  static_assert(std::is_same_v<decltype(msg.source), uint8_t>);
  static_assert(std::is_same_v<decltype(msg.shape), geometry_msgs::msg::Polygon>);
  static_assert(std::is_same_v<decltype(msg.shape.points), std::vector<geometry_msgs::msg::Point32>>);

  SemanticCloud cloud;
  static_assert(std::is_same_v<decltype(cloud.category), uint32_t>);
  static_assert(std::is_same_v<decltype(cloud.instance_id), uint32_t>);
  static_assert(std::is_same_v<decltype(cloud.is_polygon), uint8_t>);
  static_assert(std::is_same_v<decltype(cloud.cloud), sensor_msgs::msg::PointCloud2>);
  SUCCEED();
}

TEST(SemanticPointCloudLayout, FieldsAreDeclaredInProtocolOrder)
{
  SemanticPointCloud msg;
  msg.clouds.resize(1);
  expectAscending(
    keyPositions(quorvane_protocol::msg::to_yaml(msg), {"header", "clouds", "source", "shape"}));
  expectAscending(
    keyPositions(
      quorvane_protocol::msg::to_yaml(msg.clouds[0]),
      {"category", "instance_id", "is_polygon", "cloud"}));
}

TEST(SemanticPointCloudLayout, DefaultsAreZeroAndEmpty)
{
  SemanticPointCloud msg;
  EXPECT_EQ(msg.header.frame_id, "");
  EXPECT_TRUE(msg.clouds.empty());
  EXPECT_EQ(msg.source, 0u);
  EXPECT_TRUE(msg.shape.points.empty());

  SemanticCloud cloud;
  EXPECT_EQ(cloud.category, 0u);
  EXPECT_EQ(cloud.instance_id, 0u);
  EXPECT_EQ(cloud.is_polygon, 0u);
  EXPECT_TRUE(cloud.cloud.data.empty());
}

TEST(SemanticPointCloudContent, PointsWrittenByTheDriverReadBackThroughIterators)
{
  SemanticPointCloud msg;
  msg.header.frame_id = "camera_depth_optical_frame";
  msg.header.stamp.sec = 12;
  msg.source = 2;
  for (float x : {1.0f, 2.0f}) {
    geometry_msgs::msg::Point32 corner;
    corner.x = x;
    corner.z = 3.0f;
    msg.shape.points.push_back(corner);
  }

  SemanticCloud entry;
  entry.category = 7;
  entry.instance_id = 41;
  entry.is_polygon = 1;
  sensor_msgs::PointCloud2Modifier modifier(entry.cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(3);
  sensor_msgs::PointCloud2Iterator<float> out(entry.cloud, "x");
  for (int i = 0; out != out.end(); ++out, ++i) {
    out[0] = 0.5f * static_cast<float>(i);
    out[1] = -1.0f;
    out[2] = 0.25f;
  }
  msg.clouds.push_back(entry);

  const SemanticPointCloud copy = msg;
  ASSERT_EQ(copy.clouds.size(), 1u);
  EXPECT_EQ(copy.clouds[0].category, 7u);
  EXPECT_EQ(copy.clouds[0].is_polygon, 1u);
  std::vector<float> xs;
  sensor_msgs::PointCloud2ConstIterator<float> x(copy.clouds[0].cloud, "x");
  sensor_msgs::PointCloud2ConstIterator<float> y(copy.clouds[0].cloud, "y");
  sensor_msgs::PointCloud2ConstIterator<float> z(copy.clouds[0].cloud, "z");
  for (; x != x.end(); ++x, ++y, ++z) {
    xs.push_back(*x);
    EXPECT_FLOAT_EQ(*y, -1.0f);
    EXPECT_FLOAT_EQ(*z, 0.25f);
  }
  EXPECT_EQ(xs, (std::vector<float>{0.0f, 0.5f, 1.0f}));
  EXPECT_EQ(copy.shape.points.size(), 2u);
  EXPECT_TRUE(copy == msg);
}

}  // namespace
