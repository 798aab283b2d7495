// Behaviour of tf2_ros::Buffer: time conversions, lookups that wait for data up to a time-out,
// and asynchronous waits completed by arriving data, by their timer, or withdrawn.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rosgraph_msgs/msg/clock.hpp"
#include "tf2_msgs/srv/frame_graph.hpp"
#include "tf2/exceptions.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/create_timer_ros.h"
#include "transform_fixtures.hpp"

namespace
{

using tf2_ros_test::makeTransform;
using namespace std::chrono_literals;

tf2::TimePoint at(double seconds)
{
  return tf2::timeFromSec(seconds);
}

TEST(TimeConversionTest, messageTimeRoundTripsThroughTimePoint)
{
  builtin_interfaces::msg::Time msg;
  msg.sec = 17;
  msg.nanosec = 250000001u;
  const tf2::TimePoint point = tf2_ros::fromMsg(msg);
  EXPECT_EQ(point.time_since_epoch().count(), 17250000001LL);
  const builtin_interfaces::msg::Time back = tf2_ros::toMsg(point);
  EXPECT_EQ(back.sec, 17);
  EXPECT_EQ(back.nanosec, 250000001u);
  EXPECT_DOUBLE_EQ(tf2_ros::timeToSec(msg), 17.250000001);
}

// Seconds are truncated toward zero and the nanoseconds taken modulo 1e9 of the count read as
// unsigned: a negative duration does not survive the round trip.
TEST(TimeConversionTest, negativeDurationSplitsIntoTruncatedSecondsAndWrappedNanoseconds)
{
  const builtin_interfaces::msg::Duration msg = tf2_ros::toMsg(tf2::Duration(-1500000000LL));
  EXPECT_EQ(msg.sec, -1);
  EXPECT_EQ(msg.nanosec, 209551616u);
  EXPECT_EQ(tf2_ros::fromMsg(msg).count(), -1000000000LL + 209551616LL);
}

TEST(TimeConversionTest, rclcppConversionsKeepNanosecondsAndUseSystemClock)
{
  const rclcpp::Time ros_time(5, 5u, RCL_ROS_TIME);
  const tf2::TimePoint point = tf2_ros::fromRclcpp(ros_time);
  EXPECT_EQ(point.time_since_epoch().count(), 5000000005LL);
  const rclcpp::Time back = tf2_ros::toRclcpp(point);
  EXPECT_EQ(back.nanoseconds(), 5000000005LL);
  EXPECT_EQ(back.get_clock_type(), RCL_SYSTEM_TIME);
  EXPECT_EQ(tf2_ros::fromRclcpp(rclcpp::Duration(1, 2u)).count(), 1000000002LL);
  EXPECT_EQ(tf2_ros::toRclcpp(tf2::Duration(3000000004LL)).nanoseconds(), 3000000004LL);
}

class BufferTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    clock_ = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
    buffer_ = std::make_unique<tf2_ros::Buffer>(clock_);
    buffer_->setUsingDedicatedThread(true);
  }

  void TearDown() override
  {
    buffer_.reset();
    rclcpp::shutdown();
  }

  // Feeds the buffer from another thread after a pause, as a listener thread would.
  std::thread setLater(const geometry_msgs::msg::TransformStamped & transform)
  {
    return std::thread(
      [this, transform]() {
        std::this_thread::sleep_for(100ms);
        buffer_->setTransform(transform, "test_authority");
      });
  }

  rclcpp::Clock::SharedPtr clock_;
  std::unique_ptr<tf2_ros::Buffer> buffer_;
};

TEST_F(BufferTest, nullClockIsRejected)
{
  EXPECT_THROW(tf2_ros::Buffer(nullptr), std::invalid_argument);
}

TEST_F(BufferTest, lookupWaitsForATransformThatArrivesMidWait)
{
  std::thread feeder = setLater(makeTransform("map", "base_link", 10.0, 2.5));

  const auto result =
    buffer_->lookupTransform("map", "base_link", at(10.0), tf2::durationFromSec(10.0));
  feeder.join();

  EXPECT_DOUBLE_EQ(result.transform.translation.x, 2.5);
  EXPECT_EQ(result.header.frame_id, "map");
  EXPECT_EQ(result.child_frame_id, "base_link");
}

