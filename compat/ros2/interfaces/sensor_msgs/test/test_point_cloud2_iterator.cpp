// Behaviour of the header-only PointCloud2 helpers, case by case as Humble's sensor_msgs has them.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstddef>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "sensor_msgs/point_cloud2_iterator.hpp"

namespace
{

using sensor_msgs::msg::PointCloud2;
using sensor_msgs::msg::PointField;

std::string messageOf(const std::function<void()> & action)
{
  try {
    action();
  } catch (const std::runtime_error & e) {
    return e.what();
  }
  return "(no exception)";
}

class PointCloud2ModifierTest : public ::testing::Test
{
protected:
  PointCloud2 cloud_;
  sensor_msgs::PointCloud2Modifier modifier_{cloud_};
};

class PointCloud2IteratorTest : public ::testing::Test
{
protected:
  // Four points of xyz + rgb, written through the mutable iterators.
  void SetUp() override
  {
    sensor_msgs::PointCloud2Modifier modifier(cloud_);
    modifier.setPointCloud2FieldsByString(2, "xyz", "rgb");
    modifier.resize(kPoints);
    sensor_msgs::PointCloud2Iterator<float> x(cloud_, "x");
    sensor_msgs::PointCloud2Iterator<float> y(cloud_, "y");
    sensor_msgs::PointCloud2Iterator<float> z(cloud_, "z");
    sensor_msgs::PointCloud2Iterator<uint8_t> r(cloud_, "r");
    sensor_msgs::PointCloud2Iterator<uint8_t> g(cloud_, "g");
    sensor_msgs::PointCloud2Iterator<uint8_t> b(cloud_, "b");
    for (size_t i = 0; i < kPoints; ++i, ++x, ++y, ++z, ++r, ++g, ++b) {
      *x = 1.0f + static_cast<float>(i);
      *y = 10.0f + static_cast<float>(i);
      *z = 100.0f + static_cast<float>(i);
      *r = static_cast<uint8_t>(10 + i);
      *g = static_cast<uint8_t>(20 + i);
      *b = static_cast<uint8_t>(30 + i);
    }
  }

  static constexpr size_t kPoints = 4;
  PointCloud2 cloud_;
};

// --- Layout set by field strings -----------------------------------------------------------

TEST_F(PointCloud2ModifierTest, XyzAndRgbArePaddedToSixteenBytesEach)
{
  modifier_.setPointCloud2FieldsByString(2, "xyz", "rgb");

  ASSERT_EQ(cloud_.fields.size(), 4u);
  const char * names[] = {"x", "y", "z", "rgb"};
  const uint32_t offsets[] = {0, 4, 8, 16};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(cloud_.fields[i].name, names[i]);
    EXPECT_EQ(cloud_.fields[i].offset, offsets[i]);
    EXPECT_EQ(cloud_.fields[i].datatype, PointField::FLOAT32);
    EXPECT_EQ(cloud_.fields[i].count, 1u);
  }
  EXPECT_EQ(cloud_.point_step, 32u);
  EXPECT_EQ(cloud_.row_step, 0u);
  EXPECT_TRUE(cloud_.data.empty());
}

TEST_F(PointCloud2ModifierTest, XyzAloneTakesSixteenBytes)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  EXPECT_EQ(cloud_.fields.size(), 3u);
  EXPECT_EQ(cloud_.point_step, 16u);
}

TEST_F(PointCloud2ModifierTest, RgbaIsOneFieldOfItsOwnName)
{
  modifier_.setPointCloud2FieldsByString(2, "rgba", "xyz");
  ASSERT_EQ(cloud_.fields.size(), 4u);
  EXPECT_EQ(cloud_.fields[0].name, "rgba");
  EXPECT_EQ(cloud_.fields[0].offset, 0u);
  EXPECT_EQ(cloud_.fields[1].name, "x");
  EXPECT_EQ(cloud_.fields[1].offset, 16u);
  EXPECT_EQ(cloud_.point_step, 32u);
}

TEST_F(PointCloud2ModifierTest, UnknownFieldStringIsRejectedByName)
{
  EXPECT_EQ(
    messageOf([this] {modifier_.setPointCloud2FieldsByString(2, "xyz", "normal");}),
    "Field normal does not exist");
}

