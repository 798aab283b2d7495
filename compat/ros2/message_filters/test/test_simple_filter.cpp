// Behaviour of the filter base: callback forms, ordering, disconnection (and its locking),
// copy-on-mutate, events and header traits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "message_filters/message_event.h"
#include "message_filters/message_traits.h"
#include "message_filters/signal1.h"
#include "message_filters/simple_filter.h"
#include "std_msgs/msg/string.hpp"

namespace
{

using namespace std::chrono_literals;
using Msg = geometry_msgs::msg::PoseStamped;
using MsgConstPtr = std::shared_ptr<Msg const>;
using Event = message_filters::MessageEvent<Msg const>;

// A filter whose output is driven directly by the test.
class Source : public message_filters::SimpleFilter<Msg>
{
public:
  void emit(const MsgConstPtr & msg) {signalMessage(msg);}
  void emit(const Event & event) {signalMessage(event);}
};

MsgConstPtr makeMessage(double x, const std::string & frame = "base_link")
{
  auto msg = std::make_shared<Msg>();
  msg->header.frame_id = frame;
  msg->header.stamp.sec = 12;
  msg->header.stamp.nanosec = 500000000u;
  msg->pose.position.x = x;
  return msg;
}

void freeCallback(const MsgConstPtr & msg, std::vector<double> * seen)
{
  seen->push_back(msg->pose.position.x);
}

std::vector<double> * g_free_seen = nullptr;
void plainFunction(const MsgConstPtr & msg)
{
  g_free_seen->push_back(msg->pose.position.x);
}

struct Receiver
{
  void onEvent(const Event & event) {xs.push_back(event.getMessage()->pose.position.x);}
  std::vector<double> xs;
};

class SimpleFilterTest : public ::testing::Test
{
protected:
  Source source_;
};

TEST_F(SimpleFilterTest, everyAcceptedCallbackFormReceivesTheMessage)
{
  std::vector<std::string> seen;
  source_.registerCallback(
    [&](const MsgConstPtr & m) {seen.push_back("cref " + m->header.frame_id);});
  source_.registerCallback(
    std::function<void(MsgConstPtr)>(
      [&](MsgConstPtr m) {seen.push_back("value " + m->header.frame_id);}));
  source_.registerCallback(
    std::function<void(const Msg &)>(
      [&](const Msg & m) {seen.push_back("ref " + m.header.frame_id);}));
  source_.registerCallback(
    std::function<void(const Event &)>(
      [&](const Event & e) {seen.push_back("event " + e.getMessage()->header.frame_id);}));
  source_.registerCallback(
    std::function<void(std::shared_ptr<Msg>)>(
      [&](std::shared_ptr<Msg> m) {seen.push_back("mutable " + m->header.frame_id);}));
  source_.registerCallback(
    std::function<void(const message_filters::MessageEvent<Msg> &)>(
      [&](const message_filters::MessageEvent<Msg> & e) {
        seen.push_back("mutable event " + e.getMessage()->header.frame_id);
      }));

  source_.emit(makeMessage(1.0, "odom"));

  EXPECT_EQ(
    seen, (std::vector<std::string>{"cref odom", "value odom", "ref odom", "event odom",
      "mutable odom", "mutable event odom"}));
}

TEST_F(SimpleFilterTest, functionPointersMemberFunctionsAndBindResultsAreCalled)
{
  std::vector<double> bound_seen;
  std::vector<double> free_seen;
  g_free_seen = &free_seen;
  Receiver receiver;
  source_.registerCallback(std::bind(&freeCallback, std::placeholders::_1, &bound_seen));
  source_.registerCallback(&plainFunction);
  source_.registerCallback(&Receiver::onEvent, &receiver);

  source_.emit(makeMessage(3.0));

  EXPECT_EQ(bound_seen, std::vector<double>{3.0});
  EXPECT_EQ(free_seen, std::vector<double>{3.0});
  EXPECT_EQ(receiver.xs, std::vector<double>{3.0});
}

TEST_F(SimpleFilterTest, callbacksRunInRegistrationOrder)
{
  std::vector<int> order;
  for (int i = 0; i < 4; ++i) {
    source_.registerCallback([&order, i](const MsgConstPtr &) {order.push_back(i);});
  }
  source_.emit(makeMessage(0.0));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(SimpleFilterTest, disconnectedCallbackIsNoLongerCalled)
{
  int first = 0;
  int second = 0;
  auto connection = source_.registerCallback([&](const MsgConstPtr &) {++first;});
  source_.registerCallback([&](const MsgConstPtr &) {++second;});

  source_.emit(makeMessage(0.0));
  connection.disconnect();
  connection.disconnect();
  source_.emit(makeMessage(0.0));

  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 2);
}

// message_filters 4.3.5 signal1.h: removeCallback takes the plain mutex that call() holds while
// every callback runs, so a disconnect from another thread returns only after the call ended.
TEST_F(SimpleFilterTest, disconnectFromAnotherThreadWaitsForTheRunningCall)
{
  std::promise<void> entered;
  std::atomic<bool> disconnected{false};
  bool disconnected_during_call = false;
  int calls = 0;
  auto connection = source_.registerCallback(
    [&](const MsgConstPtr &) {
      ++calls;
      entered.set_value();
      // Ample time for the other thread to reach the lock; it must still be waiting.
      std::this_thread::sleep_for(200ms);
      disconnected_during_call = disconnected.load();
    });
  std::thread disconnecter(
    [&, started = entered.get_future()]() {
      started.wait();
      connection.disconnect();
      disconnected.store(true);
    });

  source_.emit(makeMessage(0.0));
  disconnecter.join();
  source_.emit(makeMessage(0.0));

  EXPECT_FALSE(disconnected_during_call);
  EXPECT_EQ(calls, 1);
}

// message_filters 4.3.5 signal1.h: call() walks callbacks_ itself under the mutex, without a copy
// (so a callback that adds or removes a callback of the same signal deadlocks).
TEST(Signal1Test, callWalksTheCallbackListWithoutCopyingIt)
{
  message_filters::Signal1<Msg> signal;
  std::shared_ptr<message_filters::CallbackHelper1<Msg>> helper;
  long owners_during_call = 0;
  helper = signal.addCallback(
    std::function<void(const MsgConstPtr &)>(
      [&](const MsgConstPtr &) {owners_during_call = helper.use_count();}));

  signal.call(Event(makeMessage(0.0)));

  // The signal's list and this test: no snapshot holds a third reference.
  EXPECT_EQ(owners_during_call, 2);
}

TEST_F(SimpleFilterTest, mutableCallbackGetsACopyOthersDoNotSee)
{
  const MsgConstPtr original = makeMessage(5.0);
  std::shared_ptr<Msg> mutated;
  MsgConstPtr seen_after;
  source_.registerCallback(
    std::function<void(std::shared_ptr<Msg>)>(
      [&](std::shared_ptr<Msg> m) {
        m->pose.position.x = -1.0;
        mutated = m;
      }));
  source_.registerCallback([&](const MsgConstPtr & m) {seen_after = m;});

  source_.emit(original);

  ASSERT_TRUE(mutated);
  ASSERT_TRUE(seen_after);
  EXPECT_NE(mutated.get(), original.get());
  EXPECT_EQ(seen_after.get(), original.get());
  EXPECT_DOUBLE_EQ(seen_after->pose.position.x, 5.0);
  EXPECT_DOUBLE_EQ(original->pose.position.x, 5.0);
}

TEST_F(SimpleFilterTest, eventKeepsItsReceiptTime)
{
  const rclcpp::Time receipt(42, 7u, RCL_ROS_TIME);
  rclcpp::Time seen;
  source_.registerCallback(
    std::function<void(const Event &)>([&](const Event & e) {seen = e.getReceiptTime();}));

  source_.emit(Event(makeMessage(0.0), receipt));

  EXPECT_EQ(seen.nanoseconds(), receipt.nanoseconds());
  EXPECT_EQ(seen.get_clock_type(), RCL_ROS_TIME);
}

TEST(MessageEventTest, mutableAccessCopiesOnlyWhenSharingIsPossible)
{
  auto msg = std::make_shared<Msg>();
  msg->pose.position.y = 2.0;
  const rclcpp::Time now(1, 0, RCL_ROS_TIME);

  message_filters::MessageEvent<Msg> shared(msg, now, true, [] {return std::make_shared<Msg>();});
  message_filters::MessageEvent<Msg> exclusive(
    msg, now, false, [] {return std::make_shared<Msg>();});

  EXPECT_TRUE(shared.getMessageWillCopy());
  EXPECT_NE(shared.getMessage().get(), msg.get());
  EXPECT_DOUBLE_EQ(shared.getMessage()->pose.position.y, 2.0);
  EXPECT_EQ(shared.getMessage().get(), shared.getMessage().get());
  EXPECT_FALSE(exclusive.getMessageWillCopy());
  EXPECT_EQ(exclusive.getMessage().get(), msg.get());
}

TEST(MessageEventTest, constEventNeverCopies)
{
  const MsgConstPtr msg = makeMessage(1.0);
  Event event(msg);
  EXPECT_FALSE(event.getMessageWillCopy());
  EXPECT_EQ(event.getMessage().get(), msg.get());
  EXPECT_EQ(event.getConstMessage().get(), msg.get());
  EXPECT_EQ(event.getReceiptTime().get_clock_type(), RCL_SYSTEM_TIME);
}

TEST(MessageTraitsTest, headerMessagesExposeFrameAndRosTimeStamp)
{
  const MsgConstPtr msg = makeMessage(0.0, "camera");
  namespace mt = message_filters::message_traits;

  EXPECT_TRUE(mt::HasHeader<Msg>::value);
  EXPECT_EQ(mt::FrameId<Msg>::value(*msg), "camera");
  EXPECT_EQ(*mt::FrameId<Msg>::pointer(*msg), "camera");
  const rclcpp::Time stamp = mt::TimeStamp<Msg>::value(*msg);
  EXPECT_EQ(stamp.nanoseconds(), 12500000000LL);
  EXPECT_EQ(stamp.get_clock_type(), RCL_ROS_TIME);
}

TEST(MessageTraitsTest, headerlessMessagesHaveNoFrameAndZeroStamp)
{
  namespace mt = message_filters::message_traits;
  std_msgs::msg::String msg;

  EXPECT_FALSE(mt::HasHeader<std_msgs::msg::String>::value);
  EXPECT_EQ(mt::FrameId<std_msgs::msg::String>::pointer(msg), nullptr);
  EXPECT_EQ(mt::TimeStamp<std_msgs::msg::String>::value(msg).nanoseconds(), 0);
}

}  // namespace