TEST_F(BufferTest, lookupWaitsForNewerDataWhenOnlyOlderDataExists)
{
  buffer_->setTransform(makeTransform("map", "base_link", 1.0, 0.0), "test_authority");
  std::thread feeder = setLater(makeTransform("map", "base_link", 3.0, 4.0));

  const auto result =
    buffer_->lookupTransform("map", "base_link", at(2.0), tf2::durationFromSec(10.0));
  feeder.join();

  EXPECT_NEAR(result.transform.translation.x, 2.0, 1e-9);
}

TEST_F(BufferTest, rclcppTimedLookupWaitsToo)
{
  std::thread feeder = setLater(makeTransform("map", "base_link", 10.0, 1.5));

  const auto result = buffer_->lookupTransform(
    "map", "base_link", rclcpp::Time(10, 0, RCL_ROS_TIME), rclcpp::Duration(10, 0));
  feeder.join();

  EXPECT_DOUBLE_EQ(result.transform.translation.x, 1.5);
}

TEST_F(BufferTest, fixedFrameLookupWaitsForTheMissingLeg)
{
  buffer_->setTransform(makeTransform("odom", "map", 5.0, 1.0), "test_authority");
  std::thread feeder = setLater(makeTransform("odom", "base_link", 6.0, 3.0));

  const auto result = buffer_->lookupTransform(
    "map", at(5.0), "base_link", at(6.0), "odom", tf2::durationFromSec(10.0));
  feeder.join();

  EXPECT_NEAR(result.transform.translation.x, 2.0, 1e-9);
}

TEST_F(BufferTest, expiredLookupThrowsTheBufferCoreException)
{
  buffer_->setTransform(makeTransform("map", "base_link", 1.0, 0.0), "test_authority");

  EXPECT_THROW(
    buffer_->lookupTransform("map", "base_link", at(5.0), tf2::durationFromSec(0.2)),
    tf2::ExtrapolationException);
  EXPECT_THROW(
    buffer_->lookupTransform("map", "unknown_frame", at(1.0), tf2::durationFromSec(0.2)),
    tf2::LookupException);
}

TEST_F(BufferTest, expiredCanTransformReportsTheWait)
{
  std::string error;
  EXPECT_FALSE(
    buffer_->canTransform("map", "base_link", at(1.0), tf2::durationFromSec(0.2), &error));
  EXPECT_NE(error.find("canTransform returned after"), std::string::npos) << error;
  EXPECT_NE(error.find("timeout was 0.2"), std::string::npos) << error;
}

TEST_F(BufferTest, availableTransformNeedsNoWait)
{
  buffer_->setTransform(makeTransform("map", "base_link", 1.0, 0.0), "test_authority");
  EXPECT_TRUE(buffer_->canTransform("map", "base_link", at(1.0), tf2::durationFromSec(0.0)));
  EXPECT_TRUE(
    buffer_->canTransform("map", "base_link", tf2::TimePointZero, tf2::durationFromSec(60.0)));
}

TEST_F(BufferTest, oneArrivalReleasesEveryWaiter)
{
  std::vector<std::future<bool>> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.push_back(
      std::async(
        std::launch::async, [this]() {
          return buffer_->canTransform("map", "base_link", at(7.0), tf2::durationFromSec(30.0));
        }));
  }
  std::this_thread::sleep_for(100ms);
  buffer_->setTransform(makeTransform("map", "base_link", 7.0, 0.0), "test_authority");

  for (auto & waiter : waiters) {
    EXPECT_TRUE(waiter.get());
  }
}

TEST_F(BufferTest, shutdownEndsAWaitingLookup)
{
  auto waiter = std::async(
    std::launch::async, [this]() {
      return buffer_->canTransform("map", "base_link", at(1.0), tf2::durationFromSec(600.0));
    });
  std::this_thread::sleep_for(100ms);
  rclcpp::shutdown();

  EXPECT_FALSE(waiter.get());
}

