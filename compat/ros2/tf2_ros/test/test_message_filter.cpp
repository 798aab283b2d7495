// Behaviour of tf2_ros::MessageFilter: messages held until their transforms exist, released on the
// thread that completes them, dropped on overflow, time-out or clear, and a clear() that withdraws
// the pending requests under the lock a delivery takes first, as Humble's does.
#include <gtest/gtest.h>

#include <algorithm>
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

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/exceptions.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/create_timer_ros.h"
#include "tf2_ros/message_filter.h"
#include "transform_fixtures.hpp"

namespace
{

using Msg = geometry_msgs::msg::PoseStamped;
using tf2_ros_test::makeTransform;
using tf2_ros_test::stampAt;
using namespace std::chrono_literals;

// A buffer that reports how the filter's asynchronous requests ended, so tests can wait for a
// time-out instead of sleeping past it, and when the filter withdraws one.
class RecordingBuffer : public tf2_ros::Buffer
{
public:
  using tf2_ros::Buffer::Buffer;

  tf2_ros::TransformStampedFuture waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    tf2_ros::TransformReadyCallback callback) override
  {
    ++requests;
    last_callback = callback;
    return tf2_ros::Buffer::waitForTransform(
      target_frame, source_frame, time, timeout,
      [this, callback](const tf2_ros::TransformStampedFuture & future) {
        callback(future);
        bool failed = false;
        try {
          future.get();
        } catch (const tf2::TransformException &) {
          failed = true;
        }
        std::lock_guard<std::mutex> lock(mutex);
        failed ? ++failures : ++successes;
        cv.notify_all();
      });
  }

  void cancel(const tf2_ros::TransformStampedFuture & future) override
  {
    if (on_cancel) {
      on_cancel();
    }
    tf2_ros::Buffer::cancel(future);
  }

  bool waitForFailures(int count)
  {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, 10s, [&] {return failures >= count;});
  }

  std::atomic<int> requests{0};
  // The filter's own ready-callback of its latest request.
  tf2_ros::TransformReadyCallback last_callback;
  std::function<void()> on_cancel;
  std::mutex mutex;
  std::condition_variable cv;
  int failures{0};
  int successes{0};
};

using Filter = tf2_ros::MessageFilter<Msg, RecordingBuffer>;

// Collects what a filter delivers and on which thread.
struct Sink
{
  void operator()(const std::shared_ptr<Msg const> & msg)
  {
    std::lock_guard<std::mutex> lock(mutex);
    xs.push_back(msg->pose.position.x);
    threads.push_back(std::this_thread::get_id());
    cv.notify_all();
  }

  bool waitFor(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, 10s, [&] {return xs.size() >= count;});
  }

  std::vector<double> delivered()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return xs;
  }

  std::mutex mutex;
  std::condition_variable cv;
  std::vector<double> xs;
  std::vector<std::thread::id> threads;
};

class MessageFilterTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("message_filter_test");
    buffer_ = std::make_unique<RecordingBuffer>(node_->get_clock());
    buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        node_->get_node_base_interface(), node_->get_node_timers_interface()));
    spinner_ = std::make_unique<tf2_ros_test::SpinningThread>(node_->get_node_base_interface());
    sink_ = std::make_shared<Sink>();
  }

  void TearDown() override
  {
    spinner_.reset();
    buffer_.reset();
    node_.reset();
    rclcpp::shutdown();
  }

  std::unique_ptr<Filter> makeFilter(
    const std::string & target, uint32_t queue_size,
    tf2::Duration timeout = tf2::Duration::max())
  {
    auto filter = std::make_unique<Filter>(
      *buffer_, target, queue_size, node_->get_node_logging_interface(),
      node_->get_node_clock_interface(), timeout);
    auto sink = sink_;
    filter->registerCallback([sink](const std::shared_ptr<Msg const> & msg) {(*sink)(msg);});
    return filter;
  }

  static std::shared_ptr<Msg const> point(const std::string & frame, double seconds, double x)
  {
    auto msg = std::make_shared<Msg>();
    msg->header.frame_id = frame;
    msg->header.stamp = stampAt(seconds);
    msg->pose.position.x = x;
    return msg;
  }

  void setTransform(const std::string & parent, const std::string & child, double seconds)
  {
    buffer_->setTransform(makeTransform(parent, child, seconds, 0.0), "test_authority");
  }

  rclcpp::Node::SharedPtr node_;
  std::unique_ptr<RecordingBuffer> buffer_;
  std::unique_ptr<tf2_ros_test::SpinningThread> spinner_;
  std::shared_ptr<Sink> sink_;
};

