// Executors and callback groups: who runs which callback, when, and on how many threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using Int32 = std_msgs::msg::String;

namespace
{

// Waits (generously) for a condition that other threads make true.
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

class ExecutorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node_ = std::make_shared<rclcpp::Node>("executor_test");
  }
  void TearDown() override
  {
    node_.reset();
    rclcpp::shutdown();
  }

  std::shared_ptr<rclcpp::Node> node_;
};

TEST_F(ExecutorTest, MutuallyExclusiveGroupNeverOverlapsCallbacks)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  std::atomic<int> active{0};
  std::atomic<int> max_active{0};
  std::atomic<int> calls{0};
  auto body = [&]() {
      const int now = ++active;
      max_active = std::max(max_active.load(), now);
      std::this_thread::sleep_for(2ms);
      --active;
      ++calls;
    };
  auto t1 = node_->create_wall_timer(1ms, body, group);
  auto t2 = node_->create_wall_timer(1ms, body, group);
  auto t3 = node_->create_wall_timer(1ms, body, group);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  EXPECT_TRUE(eventually([&]() {return calls.load() >= 30;}));
  executor.cancel();
  spinner.join();
  EXPECT_EQ(max_active.load(), 1);
}

TEST_F(ExecutorTest, ReentrantGroupRunsCallbacksConcurrently)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  std::mutex mutex;
  std::condition_variable both_inside;
  int inside = 0;
  std::atomic<int> met{0};
  auto body = [&]() {
      std::unique_lock<std::mutex> lock(mutex);
      ++inside;
      both_inside.notify_all();
      if (both_inside.wait_for(lock, 5s, [&]() {return inside >= 2;})) {
        ++met;
      }
    };
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  auto s1 = node_->create_subscription<Int32>("re", 10, [&](const Int32 &) {body();}, options);
  auto s2 = node_->create_subscription<Int32>("re", 10, [&](const Int32 &) {body();}, options);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 3);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  node_->create_publisher<Int32>("re", 10)->publish(Int32());
  EXPECT_TRUE(eventually([&]() {return met.load() == 2;}));
  executor.cancel();
  spinner.join();
}

TEST_F(ExecutorTest, GroupNotAddedAutomaticallyNeedsAddCallbackGroup)
{
  auto manual = node_->create_callback_group(
    rclcpp::CallbackGroupType::MutuallyExclusive, false);
  std::atomic<int> manual_calls{0};
  std::atomic<int> default_calls{0};
  auto manual_timer = node_->create_wall_timer(1ms, [&]() {++manual_calls;}, manual);
  auto default_timer = node_->create_wall_timer(1ms, [&]() {++default_calls;});
  rclcpp::executors::SingleThreadedExecutor node_executor;
  node_executor.add_node(node_);
  std::thread spinner([&node_executor]() {node_executor.spin();});
  EXPECT_TRUE(eventually([&]() {return default_calls.load() >= 5;}));
  node_executor.cancel();
  spinner.join();
  EXPECT_EQ(manual_calls.load(), 0);

  rclcpp::executors::SingleThreadedExecutor group_executor;
  group_executor.add_callback_group(manual, node_->get_node_base_interface());
  std::thread group_spinner([&group_executor]() {group_executor.spin();});
  EXPECT_TRUE(eventually([&]() {return manual_calls.load() >= 5;}));
  group_executor.cancel();
  group_spinner.join();
}

TEST_F(ExecutorTest, AGroupAndANodeBelongToOneExecutor)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant, false);
  rclcpp::executors::SingleThreadedExecutor first;
  rclcpp::executors::SingleThreadedExecutor second;
  first.add_callback_group(group, node_->get_node_base_interface());
  try {
    second.add_callback_group(group, node_->get_node_base_interface());
    FAIL() << "group added to two executors";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Callback group has already been added to an executor.");
  }
  first.add_node(node_);
  try {
    second.add_node(node_);
    FAIL() << "node added to two executors";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Node '/executor_test' has already been added to an executor.");
  }
  EXPECT_THROW(second.remove_node(node_), std::runtime_error);
  first.remove_callback_group(group);
  EXPECT_NO_THROW(second.add_callback_group(group, node_->get_node_base_interface()));
  EXPECT_THROW(first.remove_callback_group(group), std::runtime_error);
}