TEST_F(BufferTest, timedCallsWithoutADedicatedThreadRefuseToWait)
{
  buffer_->setUsingDedicatedThread(false);
  buffer_->setTransform(makeTransform("map", "base_link", 1.0, 6.0), "test_authority");

  std::string error;
  EXPECT_FALSE(
    buffer_->canTransform("map", "base_link", at(1.0), tf2::durationFromSec(1.0), &error));
  EXPECT_EQ(error, tf2_ros::threading_error);
  // Even a zero time-out counts as a timed call.
  EXPECT_FALSE(buffer_->canTransform("map", "base_link", at(1.0), tf2::durationFromSec(0.0)));
  // The lookup still answers from the data it has.
  const auto result =
    buffer_->lookupTransform("map", "base_link", at(1.0), tf2::durationFromSec(1.0));
  EXPECT_DOUBLE_EQ(result.transform.translation.x, 6.0);
}

class BufferAsyncTest : public BufferTest
{
protected:
  void SetUp() override
  {
    BufferTest::SetUp();
    node_ = std::make_shared<rclcpp::Node>("buffer_async_test");
    buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
    spinner_ = std::make_unique<tf2_ros_test::SpinningThread>(node_->get_node_base_interface());
  }

  void TearDown() override
  {
    spinner_.reset();
    buffer_.reset();
    node_.reset();
    rclcpp::shutdown();
  }

  // Records the calls of a ready-callback and lets the test wait for the first one.
  struct Recorder
  {
    void operator()(const tf2_ros::TransformStampedFuture &)
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++calls;
      thread = std::this_thread::get_id();
      cv.notify_all();
    }

    bool waitForCall()
    {
      std::unique_lock<std::mutex> lock(mutex);
      return cv.wait_for(lock, 10s, [this] {return calls > 0;});
    }

    std::mutex mutex;
    std::condition_variable cv;
    int calls{0};
    std::thread::id thread;
  };

  tf2_ros::TransformReadyCallback callbackFor(const std::shared_ptr<Recorder> & recorder)
  {
    return [recorder](const tf2_ros::TransformStampedFuture & future) {(*recorder)(future);};
  }

  rclcpp::Node::SharedPtr node_;
  std::unique_ptr<tf2_ros_test::SpinningThread> spinner_;
};

TEST_F(BufferTest, waitForTransformNeedsATimerInterface)
{
  EXPECT_THROW(
    buffer_->waitForTransform(
      "map", "base_link", at(1.0), tf2::durationFromSec(1.0),
      [](const tf2_ros::TransformStampedFuture &) {}),
    tf2_ros::CreateTimerInterfaceException);
}

TEST_F(BufferAsyncTest, availableTransformCompletesBeforeReturning)
{
  buffer_->setTransform(makeTransform("map", "base_link", 1.0, 3.0), "test_authority");
  auto recorder = std::make_shared<Recorder>();

  auto future = buffer_->waitForTransform(
    "map", "base_link", at(1.0), tf2::durationFromSec(5.0), callbackFor(recorder));

  EXPECT_EQ(recorder->calls, 1);
  EXPECT_EQ(recorder->thread, std::this_thread::get_id());
  ASSERT_EQ(future.wait_for(0s), std::future_status::ready);
  EXPECT_DOUBLE_EQ(future.get().transform.translation.x, 3.0);
}

TEST_F(BufferAsyncTest, arrivingTransformCompletesOnTheSettingThread)
{
  auto recorder = std::make_shared<Recorder>();
  auto future = buffer_->waitForTransform(
    "map", "base_link", at(2.0), tf2::durationFromSec(30.0), callbackFor(recorder));
  EXPECT_EQ(recorder->calls, 0);

  std::thread::id setter;
  std::thread feeder(
    [&]() {
      setter = std::this_thread::get_id();
      buffer_->setTransform(makeTransform("map", "base_link", 2.0, 8.0), "test_authority");
    });
  feeder.join();

  ASSERT_TRUE(recorder->waitForCall());
  EXPECT_EQ(recorder->thread, setter);
  EXPECT_DOUBLE_EQ(future.get().transform.translation.x, 8.0);
}

TEST_F(BufferAsyncTest, expiredWaitHoldsATimeoutException)
{
  auto recorder = std::make_shared<Recorder>();
  auto future = buffer_->waitForTransform(
    "map", "base_link", at(2.0), tf2::durationFromSec(0.05), callbackFor(recorder));

  ASSERT_TRUE(recorder->waitForCall());
  EXPECT_THROW(future.get(), tf2::TimeoutException);
  // A transform arriving afterwards does not complete the request a second time.
  buffer_->setTransform(makeTransform("map", "base_link", 2.0, 8.0), "test_authority");
  EXPECT_EQ(recorder->calls, 1);
}

