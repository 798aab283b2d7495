// rclcpp::Time and rclcpp::Duration: clock-type rules, message conversions and overflow checks.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <stdexcept>
#include <string>

#include "rclcpp/duration.hpp"
#include "rclcpp/time.hpp"

using rclcpp::Duration;
using rclcpp::Time;

class TimeTest : public ::testing::Test {};

TEST_F(TimeTest, ConstructorsPickTheDocumentedClockTypes)
{
  EXPECT_EQ(Time().get_clock_type(), RCL_SYSTEM_TIME);
  EXPECT_EQ(Time(5, 0).get_clock_type(), RCL_SYSTEM_TIME);
  builtin_interfaces::msg::Time msg;
  msg.sec = 3;
  msg.nanosec = 7;
  const Time from_msg(msg);
  EXPECT_EQ(from_msg.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(from_msg.nanoseconds(), 3000000007LL);
  Time assigned(1, 0, RCL_STEADY_TIME);
  assigned = msg;
  EXPECT_EQ(assigned.get_clock_type(), RCL_ROS_TIME);
}

TEST_F(TimeTest, NegativeSecondsAreRejected)
{
  EXPECT_THROW(Time(-1, 0), std::runtime_error);
  builtin_interfaces::msg::Time msg;
  msg.sec = -2;
  try {
    Time t(msg);
    FAIL() << "negative message time accepted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "cannot store a negative time point in rclcpp::Time");
  }
  EXPECT_EQ(Time(int64_t{-5}, RCL_ROS_TIME).nanoseconds(), -5);
}

TEST_F(TimeTest, MixingClockTypesThrows)
{
  const Time system(1, 0, RCL_SYSTEM_TIME);
  const Time ros(1, 0, RCL_ROS_TIME);
  try {
    (void)(system < ros);
    FAIL() << "comparison across clock types accepted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "can't compare times with different time sources");
  }
  EXPECT_THROW((void)(system == ros), std::runtime_error);
  EXPECT_THROW((void)(system != ros), std::runtime_error);
  try {
    (void)(system - ros);
    FAIL() << "subtraction across clock types accepted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "can't subtract times with different time sources [2 != 1]");
  }
}

TEST_F(TimeTest, ArithmeticKeepsTheClockTypeAndDetectsOverflow)
{
  const Time t(10, 500, RCL_ROS_TIME);
  const Time later = t + Duration(1, 0);
  EXPECT_EQ(later.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ((later - t).nanoseconds(), 1000000000LL);
  EXPECT_EQ((Duration(2, 0) + t).nanoseconds(), 12000000500LL);
  EXPECT_EQ((t - Duration(0, 500)).nanoseconds(), 10000000000LL);
  const Time near_max(std::numeric_limits<int64_t>::max() - 1, RCL_ROS_TIME);
  EXPECT_THROW(near_max + Duration(1, 0), std::overflow_error);
  const Time near_min(std::numeric_limits<int64_t>::min() + 1, RCL_ROS_TIME);
  EXPECT_THROW(near_min - Duration(1, 0), std::underflow_error);
}

TEST_F(TimeTest, MessageConversionFloorsNegativeTimes)
{
  const builtin_interfaces::msg::Time positive = Time(1500000000LL);
  EXPECT_EQ(positive.sec, 1);
  EXPECT_EQ(positive.nanosec, 500000000u);
  const builtin_interfaces::msg::Time negative = Time(-1LL);
  EXPECT_EQ(negative.sec, -1);
  EXPECT_EQ(negative.nanosec, 999999999u);
}

class DurationTest : public ::testing::Test {};

TEST_F(DurationTest, ConvertsFromChronoMessagesAndSeconds)
{
  const Duration from_chrono = std::chrono::milliseconds(1500);
  EXPECT_EQ(from_chrono.nanoseconds(), 1500000000LL);
  EXPECT_DOUBLE_EQ(from_chrono.seconds(), 1.5);
  builtin_interfaces::msg::Duration msg;
  msg.sec = 2;
  msg.nanosec = 1;
  EXPECT_EQ(Duration(msg).nanoseconds(), 2000000001LL);
  EXPECT_EQ(Duration::from_seconds(0.0000000019).nanoseconds(), 1);
  EXPECT_EQ(Duration::from_seconds(-1.5).nanoseconds(), -1500000000LL);
  EXPECT_EQ(from_chrono.to_chrono<std::chrono::milliseconds>().count(), 1500);
}

TEST_F(DurationTest, MessageConversionSaturatesAtInt32Limits)
{
  const builtin_interfaces::msg::Duration huge =
    Duration::from_nanoseconds(std::numeric_limits<int64_t>::max());
  EXPECT_EQ(huge.sec, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(huge.nanosec, 999999999u);
  const builtin_interfaces::msg::Duration tiny =
    Duration::from_nanoseconds(std::numeric_limits<int64_t>::min());
  EXPECT_EQ(tiny.sec, std::numeric_limits<int32_t>::min());
  EXPECT_EQ(tiny.nanosec, 0u);
  const builtin_interfaces::msg::Duration minus_half = Duration::from_seconds(-0.5);
  EXPECT_EQ(minus_half.sec, -1);
  EXPECT_EQ(minus_half.nanosec, 500000000u);
}

TEST_F(DurationTest, RmwConversionRejectsNegativeAndSaturates)
{
  try {
    Duration::from_seconds(-1.0).to_rmw_time();
    FAIL() << "negative duration converted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "rmw_time_t cannot be negative");
  }
  const rmw_time_t rmw = Duration(3, 4).to_rmw_time();
  EXPECT_EQ(rmw.sec, 3u);
  EXPECT_EQ(rmw.nsec, 4u);
  rmw_time_t infinite = RMW_DURATION_INFINITE;
  infinite.sec *= 10;
  EXPECT_EQ(Duration::from_rmw_time(infinite).nanoseconds(), std::numeric_limits<int64_t>::max());
}

TEST_F(DurationTest, ScalingRejectsNonFiniteFactors)
{
  EXPECT_EQ((Duration(1, 0) * 2.5).nanoseconds(), 2500000000LL);
  try {
    (void)(Duration(1, 0) * std::numeric_limits<double>::infinity());
    FAIL() << "infinite scale accepted";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "abnormal scale in rclcpp::Duration");
  }
  EXPECT_EQ(Duration::max().nanoseconds(), 2147483647999999999LL);
}

TEST_F(TimeTest, RclTimePointsAndMaxKeepTheirClockType)
{
  rcl_time_point_t point{42, RCL_STEADY_TIME};
  const Time from_point(point);
  EXPECT_EQ(from_point.nanoseconds(), 42);
  EXPECT_EQ(from_point.get_clock_type(), RCL_STEADY_TIME);
  const Time max = Time::max(RCL_ROS_TIME);
  EXPECT_EQ(max.get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(max.nanoseconds(), 2147483647999999999LL);
  Time accumulating(int64_t{0}, RCL_ROS_TIME);
  accumulating += Duration(1, 0);
  accumulating -= Duration(0, 500000000);
  EXPECT_DOUBLE_EQ(accumulating.seconds(), 0.5);
  EXPECT_TRUE(accumulating < Time(1, 0, RCL_ROS_TIME));
  EXPECT_TRUE(accumulating >= Time(0, 500000000, RCL_ROS_TIME));
}

TEST_F(DurationTest, ArithmeticAndComparisons)
{
  const Duration a(1, 0);
  const Duration b = std::chrono::milliseconds(250);
  EXPECT_EQ((a - b).nanoseconds(), 750000000LL);
  EXPECT_EQ((a + b).seconds(), 1.25);
  EXPECT_TRUE(b < a);
  EXPECT_TRUE(a != b);
  Duration c = a;
  c += b;
  c -= Duration(0, 250000000);
  EXPECT_EQ(c, a);
  EXPECT_EQ(Duration::from_nanoseconds(-5).nanoseconds(), -5);
  rcl_duration_t raw{7};
  EXPECT_EQ(Duration(raw).nanoseconds(), 7);
  EXPECT_THROW(
    Duration::from_nanoseconds(std::numeric_limits<int64_t>::max()) + Duration(0, 1),
    std::overflow_error);
}