TEST_F(ExecutorTest, BlockedSpinWakesForNewWorkCancelAndShutdown)
{
  std::atomic<int> received{0};
  auto sub = node_->create_subscription<Int32>("wake", 10, [&](const Int32 &) {++received;});
  auto pub = node_->create_publisher<Int32>("wake", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  pub->publish(Int32());
  EXPECT_TRUE(eventually([&]() {return received.load() == 1;}));
  executor.cancel();
  spinner.join();
  EXPECT_FALSE(executor.is_spinning());

  std::thread second_spin([&executor]() {executor.spin();});
  EXPECT_TRUE(eventually([&]() {return executor.is_spinning();}));
  rclcpp::shutdown();
  second_spin.join();
}

TEST_F(ExecutorTest, CancelBeforeTheSpinThreadStartsStillStopsIt)
{
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  executor.cancel();
  std::thread spinner([&executor]() {executor.spin();});
  spinner.join();
  EXPECT_FALSE(executor.is_spinning());
}

TEST_F(ExecutorTest, SpinningTwiceIsRejected)
{
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  EXPECT_TRUE(eventually([&]() {return executor.is_spinning();}));
  try {
    executor.spin_some();
    FAIL() << "spin_some while spinning";
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "spin_some() called while already spinning");
  }
  executor.cancel();
  spinner.join();
}