TEST_F(BufferAsyncTest, requestTooOldForTheCacheFailsAtOnce)
{
  buffer_->setTransform(makeTransform("map", "base_link", 100.0, 0.0), "test_authority");
  auto recorder = std::make_shared<Recorder>();

  auto future = buffer_->waitForTransform(
    "map", "base_link", at(1.0), tf2::durationFromSec(30.0), callbackFor(recorder));

  EXPECT_EQ(recorder->calls, 1);
  EXPECT_THROW(future.get(), tf2::LookupException);
}

// A cancel looks the request's handle up among the timer handles, which start one lower: the
// cancelled request's own timer stays armed and times it out, while the next request loses its
// timer entry (and its callback to the core's cancel), so the transform it waited for completes
// nothing.
TEST_F(BufferAsyncTest, cancelledWaitStillTimesOutAndTheNextOneIsNeverCompleted)
{
  auto cancelled = std::make_shared<Recorder>();
  auto next = std::make_shared<Recorder>();
  auto cancelled_future = buffer_->waitForTransform(
    "map", "base_link", at(2.0), tf2::durationFromSec(0.05), callbackFor(cancelled));
  buffer_->waitForTransform(
    "map", "base_link", at(2.0), tf2::durationFromSec(30.0), callbackFor(next));

  buffer_->cancel(cancelled_future);
  // Completion would happen inside setTransform, on this thread.
  buffer_->setTransform(makeTransform("map", "base_link", 2.0, 8.0), "test_authority");
  EXPECT_EQ(next->calls, 0);

  ASSERT_TRUE(cancelled->waitForCall());
  EXPECT_THROW(cancelled_future.get(), tf2::TimeoutException);
}

TEST_F(BufferAsyncTest, unknownTimerHandlesAreRejected)
{
  tf2_ros::CreateTimerROS timers(
    node_->get_node_base_interface(), node_->get_node_timers_interface());
  EXPECT_THROW(timers.cancel(99), tf2_ros::InvalidTimerHandleException);
  EXPECT_THROW(timers.reset(99), tf2_ros::InvalidTimerHandleException);
  EXPECT_THROW(timers.remove(99), tf2_ros::InvalidTimerHandleException);
}

TEST_F(BufferAsyncTest, removedTimerNoLongerFires)
{
  tf2_ros::CreateTimerROS timers(
    node_->get_node_base_interface(), node_->get_node_timers_interface());
  std::promise<void> fired;
  std::atomic<int> removed_calls{0};
  const auto removed = timers.createTimer(
    clock_, tf2::durationFromSec(0.05), [&](const tf2_ros::TimerHandle &) {++removed_calls;});
  timers.remove(removed);
  // A later, longer timer firing shows the executor ran past the removed timer's period.
  const auto witness = timers.createTimer(
    clock_, tf2::durationFromSec(0.2), [&](const tf2_ros::TimerHandle & handle) {
      timers.remove(handle);
      fired.set_value();
    });
  (void)witness;

  ASSERT_EQ(fired.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_EQ(removed_calls, 0);
}

class BufferOnNodeTest : public ::testing::Test
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

  static rclcpp::Node::SharedPtr simTimeNode(const std::string & name)
  {
    return std::make_shared<rclcpp::Node>(
      name, rclcpp::NodeOptions().parameter_overrides({rclcpp::Parameter("use_sim_time", true)}));
  }

  // Publishes a simulated time and waits until the node's clock shows it.
  static bool publishClock(
    const rclcpp::Node::SharedPtr & node,
    const rclcpp::Publisher<rosgraph_msgs::msg::Clock>::SharedPtr & publisher, int32_t seconds)
  {
    rosgraph_msgs::msg::Clock msg;
    msg.clock.sec = seconds;
    publisher->publish(msg);
    return eventually([&] {return node->now().nanoseconds() == seconds * 1000000000LL;});
  }

  static bool eventually(const std::function<bool()> & condition)
  {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    return condition();
  }
};

