// rclcpp::Clock: clock types, the ROS time override, jump callbacks and interruptible sleeps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "rclcpp/clock.hpp"
#include "rclcpp/utilities.hpp"

using namespace std::chrono_literals;

class ClockTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
  }
  void TearDown() override
  {
    rclcpp::shutdown();
  }

  static void set_ros_time(rclcpp::Clock & clock, int64_t ns)
  {
    ASSERT_EQ(rcl_set_ros_time_override(clock.get_clock_handle(), ns), RCL_RET_OK);
  }
};

TEST_F(ClockTest, NowCarriesTheClockType)
{
  EXPECT_EQ(rclcpp::Clock().now().get_clock_type(), RCL_SYSTEM_TIME);
  EXPECT_EQ(rclcpp::Clock(RCL_STEADY_TIME).now().get_clock_type(), RCL_STEADY_TIME);
  rclcpp::Clock ros(RCL_ROS_TIME);
  EXPECT_EQ(ros.now().get_clock_type(), RCL_ROS_TIME);
  EXPECT_GT(ros.now().nanoseconds(), 0);
  EXPECT_FALSE(ros.ros_time_is_active());
}

TEST_F(ClockTest, RosTimeOverrideReplacesSystemTime)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  ASSERT_EQ(rcl_enable_ros_time_override(ros.get_clock_handle()), RCL_RET_OK);
  EXPECT_TRUE(ros.ros_time_is_active());
  EXPECT_EQ(ros.now().nanoseconds(), 0);
  EXPECT_FALSE(ros.started());
  set_ros_time(ros, 42);
  EXPECT_EQ(ros.now().nanoseconds(), 42);
  EXPECT_TRUE(ros.started());
  rclcpp::Clock system;
  EXPECT_EQ(rcl_enable_ros_time_override(system.get_clock_handle()), RCL_RET_ERROR);
}

TEST_F(ClockTest, JumpCallbacksFireOnActivationAndLargeSteps)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  std::vector<rcl_clock_change_t> changes;
  std::vector<int64_t> deltas;
  int pre_calls = 0;
  rcl_jump_threshold_t threshold{true, {1000}, {-1}};
  auto handler = ros.create_jump_callback(
    [&]() {++pre_calls;},
    [&](const rcl_time_jump_t & jump) {
      changes.push_back(jump.clock_change);
      deltas.push_back(jump.delta.nanoseconds);
    }, threshold);
  rcl_enable_ros_time_override(ros.get_clock_handle());
  set_ros_time(ros, 5000);
  set_ros_time(ros, 5500);
  set_ros_time(ros, 4000);
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0], RCL_ROS_TIME_ACTIVATED);
  EXPECT_EQ(changes[1], RCL_ROS_TIME_NO_CHANGE);
  EXPECT_EQ(deltas[1], 5000);
  EXPECT_EQ(deltas[2], -1500);
  EXPECT_EQ(pre_calls, 3);
  handler.reset();
  set_ros_time(ros, 100000);
  EXPECT_EQ(changes.size(), 3u);
}

TEST_F(ClockTest, SleepUntilFollowsTheRosTimeOverride)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  rcl_enable_ros_time_override(ros.get_clock_handle());
  set_ros_time(ros, 1);
  std::atomic<bool> done{false};
  std::atomic<bool> result{false};
  std::thread sleeper([&]() {
      result = ros.sleep_until(rclcpp::Time(int64_t{1000}, RCL_ROS_TIME));
      done = true;
    });
  std::this_thread::sleep_for(20ms);
  set_ros_time(ros, 500);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(done);
  set_ros_time(ros, 1000);
  sleeper.join();
  EXPECT_TRUE(result);
}

TEST_F(ClockTest, ShutdownInterruptsASleepingClock)
{
  rclcpp::Clock steady(RCL_STEADY_TIME);
  std::atomic<bool> result{true};
  std::thread sleeper([&]() {result = steady.sleep_for(rclcpp::Duration(3600, 0));});
  std::this_thread::sleep_for(20ms);
  rclcpp::shutdown();
  sleeper.join();
  EXPECT_FALSE(result);
}

TEST_F(ClockTest, SleepRejectsMismatchedClockAndDeadContext)
{
  rclcpp::Clock system;
  EXPECT_THROW(system.sleep_until(rclcpp::Time(0, 0, RCL_ROS_TIME)), std::runtime_error);
  EXPECT_TRUE(system.sleep_for(rclcpp::Duration(0, 1000)));
  rclcpp::shutdown();
  EXPECT_THROW(system.sleep_for(rclcpp::Duration(0, 1000)), std::runtime_error);
}

TEST_F(ClockTest, WaitUntilStartedBlocksUntilTheFirstRosTime)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  rcl_enable_ros_time_override(ros.get_clock_handle());
  EXPECT_FALSE(ros.wait_until_started(rclcpp::Duration(0, 20000000)));
  std::thread starter([&ros]() {
      std::this_thread::sleep_for(20ms);
      rcl_set_ros_time_override(ros.get_clock_handle(), 5);
    });
  EXPECT_TRUE(ros.wait_until_started());
  starter.join();
  EXPECT_TRUE(ros.started());
  EXPECT_TRUE(rclcpp::Clock().wait_until_started());
}

TEST_F(ClockTest, ShutdownEndsWaitUntilStarted)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  rcl_enable_ros_time_override(ros.get_clock_handle());
  std::thread stopper([]() {
      std::this_thread::sleep_for(20ms);
      rclcpp::shutdown();
    });
  EXPECT_FALSE(ros.wait_until_started());
  stopper.join();
}

TEST_F(ClockTest, DisablingTheOverrideReturnsToSystemTime)
{
  rclcpp::Clock ros(RCL_ROS_TIME);
  std::vector<rcl_clock_change_t> changes;
  rcl_jump_threshold_t on_change{true, {0}, {0}};
  auto handler = ros.create_jump_callback(
    nullptr, [&changes](const rcl_time_jump_t & jump) {changes.push_back(jump.clock_change);},
    on_change);
  rcl_enable_ros_time_override(ros.get_clock_handle());
  set_ros_time(ros, 10);
  bool enabled = true;
  ASSERT_EQ(rcl_disable_ros_time_override(ros.get_clock_handle()), RCL_RET_OK);
  ASSERT_EQ(rcl_is_enabled_ros_time_override(ros.get_clock_handle(), &enabled), RCL_RET_OK);
  EXPECT_FALSE(enabled);
  EXPECT_GT(ros.now().nanoseconds(), 1000000000LL);
  EXPECT_EQ(changes, (std::vector<rcl_clock_change_t>{RCL_ROS_TIME_ACTIVATED,
      RCL_ROS_TIME_DEACTIVATED}));
}

TEST_F(ClockTest, SteadyClockAdvancesAndRejectsInvalidTypes)
{
  rclcpp::Clock steady(RCL_STEADY_TIME);
  const auto before = steady.now();
  EXPECT_TRUE(steady.sleep_for(rclcpp::Duration(0, 1000000)));
  EXPECT_GE((steady.now() - before).nanoseconds(), 1000000);
  EXPECT_THROW(rclcpp::Clock{RCL_CLOCK_UNINITIALIZED}, std::invalid_argument);
  EXPECT_FALSE(rcl_clock_valid(nullptr));
  EXPECT_TRUE(rcl_clock_valid(steady.get_clock_handle()));
}