TEST_F(PointCloud2ModifierTest, SettingFieldsReplacesThePreviousOnes)
{
  modifier_.setPointCloud2FieldsByString(2, "xyz", "rgb");
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  EXPECT_EQ(cloud_.fields.size(), 3u);
  EXPECT_EQ(cloud_.point_step, 16u);
}

TEST_F(PointCloud2ModifierTest, SettingFieldsResizesDataToTheCloudShape)
{
  cloud_.height = 2;
  cloud_.width = 3;
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  EXPECT_EQ(cloud_.row_step, 3u * 16u);
  EXPECT_EQ(cloud_.data.size(), 2u * 3u * 16u);
  EXPECT_EQ(modifier_.size(), 6u);
}

// --- Layout set by explicit triplets -------------------------------------------------------

TEST_F(PointCloud2ModifierTest, ExplicitFieldsArePackedWithoutPadding)
{
  modifier_.setPointCloud2Fields(
    4, "x", 1, PointField::FLOAT32, "intensity", 1, PointField::UINT16,
    "ring", 2, PointField::UINT8, "t", 1, PointField::FLOAT64);

  ASSERT_EQ(cloud_.fields.size(), 4u);
  EXPECT_EQ(cloud_.fields[0].offset, 0u);
  EXPECT_EQ(cloud_.fields[1].offset, 4u);
  EXPECT_EQ(cloud_.fields[1].datatype, PointField::UINT16);
  EXPECT_EQ(cloud_.fields[2].offset, 6u);
  EXPECT_EQ(cloud_.fields[2].count, 2u);
  EXPECT_EQ(cloud_.fields[3].offset, 8u);
  EXPECT_EQ(cloud_.point_step, 16u);
}

TEST_F(PointCloud2ModifierTest, EveryDatatypeHasItsSize)
{
  modifier_.setPointCloud2Fields(
    8, "a", 1, PointField::INT8, "b", 1, PointField::UINT8, "c", 1, PointField::INT16,
    "d", 1, PointField::UINT16, "e", 1, PointField::INT32, "f", 1, PointField::UINT32,
    "g", 1, PointField::FLOAT32, "h", 1, PointField::FLOAT64);
  EXPECT_EQ(cloud_.point_step, 1u + 1u + 2u + 2u + 4u + 4u + 4u + 8u);
}

TEST_F(PointCloud2ModifierTest, UnknownDatatypeIsRejectedByNumber)
{
  EXPECT_EQ(
    messageOf([this] {modifier_.setPointCloud2Fields(1, "x", 1, 42);}),
    "PointField of type 42 does not exist");
}

// --- Size, resize, reserve and clear -------------------------------------------------------

TEST_F(PointCloud2ModifierTest, ResizeOfAnUnorganisedCloudSetsWidthAndRowStep)
{
  modifier_.setPointCloud2FieldsByString(2, "xyz", "rgb");
  modifier_.resize(5);
  EXPECT_EQ(cloud_.height, 1u);
  EXPECT_EQ(cloud_.width, 5u);
  EXPECT_EQ(cloud_.row_step, 5u * 32u);
  EXPECT_EQ(cloud_.data.size(), 5u * 32u);
  EXPECT_EQ(modifier_.size(), 5u);

  modifier_.resize(2);
  EXPECT_EQ(cloud_.height, 1u);
  EXPECT_EQ(cloud_.width, 2u);
  EXPECT_EQ(modifier_.size(), 2u);
}

TEST_F(PointCloud2ModifierTest, ResizeOfAColumnCloudSetsHeight)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  cloud_.height = 3;
  cloud_.width = 1;
  cloud_.row_step = 16;
  modifier_.resize(7);
  EXPECT_EQ(cloud_.height, 7u);
  EXPECT_EQ(cloud_.width, 1u);
  EXPECT_EQ(cloud_.row_step, 16u);
  EXPECT_EQ(cloud_.data.size(), 7u * 16u);
}

TEST_F(PointCloud2ModifierTest, ResizeOfAnOrganisedCloudFlattensIt)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  cloud_.height = 3;
  cloud_.width = 4;
  modifier_.resize(6);
  EXPECT_EQ(cloud_.height, 1u);
  EXPECT_EQ(cloud_.width, 6u);
  EXPECT_EQ(cloud_.row_step, 6u * 16u);
}

