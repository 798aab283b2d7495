// Context and the process-level init/shutdown/ok/sleep_for functions.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/utilities.hpp"

using namespace std::chrono_literals;

class ContextTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    rclcpp::shutdown();
  }
};

TEST_F(ContextTest, InitShutdownAndReinitOfTheGlobalContext)
{
  EXPECT_FALSE(rclcpp::ok());
  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::ok());
  EXPECT_THROW(rclcpp::init(0, nullptr), rclcpp::ContextAlreadyInitialized);
  EXPECT_TRUE(rclcpp::shutdown());
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_EQ(
    rclcpp::contexts::get_global_default_context()->shutdown_reason(),
    "user called rclcpp::shutdown()");
  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::ok());
}

TEST_F(ContextTest, ShutdownRunsPreShutdownThenOnShutdownCallbacks)
{
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  std::vector<std::string> order;
  context->add_pre_shutdown_callback([&]() {order.push_back("pre");});
  context->on_shutdown([&]() {order.push_back("on");});
  auto removed = context->add_on_shutdown_callback([&]() {order.push_back("removed");});
  EXPECT_TRUE(context->remove_on_shutdown_callback(removed));
  EXPECT_FALSE(context->remove_on_shutdown_callback(removed));
  EXPECT_EQ(context->get_on_shutdown_callbacks().size(), 1u);
  EXPECT_TRUE(context->shutdown("done"));
  EXPECT_EQ(order, (std::vector<std::string>{"pre", "on"}));
  EXPECT_EQ(context->shutdown_reason(), "done");
}

TEST_F(ContextTest, ShutdownWakesASleepingThread)
{
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  std::atomic<bool> result{true};
  std::thread sleeper([&]() {result = rclcpp::sleep_for(1h, context);});
  std::this_thread::sleep_for(50ms);
  context->shutdown("stop");
  sleeper.join();
  EXPECT_FALSE(result);
}

TEST_F(ContextTest, SleepOnAValidContextReturnsTrue)
{
  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::sleep_for(1ms));
}

TEST_F(ContextTest, SleepAfterShutdownReturnsAtOnce)
{
  rclcpp::init(0, nullptr);
  rclcpp::shutdown();
  EXPECT_FALSE(rclcpp::sleep_for(1h));
  auto never_initialised = std::make_shared<rclcpp::Context>();
  EXPECT_FALSE(never_initialised->sleep_for(1ms));
}

TEST_F(ContextTest, RosArgumentsAreCheckedAtInit)
{
  const char * unknown[] = {"prog", "--ros-args", "--bogus", "--", "--not-ros"};
  try {
    rclcpp::init(5, unknown);
    FAIL() << "unknown ROS argument accepted";
  } catch (const rclcpp::exceptions::UnknownROSArgsError & e) {
    EXPECT_STREQ(e.what(), "found unknown ROS arguments: '--bogus'");
  }
  const char * dangling[] = {"prog", "--ros-args", "-p"};
  EXPECT_THROW(rclcpp::init(3, dangling), rclcpp::exceptions::RCLInvalidROSArgsError);
  const char * valid[] = {"prog", "--ros-args", "-p", "a:=1", "--", "rest"};
  rclcpp::init(6, valid);
  EXPECT_TRUE(rclcpp::ok());
  EXPECT_EQ(
    rclcpp::remove_ros_arguments(6, valid), (std::vector<std::string>{"prog", "rest"}));
}

TEST_F(ContextTest, ExceptionTextsMatchRclcpp)
{
  EXPECT_STREQ(
    rclcpp::exceptions::InvalidParameterTypeException("p", "bad").what(),
    "parameter 'p' has invalid type: bad");
  EXPECT_STREQ(
    rclcpp::exceptions::InvalidNodeNameError("a b", "must not contain spaces", 1).what(),
    "Invalid node name: must not contain spaces:\n  'a b'\n    ^\n");
  EXPECT_THROW(
    rclcpp::exceptions::throw_from_rcl_error(RCL_RET_INVALID_ARGUMENT, "prefix"),
    rclcpp::exceptions::RCLInvalidArgument);
}

TEST_F(ContextTest, SigintShutsDownTheGlobalContext)
{
  rclcpp::init(0, nullptr);
  EXPECT_TRUE(rclcpp::signal_handlers_installed());
  EXPECT_EQ(rclcpp::get_current_signal_handler_options(), rclcpp::SignalHandlerOptions::All);
  std::atomic<bool> woke{false};
  std::thread sleeper([&woke]() {
      rclcpp::sleep_for(std::chrono::hours(1));
      woke = true;
    });
  ASSERT_EQ(raise(SIGINT), 0);
  sleeper.join();
  EXPECT_TRUE(woke);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_EQ(rclcpp::contexts::get_global_default_context()->shutdown_reason(), "signal handler");
}

TEST_F(ContextTest, SleepStartingAfterShutdownReturnsAtOnce)
{
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  context->shutdown("done");
  // An hour-long sleep: the test only finishes if the shut-down context ends it.
  EXPECT_FALSE(context->sleep_for(std::chrono::hours(1)));
}

TEST_F(ContextTest, SignalHandlersCanBeLeftOut)
{
  rclcpp::init(0, nullptr, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  EXPECT_FALSE(rclcpp::signal_handlers_installed());
  EXPECT_EQ(rclcpp::get_current_signal_handler_options(), rclcpp::SignalHandlerOptions::None);
}

TEST_F(ContextTest, ContextsAreListedAndKeepSubContexts)
{
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  const auto contexts = rclcpp::get_contexts();
  EXPECT_NE(std::find(contexts.begin(), contexts.end(), context), contexts.end());
  struct Counter
  {
    explicit Counter(int start)
    : value(start) {}
    int value;
  };
  auto first = context->get_sub_context<Counter>(5);
  auto second = context->get_sub_context<Counter>(9);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second->value, 5);
  context->shutdown("done");
}

TEST_F(ContextTest, InitAndRemoveRosArgumentsReturnsTheRest)
{
  const char * argv[] = {"prog", "keep", "--ros-args", "-p", "a:=1", "--", "also"};
  const auto rest = rclcpp::init_and_remove_ros_arguments(7, argv);
  EXPECT_EQ(rest, (std::vector<std::string>{"prog", "keep", "also"}));
  EXPECT_TRUE(rclcpp::ok());
}

TEST_F(ContextTest, UnsupportedRosArgumentsFailLoudly)
{
  const char * topic_remap[] = {"prog", "--ros-args", "-r", "a:=b"};
  EXPECT_THROW(rclcpp::init(4, topic_remap), std::logic_error);
  const char * enclave[] = {"prog", "--ros-args", "-e", "/secure"};
  EXPECT_THROW(rclcpp::init(4, enclave), std::logic_error);
}