TEST_F(MessageFilterTest, messageIsHeldUntilItsTransformArrivesThenDeliveredOnTheSettingThread)
{
  auto filter = makeFilter("map", 10);
  filter->add(point("base_link", 1.0, 7.0));
  EXPECT_TRUE(sink_->delivered().empty());

  std::thread::id setter;
  std::thread feeder(
    [&]() {
      setter = std::this_thread::get_id();
      setTransform("map", "base_link", 1.0);
    });
  feeder.join();

  ASSERT_TRUE(sink_->waitFor(1));
  EXPECT_EQ(sink_->delivered(), std::vector<double>{7.0});
  EXPECT_EQ(sink_->threads.front(), setter);
}

TEST_F(MessageFilterTest, transformableMessageIsDeliveredInsideAdd)
{
  setTransform("map", "base_link", 1.0);
  auto filter = makeFilter("map", 10);

  filter->add(point("base_link", 1.0, 2.0));

  ASSERT_EQ(sink_->delivered(), std::vector<double>{2.0});
  EXPECT_EQ(sink_->threads.front(), std::this_thread::get_id());
}

TEST_F(MessageFilterTest, fullQueueDropsTheOldestMessage)
{
  auto filter = makeFilter("map", 2);
  EXPECT_EQ(filter->getQueueSize(), 2u);
  filter->add(point("base_link", 1.0, 1.0));
  filter->add(point("base_link", 2.0, 2.0));
  filter->add(point("base_link", 3.0, 3.0));

  setTransform("map", "base_link", 0.0);
  setTransform("map", "base_link", 10.0);

  std::vector<double> delivered = sink_->delivered();
  std::sort(delivered.begin(), delivered.end());
  EXPECT_EQ(delivered, (std::vector<double>{2.0, 3.0}));
}

TEST_F(MessageFilterTest, messageWaitingLongerThanTheBufferTimeoutIsDropped)
{
  auto filter = makeFilter("map", 10, tf2::durationFromSec(0.05));
  filter->add(point("base_link", 1.0, 1.0));

  ASSERT_TRUE(buffer_->waitForFailures(1));
  setTransform("map", "base_link", 1.0);

  EXPECT_TRUE(sink_->delivered().empty());
  // The filter keeps working for messages that find their transform.
  filter->add(point("base_link", 1.0, 2.0));
  EXPECT_EQ(sink_->delivered(), std::vector<double>{2.0});
}

TEST_F(MessageFilterTest, everyTargetFrameMustBeAvailable)
{
  auto filter = makeFilter("map", 10);
  filter->setTargetFrames({"map", "odom"});
  filter->add(point("base_link", 1.0, 4.0));

  // The tree is map -> odom -> base_link: odom is reachable first, map only once linked.
  setTransform("odom", "base_link", 1.0);
  EXPECT_TRUE(sink_->delivered().empty());
  setTransform("map", "odom", 1.0);

  EXPECT_EQ(sink_->delivered(), std::vector<double>{4.0});
}

TEST_F(MessageFilterTest, toleranceAlsoRequiresTheTransformAfterTheStamp)
{
  auto filter = makeFilter("map", 10);
  filter->setTolerance(rclcpp::Duration::from_seconds(0.5));
  filter->add(point("base_link", 1.0, 5.0));

  setTransform("map", "base_link", 1.0);
  EXPECT_TRUE(sink_->delivered().empty());
  setTransform("map", "base_link", 2.0);

  EXPECT_EQ(sink_->delivered(), std::vector<double>{5.0});
}

