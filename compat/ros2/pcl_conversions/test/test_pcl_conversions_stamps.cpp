#include <gtest/gtest.h>

#include <cstdint>

#include "pcl_conversions/pcl_conversions.h"
#include "rclcpp/time.hpp"

class PclConversionsStampTest : public ::testing::Test
{
};

TEST_F(PclConversionsStampTest, MicrosecondsBecomeSystemClockNanoseconds)
{
  const rclcpp::Time stamp = pcl_conversions::fromPCL(static_cast<std::uint64_t>(1500000123));
  EXPECT_EQ(stamp.nanoseconds(), 1500000123000LL);
  EXPECT_EQ(stamp.get_clock_type(), RCL_SYSTEM_TIME);
}

TEST_F(PclConversionsStampTest, NanosecondsAreTruncatedToMicroseconds)
{
  const rclcpp::Time stamp(1999LL, RCL_ROS_TIME);
  EXPECT_EQ(pcl_conversions::toPCL(stamp), 1u);
  std::uint64_t pcl_stamp = 0;
  pcl_conversions::toPCL(rclcpp::Time(12, 345678999, RCL_ROS_TIME), pcl_stamp);
  EXPECT_EQ(pcl_stamp, 12345678ULL);
}