TEST_F(ExecutorTest, SpinUntilFutureCompleteReportsSuccessTimeoutAndInterruption)
{
  std::promise<int> promise;
  auto future = promise.get_future().share();
  auto timer = node_->create_wall_timer(1ms, [&promise, done = false]() mutable {
        if (!done) {
          done = true;
          promise.set_value(5);
        }
      });
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  EXPECT_EQ(executor.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(future.get(), 5);
  timer->cancel();

  std::promise<void> never;
  auto never_future = never.get_future();
  EXPECT_EQ(
    executor.spin_until_future_complete(never_future, 20ms), rclcpp::FutureReturnCode::TIMEOUT);

  std::thread stopper([]() {
      std::this_thread::sleep_for(20ms);
      rclcpp::shutdown();
    });
  EXPECT_EQ(
    executor.spin_until_future_complete(never_future), rclcpp::FutureReturnCode::INTERRUPTED);
  stopper.join();
}

TEST_F(ExecutorTest, DestroyingASubscriptionWhileSpinningIsSafe)
{
  std::atomic<int> received{0};
  auto sub = node_->create_subscription<Int32>("churn", 10, [&](const Int32 &) {++received;});
  auto pub = node_->create_publisher<Int32>("churn", 10);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  for (int i = 0; i < 200; ++i) {
    pub->publish(Int32());
    if (i == 100) {
      sub.reset();
    }
  }
  auto replacement = node_->create_subscription<Int32>(
    "churn", 10, [&](const Int32 &) {received += 1000;});
  pub->publish(Int32());
  EXPECT_TRUE(eventually([&]() {return received.load() >= 1000;}));
  executor.cancel();
  spinner.join();
}

TEST_F(ExecutorTest, DestroyingANodeWhileSpinningIsSafe)
{
  std::atomic<int> ticks{0};
  auto timer = node_->create_wall_timer(1ms, [&ticks]() {++ticks;});
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  EXPECT_TRUE(eventually([&]() {return ticks.load() >= 3;}));
  timer.reset();
  node_.reset();
  auto other = std::make_shared<rclcpp::Node>("survivor");
  std::atomic<int> other_ticks{0};
  auto other_timer = other->create_wall_timer(1ms, [&other_ticks]() {++other_ticks;});
  executor.add_node(other);
  EXPECT_TRUE(eventually([&]() {return other_ticks.load() >= 3;}));
  executor.cancel();
  spinner.join();
}

TEST_F(ExecutorTest, GlobalSpinHelpersServeTheNode)
{
  std::atomic<int> received{0};
  auto sub = node_->create_subscription<Int32>("helper", 10, [&](const Int32 &) {++received;});
  node_->create_publisher<Int32>("helper", 10)->publish(Int32());
  rclcpp::spin_some(node_);
  EXPECT_EQ(received.load(), 1);
  std::thread spinner([this]() {rclcpp::spin(node_);});
  std::this_thread::sleep_for(10ms);
  rclcpp::shutdown();
  spinner.join();
}

TEST_F(ExecutorTest, SpinOnceRunsOneCallbackOrTimesOut)
{
  std::atomic<int> received{0};
  auto sub = node_->create_subscription<Int32>("once", 10, [&](const Int32 &) {++received;});
  auto pub = node_->create_publisher<Int32>("once", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  executor.spin_once(10ms);
  EXPECT_EQ(received.load(), 0);
  pub->publish(Int32());
  pub->publish(Int32());
  executor.spin_once(10ms);
  EXPECT_EQ(received.load(), 1);
  executor.spin_all(1s);
  EXPECT_EQ(received.load(), 2);
  EXPECT_THROW(executor.spin_all(-1ms), std::invalid_argument);
}

TEST_F(ExecutorTest, SpinNodeHelpersAddAndRemoveTheNode)
{
  std::atomic<int> received{0};
  auto sub = node_->create_subscription<Int32>("helpers", 10, [&](const Int32 &) {++received;});
  auto pub = node_->create_publisher<Int32>("helpers", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  pub->publish(Int32());
  executor.spin_node_once(node_, 1s);
  EXPECT_EQ(received.load(), 1);
  pub->publish(Int32());
  executor.spin_node_some(node_);
  EXPECT_EQ(received.load(), 2);
  EXPECT_FALSE(node_->get_node_base_interface()->get_associated_with_executor_atomic().load());
  EXPECT_TRUE(executor.get_all_callback_groups().empty());
}

TEST_F(ExecutorTest, GroupsCreatedAfterAddNodeAreServed)
{
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  std::atomic<int> ticks{0};
  auto late_group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto timer = node_->create_wall_timer(1ms, [&ticks]() {++ticks;}, late_group);
  EXPECT_TRUE(eventually([&]() {return ticks.load() >= 3;}));
  const auto groups = executor.get_automatically_added_callback_groups_from_nodes();
  EXPECT_EQ(groups.size(), 2u);
  executor.cancel();
  spinner.join();
}

// rclcpp 16.0.11 node_base.cpp / node_timers.cpp: create_callback_group only records a weak
// pointer to the group; adding an entity to a group triggers the node's notify guard condition,
// which is what wakes an executor holding the node.
TEST_F(ExecutorTest, CreatingAGroupWakesNoExecutorAddingAnEntityDoes)
{
  std::atomic<size_t> wakes{0};
  node_->get_node_base_interface()->get_notify_guard_condition().set_on_trigger_callback(
    [&wakes](size_t count) {wakes += count;});

  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  EXPECT_EQ(wakes.load(), 0u);
  auto timer = node_->create_wall_timer(1h, []() {}, group);
  EXPECT_GE(wakes.load(), 1u);
  node_->get_node_base_interface()->get_notify_guard_condition().set_on_trigger_callback(nullptr);
}

// rclcpp 16.0.11 node_base.cpp: for_each_callback_group runs the function under
// callback_groups_mutex_ (a plain mutex), so creating a group on the same node waits for it; from
// inside the function itself it would deadlock.
TEST_F(ExecutorTest, ForEachCallbackGroupHoldsTheNodesGroupLock)
{
  std::atomic<bool> created{false};
  bool created_during_visit = false;
  std::thread creator;
  int visits = 0;
  node_->for_each_callback_group(
    [&](const rclcpp::CallbackGroup::SharedPtr &) {
      if (visits++ > 0) {
        return;
      }
      creator = std::thread(
        [this, &created]() {
          node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
          created = true;
        });
      // Ample time for the creator to reach the lock; it must still be waiting.
      std::this_thread::sleep_for(200ms);
      created_during_visit = created.load();
    });
  creator.join();

  EXPECT_FALSE(created_during_visit);
  EXPECT_TRUE(created.load());
}

TEST_F(ExecutorTest, RemovedGroupIsNoLongerServed)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  std::atomic<int> received{0};
  rclcpp::SubscriptionOptions options;
  options.callback_group = group;
  auto sub = node_->create_subscription<Int32>(
    "removed", 10, [&](const Int32 &) {++received;}, options);
  auto pub = node_->create_publisher<Int32>("removed", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_callback_group(group, node_->get_node_base_interface());
  EXPECT_EQ(executor.get_manually_added_callback_groups().size(), 1u);
  executor.remove_callback_group(group);
  EXPECT_FALSE(group->get_associated_with_executor_atomic().load());
  pub->publish(Int32());
  executor.spin_some();
  EXPECT_EQ(received.load(), 0);
}

TEST_F(ExecutorTest, MultiThreadedExecutorReportsItsThreads)
{
  rclcpp::executors::MultiThreadedExecutor three(rclcpp::ExecutorOptions(), 3);
  EXPECT_EQ(three.get_number_of_threads(), 3u);
  rclcpp::executors::MultiThreadedExecutor automatic;
  EXPECT_GE(automatic.get_number_of_threads(), 2u);
  EXPECT_THROW(
    three.set_memory_strategy(nullptr), std::logic_error);
}

TEST_F(ExecutorTest, ExceptionInACallbackLeavesSpinAndFreesTheGroup)
{
  std::atomic<int> calls{0};
  auto sub = node_->create_subscription<Int32>(
    "throws", 10, [&](const Int32 &) {
      if (++calls == 1) {
        throw std::runtime_error("callback failed");
      }
    });
  auto pub = node_->create_publisher<Int32>("throws", 10);
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node_);
  pub->publish(Int32());
  pub->publish(Int32());
  EXPECT_THROW(executor.spin(), std::runtime_error);
  EXPECT_FALSE(executor.is_spinning());
  executor.spin_some();
  EXPECT_EQ(calls.load(), 2);
}

TEST_F(ExecutorTest, FreeSpinUntilFutureCompleteUsesATemporaryExecutor)
{
  std::promise<void> promise;
  auto future = promise.get_future().share();
  bool fired = false;
  auto timer = node_->create_wall_timer(1ms, [&]() {
        if (!fired) {
          fired = true;
          promise.set_value();
        }
      });
  EXPECT_EQ(
    rclcpp::spin_until_future_complete(node_, future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_FALSE(node_->get_node_base_interface()->get_associated_with_executor_atomic().load());
  std::promise<void> never;
  EXPECT_EQ(
    rclcpp::spin_until_future_complete(
      node_->get_node_base_interface(), never.get_future(), 5ms),
    rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(rclcpp::to_string(rclcpp::FutureReturnCode::TIMEOUT), "TIMEOUT (2)");
}

TEST_F(ExecutorTest, DifferentMutuallyExclusiveGroupsRunInParallel)
{
  auto first = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  auto second = node_->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive);
  std::mutex mutex;
  std::condition_variable both_inside;
  int inside = 0;
  std::atomic<int> met{0};
  auto body = [&]() {
      std::unique_lock<std::mutex> lock(mutex);
      ++inside;
      both_inside.notify_all();
      if (both_inside.wait_for(lock, 5s, [&]() {return inside >= 2;})) {
        ++met;
      }
    };
  rclcpp::SubscriptionOptions first_options;
  first_options.callback_group = first;
  rclcpp::SubscriptionOptions second_options;
  second_options.callback_group = second;
  auto s1 = node_->create_subscription<Int32>(
    "parallel", 10, [&](const Int32 &) {body();}, first_options);
  auto s2 = node_->create_subscription<Int32>(
    "parallel", 10, [&](const Int32 &) {body();}, second_options);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 2);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  node_->create_publisher<Int32>("parallel", 10)->publish(Int32());
  EXPECT_TRUE(eventually([&]() {return met.load() == 2;}));
  executor.cancel();
  spinner.join();
}

TEST_F(ExecutorTest, ATimerNeverOverlapsItselfInAReentrantGroup)
{
  auto group = node_->create_callback_group(rclcpp::CallbackGroupType::Reentrant);
  std::atomic<int> active{0};
  std::atomic<int> max_active{0};
  std::atomic<int> calls{0};
  auto timer = node_->create_wall_timer(
    1ms, [&]() {
      const int now = ++active;
      max_active = std::max(max_active.load(), now);
      std::this_thread::sleep_for(3ms);
      --active;
      ++calls;
    }, group);
  rclcpp::executors::MultiThreadedExecutor executor(rclcpp::ExecutorOptions(), 4);
  executor.add_node(node_);
  std::thread spinner([&executor]() {executor.spin();});
  EXPECT_TRUE(eventually([&]() {return calls.load() >= 10;}));
  executor.cancel();
  spinner.join();
  EXPECT_EQ(max_active.load(), 1);
}
