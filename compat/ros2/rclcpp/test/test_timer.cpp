// Timers: wall timers, cancel and reset, callback forms and ROS-time timers driven by /clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "rclcpp/create_timer.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rosgraph_msgs/msg/clock.hpp"

using namespace std::chrono_literals;

namespace
{

template<typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds limit = 10s)
{
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

class TimerTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
  }
  void TearDown() override
  {
    executor_.cancel();
    if (spinner_.joinable()) {
      spinner_.join();
    }
    rclcpp::shutdown();
  }

  void spin(const std::shared_ptr<rclcpp::Node> & node)
  {
    executor_.add_node(node);
    spinner_ = std::thread([this]() {executor_.spin();});
  }

  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

TEST_F(TimerTest, WallTimerFiresUntilCancelledAndAgainAfterReset)
{
  auto node = std::make_shared<rclcpp::Node>("timers");
  std::atomic<int> calls{0};
  auto timer = node->create_wall_timer(2ms, [&calls]() {++calls;});
  spin(node);
  EXPECT_TRUE(eventually([&]() {return calls.load() >= 3;}));
  timer->cancel();
  EXPECT_TRUE(timer->is_canceled());
  std::this_thread::sleep_for(10ms);
  const int frozen = calls.load();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.load(), frozen);
  timer->reset();
  EXPECT_FALSE(timer->is_canceled());
  EXPECT_TRUE(eventually([&]() {return calls.load() >= frozen + 3;}));
}

TEST_F(TimerTest, CallbackMayTakeTheTimer)
{
  auto node = std::make_shared<rclcpp::Node>("timers");
  std::atomic<int> calls{0};
  auto timer = node->create_wall_timer(1ms, [&calls](rclcpp::TimerBase & self) {
        if (++calls == 2) {
          self.cancel();
        }
      });
  spin(node);
  EXPECT_TRUE(eventually([&]() {return timer->is_canceled();}));
  EXPECT_EQ(calls.load(), 2);
}

TEST_F(TimerTest, LargestPeriodNeverComesDue)
{
  auto node = std::make_shared<rclcpp::Node>("timers");
  std::atomic<int> calls{0};
  auto timer = rclcpp::create_timer(
    node, node->get_clock(), rclcpp::Duration(std::chrono::nanoseconds::max()),
    [&calls]() {++calls;});
  spin(node);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.load(), 0);
  EXPECT_GT(timer->time_until_trigger(), std::chrono::hours(24 * 365));
  timer->reset();
  EXPECT_GT(timer->time_until_trigger(), std::chrono::hours(24 * 365));
}

TEST_F(TimerTest, InvalidPeriodsAreRejected)
{
  auto node = std::make_shared<rclcpp::Node>("timers");
  try {
    node->create_wall_timer(-1ms, []() {});
    FAIL() << "negative period accepted";
  } catch (const std::invalid_argument & e) {
    EXPECT_STREQ(e.what(), "timer period cannot be negative");
  }
}

TEST_F(TimerTest, RosTimerFollowsSimulatedTime)
{
  auto node = std::make_shared<rclcpp::Node>(
    "sim", rclcpp::NodeOptions().append_parameter_override("use_sim_time", true));
  EXPECT_TRUE(node->get_clock()->ros_time_is_active());
  auto clock_pub = node->create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
  auto publish_time = [&clock_pub](int32_t sec) {
      rosgraph_msgs::msg::Clock msg;
      msg.clock.sec = sec;
      clock_pub->publish(msg);
    };
  publish_time(100);
  EXPECT_TRUE(eventually([&]() {return node->now().seconds() == 100.0;}));
  std::atomic<int> calls{0};
  rclcpp::TimerBase::SharedPtr timer;
  {
    auto callback = [&calls]() {++calls;};
    timer = rclcpp::create_timer(node, node->get_clock(), rclcpp::Duration(1, 0), callback);
  }
  spin(node);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(calls.load(), 0);
  publish_time(101);
  EXPECT_TRUE(eventually([&]() {return calls.load() == 1;}));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(calls.load(), 1);
  publish_time(102);
  EXPECT_TRUE(eventually([&]() {return calls.load() == 2;}));
}

TEST_F(TimerTest, UseSimTimeCanBeSwitchedAtRuntime)
{
  auto node = std::make_shared<rclcpp::Node>("switch");
  EXPECT_FALSE(node->get_clock()->ros_time_is_active());
  EXPECT_TRUE(node->set_parameter({"use_sim_time", true}).successful);
  EXPECT_TRUE(node->get_clock()->ros_time_is_active());
  EXPECT_FALSE(node->set_parameter({"use_sim_time", 1}).successful);
  EXPECT_TRUE(node->set_parameter({"use_sim_time", false}).successful);
  EXPECT_FALSE(node->get_clock()->ros_time_is_active());
}