TEST_F(PointCloud2ModifierTest, ReserveMakesRoomForPoints)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  modifier_.reserve(10);
  EXPECT_GE(cloud_.data.capacity(), 10u * 16u);
  EXPECT_EQ(modifier_.size(), 0u);
}

TEST_F(PointCloud2ModifierTest, ClearOfAnUnorganisedCloudZeroesWidthAndRowStep)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  modifier_.resize(4);
  modifier_.clear();
  EXPECT_TRUE(cloud_.data.empty());
  EXPECT_EQ(cloud_.height, 1u);
  EXPECT_EQ(cloud_.width, 0u);
  EXPECT_EQ(cloud_.row_step, 0u);
  EXPECT_EQ(cloud_.point_step, 16u);
  EXPECT_EQ(cloud_.fields.size(), 3u);
}

TEST_F(PointCloud2ModifierTest, ClearOfAColumnCloudZeroesHeight)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  cloud_.height = 3;
  cloud_.width = 1;
  cloud_.row_step = 16;
  modifier_.clear();
  EXPECT_EQ(cloud_.height, 0u);
  EXPECT_EQ(cloud_.width, 1u);
  EXPECT_EQ(cloud_.row_step, 16u);
}

TEST_F(PointCloud2ModifierTest, ClearOfAnOrganisedCloudZeroesItsShape)
{
  modifier_.setPointCloud2FieldsByString(1, "xyz");
  cloud_.height = 3;
  cloud_.width = 4;
  cloud_.row_step = 64;
  modifier_.clear();
  EXPECT_EQ(cloud_.height, 0u);
  EXPECT_EQ(cloud_.width, 0u);
  EXPECT_EQ(cloud_.row_step, 0u);
}

// --- Iteration ----------------------------------------------------------------------------

TEST_F(PointCloud2IteratorTest, ConstIteratorsReadBackWhatWasWritten)
{
  const PointCloud2 & cloud = cloud_;
  sensor_msgs::PointCloud2ConstIterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2ConstIterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2ConstIterator<float> z(cloud, "z");
  sensor_msgs::PointCloud2ConstIterator<uint8_t> r(cloud, "r");
  sensor_msgs::PointCloud2ConstIterator<uint8_t> g(cloud, "g");
  sensor_msgs::PointCloud2ConstIterator<uint8_t> b(cloud, "b");
  size_t n = 0;
  for (; x != x.end(); ++x, ++y, ++z, ++r, ++g, ++b, ++n) {
    EXPECT_FLOAT_EQ(*x, 1.0f + static_cast<float>(n));
    EXPECT_FLOAT_EQ(*y, 10.0f + static_cast<float>(n));
    EXPECT_FLOAT_EQ(*z, 100.0f + static_cast<float>(n));
    EXPECT_EQ(*r, static_cast<uint8_t>(10 + n));
    EXPECT_EQ(*g, static_cast<uint8_t>(20 + n));
    EXPECT_EQ(*b, static_cast<uint8_t>(30 + n));
  }
  EXPECT_EQ(n, kPoints);
}

TEST_F(PointCloud2IteratorTest, IndexingReachesTheFollowingValuesOfThePoint)
{
  sensor_msgs::PointCloud2ConstIterator<float> it(cloud_, "x");
  ++it;
  EXPECT_FLOAT_EQ(it[0], 2.0f);
  EXPECT_FLOAT_EQ(it[1], 11.0f);
  EXPECT_FLOAT_EQ(it[2], 101.0f);
}

TEST_F(PointCloud2IteratorTest, EachStepAdvancesOnePointStep)
{
  sensor_msgs::PointCloud2ConstIterator<float> it(cloud_, "x");
  const float * first = &*it;
  ++it;
  EXPECT_EQ(
    reinterpret_cast<const uint8_t *>(&*it) - reinterpret_cast<const uint8_t *>(first),
    static_cast<std::ptrdiff_t>(cloud_.point_step));
  EXPECT_EQ(reinterpret_cast<const uint8_t *>(first), cloud_.data.data());
}

TEST_F(PointCloud2IteratorTest, AdditionSkipsPointsWithoutMovingTheOriginal)
{
  sensor_msgs::PointCloud2Iterator<float> it(cloud_, "z");
  sensor_msgs::PointCloud2Iterator<float> third = it + 2;
  EXPECT_FLOAT_EQ(*third, 102.0f);
  EXPECT_FLOAT_EQ(*it, 100.0f);
  it += 3;
  EXPECT_FLOAT_EQ(*it, 103.0f);
  ++it;
  EXPECT_FALSE(it != it.end());
}

