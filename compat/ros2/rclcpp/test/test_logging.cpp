// The RCLCPP_* macros: console format, severity filtering and the once/skip-first/throttle rules.
#include <gtest/gtest.h>

#include <string>

#include "rclcpp/clock.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp/utilities.hpp"

namespace
{

size_t count_occurrences(const std::string & text, const std::string & needle)
{
  size_t count = 0;
  for (size_t pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

class LoggingTest : public ::testing::Test
{
protected:
  rclcpp::Logger logger_ = rclcpp::get_logger("logging_test");
};

TEST_F(LoggingTest, PrintsInTheRosConsoleFormat)
{
  testing::internal::CaptureStderr();
  RCLCPP_INFO(logger_, "value %d of %s", 42, "answer");
  RCLCPP_WARN_STREAM(logger_, "streamed " << 3.5);
  const std::string format = "from a std::string";
  RCLCPP_ERROR(logger_, format);
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("[INFO] ["), std::string::npos) << out;
  EXPECT_NE(out.find("] [logging_test]: value 42 of answer"), std::string::npos) << out;
  EXPECT_NE(out.find("[WARN]"), std::string::npos) << out;
  EXPECT_NE(out.find("[logging_test]: streamed 3.5"), std::string::npos) << out;
  EXPECT_NE(out.find("[logging_test]: from a std::string"), std::string::npos) << out;
}

TEST_F(LoggingTest, LevelFiltersPerLoggerAndChildNames)
{
  auto child = logger_.get_child("child");
  EXPECT_STREQ(child.get_name(), "logging_test.child");
  child.set_level(rclcpp::Logger::Level::Error);
  testing::internal::CaptureStderr();
  RCLCPP_DEBUG(logger_, "hidden debug");
  RCLCPP_WARN(child, "hidden warn");
  RCLCPP_ERROR(child, "shown error");
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.find("hidden"), std::string::npos) << out;
  EXPECT_NE(out.find("shown error"), std::string::npos) << out;
}

TEST_F(LoggingTest, OnceAndSkipFirstCountCallsPerSite)
{
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) {
    RCLCPP_INFO_ONCE(logger_, "once-marker %d", i);
    RCLCPP_INFO_SKIPFIRST(logger_, "skip-marker %d", i);
    RCLCPP_INFO_EXPRESSION(logger_, i == 1, "expr-marker %d", i);
  }
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_occurrences(out, "once-marker"), 1u);
  EXPECT_NE(out.find("once-marker 0"), std::string::npos);
  EXPECT_EQ(count_occurrences(out, "skip-marker"), 2u);
  EXPECT_EQ(out.find("skip-marker 0"), std::string::npos);
  EXPECT_EQ(count_occurrences(out, "expr-marker"), 1u);
  EXPECT_NE(out.find("expr-marker 1"), std::string::npos);
}

TEST_F(LoggingTest, ThrottleDropsMessagesWithinThePeriodOfTheGivenClock)
{
  rclcpp::Clock clock(RCL_ROS_TIME);
  rcl_enable_ros_time_override(clock.get_clock_handle());
  testing::internal::CaptureStderr();
  const int64_t times_ms[] = {1000, 1500, 2000, 2999, 3000};
  for (int64_t t : times_ms) {
    rcl_set_ros_time_override(clock.get_clock_handle(), RCUTILS_MS_TO_NS(t));
    RCLCPP_INFO_THROTTLE(logger_, clock, 1000, "throttle-marker %ld", static_cast<long>(t));
  }
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_occurrences(out, "throttle-marker"), 3u) << out;
  EXPECT_NE(out.find("throttle-marker 1000"), std::string::npos);
  EXPECT_NE(out.find("throttle-marker 2000"), std::string::npos);
  EXPECT_NE(out.find("throttle-marker 3000"), std::string::npos);
}

TEST_F(LoggingTest, LogLevelArgumentsSetLoggerLevels)
{
  const char * argv[] = {"prog", "--ros-args", "--log-level", "quiet_logger:=error"};
  rclcpp::init(4, argv);
  auto quiet = rclcpp::get_logger("quiet_logger");
  testing::internal::CaptureStderr();
  RCLCPP_WARN(quiet, "suppressed-warning");
  RCLCPP_ERROR(quiet, "visible-error");
  const std::string out = testing::internal::GetCapturedStderr();
  rclcpp::shutdown();
  EXPECT_EQ(out.find("suppressed-warning"), std::string::npos) << out;
  EXPECT_NE(out.find("visible-error"), std::string::npos) << out;
  const char * bad[] = {"prog", "--ros-args", "--log-level", "loud"};
  EXPECT_THROW(rclcpp::init(4, bad), rclcpp::exceptions::RCLInvalidROSArgsError);
}

TEST_F(LoggingTest, FunctionAndSkipFirstThrottleVariants)
{
  rclcpp::Clock clock(RCL_ROS_TIME);
  rcl_enable_ros_time_override(clock.get_clock_handle());
  static bool allow = false;
  auto gate = []() {return allow;};
  testing::internal::CaptureStderr();
  for (int i = 0; i < 2; ++i) {
    allow = i == 1;
    RCLCPP_INFO_FUNCTION(logger_, &gate, "function-marker %d", i);
  }
  const int64_t times_ms[] = {1000, 1200, 2500};
  for (int64_t t : times_ms) {
    rcl_set_ros_time_override(clock.get_clock_handle(), RCUTILS_MS_TO_NS(t));
    RCLCPP_INFO_SKIPFIRST_THROTTLE(logger_, clock, 1000, "skipthrottle-marker %ld",
      static_cast<long>(t));
  }
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(count_occurrences(out, "function-marker"), 1u) << out;
  EXPECT_NE(out.find("function-marker 1"), std::string::npos);
  EXPECT_EQ(count_occurrences(out, "skipthrottle-marker"), 1u) << out;
  EXPECT_NE(out.find("skipthrottle-marker 2500"), std::string::npos) << out;
}

TEST_F(LoggingTest, DebugNeedsALowerLevelAndNodeLoggersUseDottedNames)
{
  auto verbose = rclcpp::get_logger("verbose_logger");
  testing::internal::CaptureStderr();
  RCLCPP_DEBUG(verbose, "debug-before");
  verbose.set_level(rclcpp::Logger::Level::Debug);
  RCLCPP_DEBUG_STREAM(verbose, "debug-after");
  const std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.find("debug-before"), std::string::npos) << out;
  EXPECT_NE(out.find("[DEBUG]"), std::string::npos) << out;
  rcl_node_t handle{"planner", "/robot/nav"};
  EXPECT_STREQ(rclcpp::get_node_logger(&handle).get_name(), "robot.nav.planner");
  rcl_node_t root{"solo", "/"};
  EXPECT_STREQ(rclcpp::get_node_logger(&root).get_name(), "solo");
}