TEST_F(MessageFilterTest, messagesWithoutAFrameOrWithoutTargetsRequestNothing)
{
  auto filter = makeFilter("map", 10);
  filter->add(point("", 1.0, 1.0));
  filter->setTargetFrames({});
  filter->add(point("base_link", 1.0, 2.0));

  EXPECT_EQ(buffer_->requests, 0);
  setTransform("map", "base_link", 1.0);
  EXPECT_TRUE(sink_->delivered().empty());
}

TEST_F(MessageFilterTest, targetFramesLoseTheirLeadingSlash)
{
  auto filter = makeFilter("/map", 10);
  filter->setTargetFrames({"/map", "odom"});
  EXPECT_EQ(filter->getTargetFramesString(), "map odom ");

  filter->add(point("/base_link", 1.0, 6.0));
  setTransform("map", "odom", 1.0);
  setTransform("odom", "base_link", 1.0);
  EXPECT_EQ(sink_->delivered(), std::vector<double>{6.0});
}

TEST_F(MessageFilterTest, clearDropsQueuedMessages)
{
  auto filter = makeFilter("map", 10);
  filter->add(point("base_link", 1.0, 1.0));
  filter->clear();

  setTransform("map", "base_link", 1.0);
  EXPECT_TRUE(sink_->delivered().empty());
  filter->add(point("base_link", 1.0, 2.0));
  EXPECT_EQ(sink_->delivered(), std::vector<double>{2.0});
}

TEST_F(MessageFilterTest, addingWithoutATimerInterfaceThrows)
{
  auto bare = std::make_unique<tf2_ros::Buffer>(node_->get_clock());
  tf2_ros::MessageFilter<Msg> filter(*bare, "map", 10, node_);
  EXPECT_THROW(filter.add(point("base_link", 1.0, 1.0)), tf2_ros::CreateTimerInterfaceException);
}

// clear() holds the filter's futures lock while the buffer cancels, and a delivery takes that lock
// first: here a delivery started from inside the cancel cannot get past it until clear() lets go.
// (A delivery from setTransform holds the buffer's request lock that cancel takes: the two orders
// deadlock when a clear() or a destruction meets a /tf message.)
TEST_F(MessageFilterTest, clearCancelsUnderTheLockADeliveryTakesFirst)
{
  auto filter = makeFilter("map", 10);
  filter->add(point("base_link", 1.0, 1.0));
  auto timed_out = std::make_shared<std::promise<geometry_msgs::msg::TransformStamped>>();
  timed_out->set_exception(std::make_exception_ptr(tf2::TimeoutException("test")));
  const tf2_ros::TransformStampedFuture answer(timed_out->get_future());
  std::future<void> delivery;
  bool delivery_waited_for_clear = false;
  buffer_->on_cancel = [&]() {
      delivery = std::async(std::launch::async, [&]() {buffer_->last_callback(answer);});
      delivery_waited_for_clear = delivery.wait_for(200ms) == std::future_status::timeout;
    };

  filter->clear();
  buffer_->on_cancel = nullptr;
  delivery.get();

  EXPECT_TRUE(delivery_waited_for_clear);
}

TEST_F(MessageFilterTest, nodeConstructorFiltersLikeTheInterfaceOne)
{
  tf2_ros::MessageFilter<Msg, RecordingBuffer> filter(*buffer_, "map", 3, node_);
  auto sink = sink_;
  filter.registerCallback([sink](const std::shared_ptr<Msg const> & msg) {(*sink)(msg);});
  EXPECT_EQ(filter.getQueueSize(), 3u);

  filter.add(point("base_link", 1.0, 8.0));
  setTransform("map", "base_link", 1.0);

  EXPECT_EQ(sink_->delivered(), std::vector<double>{8.0});
}

}  // namespace