TEST_F(PointCloud2IteratorTest, AssignmentCopiesThePosition)
{
  sensor_msgs::PointCloud2Iterator<float> a(cloud_, "y");
  sensor_msgs::PointCloud2Iterator<float> b(cloud_, "y");
  ++b;
  a = b;
  EXPECT_FALSE(a != b);
  EXPECT_FLOAT_EQ(*a, 11.0f);
}

TEST_F(PointCloud2IteratorTest, WritesLandInTheMessageBytes)
{
  sensor_msgs::PointCloud2Iterator<float> y(cloud_, "y");
  y += 1;
  *y = -5.5f;
  float stored = 0.0f;
  std::memcpy(&stored, &cloud_.data[1 * cloud_.point_step + 4], sizeof(float));
  EXPECT_FLOAT_EQ(stored, -5.5f);
}

TEST_F(PointCloud2IteratorTest, LittleEndianColoursArePackedBgr)
{
  // bytes of the rgb float: b at +0, g at +1, r at +2
  EXPECT_EQ(cloud_.data[16], 30);
  EXPECT_EQ(cloud_.data[17], 20);
  EXPECT_EQ(cloud_.data[18], 10);
  sensor_msgs::PointCloud2ConstIterator<uint8_t> rgb(cloud_, "rgb");
  EXPECT_EQ(rgb[0], 30);
  EXPECT_EQ(rgb[2], 10);
}

TEST_F(PointCloud2IteratorTest, BigEndianCloudsShiftTheColourBytes)
{
  cloud_.is_bigendian = true;
  cloud_.data[16] = 1;
  cloud_.data[17] = 2;
  cloud_.data[18] = 3;
  cloud_.data[19] = 4;
  EXPECT_EQ(*sensor_msgs::PointCloud2ConstIterator<uint8_t>(cloud_, "a"), 1);
  EXPECT_EQ(*sensor_msgs::PointCloud2ConstIterator<uint8_t>(cloud_, "r"), 2);
  EXPECT_EQ(*sensor_msgs::PointCloud2ConstIterator<uint8_t>(cloud_, "g"), 3);
  EXPECT_EQ(*sensor_msgs::PointCloud2ConstIterator<uint8_t>(cloud_, "b"), 4);
}

TEST(PointCloud2RgbaTest, AlphaIsTheFourthByteOnLittleEndian)
{
  PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(2, "xyz", "rgba");
  modifier.resize(1);
  cloud.data[16 + 3] = 77;
  EXPECT_EQ(*sensor_msgs::PointCloud2ConstIterator<uint8_t>(cloud, "a"), 77);
}

TEST_F(PointCloud2IteratorTest, MissingFieldIsRejectedByName)
{
  EXPECT_EQ(
    messageOf([this] {sensor_msgs::PointCloud2Iterator<float> it(cloud_, "intensity");}),
    "Field intensity does not exist");
  EXPECT_EQ(
    messageOf([this] {sensor_msgs::PointCloud2ConstIterator<float> it(cloud_, "X");}),
    "Field X does not exist");
}

TEST(PointCloud2ColourChannelTest, ChannelWithoutAColourFieldIsRejected)
{
  PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(2);
  EXPECT_EQ(
    messageOf([&cloud] {sensor_msgs::PointCloud2ConstIterator<uint8_t> it(cloud, "r");}),
    "Field r does not exist");
}

TEST(PointCloud2ExplicitLayoutTest, IteratesFieldsAtTheirPackedOffsets)
{
  PointCloud2 cloud;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2Fields(
    2, "intensity", 1, PointField::FLOAT32, "ring", 1, PointField::UINT16);
  modifier.resize(3);
  EXPECT_EQ(cloud.point_step, 6u);
  sensor_msgs::PointCloud2Iterator<uint16_t> ring(cloud, "ring");
  for (uint16_t i = 0; ring != ring.end(); ++ring, ++i) {
    *ring = static_cast<uint16_t>(100 + i);
  }
  EXPECT_EQ(cloud.data[4], 100);
  EXPECT_EQ(cloud.data[10], 101);
  EXPECT_EQ(cloud.data[16], 102);
}

}  // namespace