TEST_F(BufferOnNodeTest, jumpBackInTimeClearsTheBuffer)
{
  auto node = simTimeNode("jumping_clock");
  auto clock_publisher = node->create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
  ASSERT_TRUE(publishClock(node, clock_publisher, 100));
  tf2_ros::Buffer buffer(node->get_clock());
  buffer.setTransform(makeTransform("map", "odom", 100.0, 1.0), "test_authority");
  ASSERT_TRUE(buffer.canTransform("map", "odom", at(100.0)));

  ASSERT_TRUE(publishClock(node, clock_publisher, 150));
  EXPECT_TRUE(buffer.canTransform("map", "odom", at(100.0)));
  ASSERT_TRUE(publishClock(node, clock_publisher, 50));

  EXPECT_TRUE(eventually([&] {return !buffer.canTransform("map", "odom", at(100.0));}));
}

TEST_F(BufferOnNodeTest, switchingToSimulatedTimeClearsTheBuffer)
{
  auto node = std::make_shared<rclcpp::Node>("switching_clock");
  tf2_ros::Buffer buffer(node->get_clock());
  buffer.setTransform(makeTransform("map", "odom", 1.0, 1.0), "test_authority");
  ASSERT_TRUE(buffer.canTransform("map", "odom", at(1.0)));

  node->set_parameter(rclcpp::Parameter("use_sim_time", true));

  EXPECT_TRUE(eventually([&] {return !buffer.canTransform("map", "odom", at(1.0));}));
}

TEST_F(BufferOnNodeTest, bufferWithANodeServesItsFrames)
{
  auto node = std::make_shared<rclcpp::Node>("frames_server");
  tf2_ros::Buffer buffer(node->get_clock(), tf2::durationFromSec(10.0), node);
  buffer.setTransform(makeTransform("map", "odom", 1.0, 1.0), "test_authority");
  auto client = node->create_client<tf2_msgs::srv::FrameGraph>("tf2_frames");
  ASSERT_TRUE(client->wait_for_service(10s));

  auto response = client->async_send_request(
    std::make_shared<tf2_msgs::srv::FrameGraph::Request>());
  ASSERT_EQ(
    rclcpp::spin_until_future_complete(node, response.future, 10s),
    rclcpp::FutureReturnCode::SUCCESS);

  const std::string yaml = response.get()->frame_yaml;
  EXPECT_NE(yaml.find("odom"), std::string::npos) << yaml;
  EXPECT_NE(yaml.find("map"), std::string::npos) << yaml;
}

// A timed wait measures its time-out on the buffer's own clock: under simulated time a paused
// clock keeps the wait going however much wall time passes, until the data arrives, the
// simulated time moves past the time-out, or the context shuts down.
TEST_F(BufferOnNodeTest, timedWaitsRunOnTheBuffersSimulatedClock)
{
  auto node = simTimeNode("paused_clock");
  auto clock_publisher = node->create_publisher<rosgraph_msgs::msg::Clock>("/clock", 10);
  ASSERT_TRUE(publishClock(node, clock_publisher, 100));
  tf2_ros::Buffer buffer(node->get_clock());
  buffer.setUsingDedicatedThread(true);
  const auto short_timeout = tf2::durationFromSec(0.05);

  auto expiring = std::async(
    std::launch::async, [&]() {
      return buffer.canTransform("map", "base_link", at(100.0), short_timeout);
    });
  EXPECT_EQ(expiring.wait_for(300ms), std::future_status::timeout);
  ASSERT_TRUE(publishClock(node, clock_publisher, 101));
  EXPECT_FALSE(expiring.get());

  auto arriving = std::async(
    std::launch::async, [&]() {
      return buffer.lookupTransform("map", "base_link", at(101.0), short_timeout);
    });
  EXPECT_EQ(arriving.wait_for(300ms), std::future_status::timeout);
  buffer.setTransform(makeTransform("map", "base_link", 101.0, 2.0), "test_authority");
  EXPECT_DOUBLE_EQ(arriving.get().transform.translation.x, 2.0);

  auto interrupted = std::async(
    std::launch::async, [&]() {
      return buffer.canTransform("map", "odom", at(101.0), short_timeout);
    });
  EXPECT_EQ(interrupted.wait_for(300ms), std::future_status::timeout);
  rclcpp::shutdown();
  EXPECT_FALSE(interrupted.get());
}

}  // namespace
