// Copyright (c) 2026 Quorvane
// All rights reserved.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "nav2_util/quorvane_node_thread.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

using namespace std::chrono_literals;
constexpr auto kGenerousWait = 30s;

class QuorvaneNodeThreadTest : public ::testing::Test
{
protected:
  // A timer whose first run reports the id of the thread it ran on.
  rclcpp::TimerBase::SharedPtr reportingTimer(
    const rclcpp::Node::SharedPtr & node, rclcpp::CallbackGroup::SharedPtr group = nullptr)
  {
    return node->create_wall_timer(
      1ms, [this]() {
        if (!reported_.exchange(true)) {
          ran_on_.set_value(std::this_thread::get_id());
        }
      }, group);
  }

  std::atomic<bool> reported_{false};
  std::promise<std::thread::id> ran_on_;
};

TEST_F(QuorvaneNodeThreadTest, SpinsANodeOnItsOwnThread)
{
  auto node = std::make_shared<rclcpp::Node>("costmap_like");
  auto timer = reportingTimer(node);
  auto ran_on = ran_on_.get_future();

  nav2_util::QuorvaneNodeThread thread(node->get_node_base_interface());

  ASSERT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
  EXPECT_NE(ran_on.get(), std::this_thread::get_id());
}

TEST_F(QuorvaneNodeThreadTest, SpinsAnExecutorWithAManualGroup)
{
  auto node = std::make_shared<rclcpp::Node>("plugin_host");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto timer = reportingTimer(node, group);
  auto ran_on = ran_on_.get_future();
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor->add_callback_group(group, node->get_node_base_interface());

  nav2_util::QuorvaneNodeThread thread(executor);

  ASSERT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
  EXPECT_NE(ran_on.get(), std::this_thread::get_id());
}

TEST_F(QuorvaneNodeThreadTest, KeepsSpinningAfterACallbackThrows)
{
  auto node = std::make_shared<rclcpp::Node>("flaky");
  std::atomic<int> calls{0};
  std::promise<void> second_call;
  auto timer = node->create_wall_timer(
    1ms, [&]() {
      const int call = ++calls;
      if (call == 1) {
        throw std::runtime_error("first call fails");
      }
      if (call == 2) {
        second_call.set_value();
      }
    });

  nav2_util::QuorvaneNodeThread thread(node->get_node_base_interface());

  EXPECT_EQ(second_call.get_future().wait_for(kGenerousWait), std::future_status::ready);
}

TEST_F(QuorvaneNodeThreadTest, DestructionHandsTheNodeBack)
{
  auto node = std::make_shared<rclcpp::Node>("handed_on");
  {
    nav2_util::QuorvaneNodeThread first(node->get_node_base_interface());
  }
  auto timer = reportingTimer(node);
  auto ran_on = ran_on_.get_future();
  nav2_util::QuorvaneNodeThread second(node->get_node_base_interface());
  EXPECT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
}

TEST_F(QuorvaneNodeThreadTest, DestructionStopsTheExecutor)
{
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  {
    nav2_util::QuorvaneNodeThread thread(executor);
  }
  EXPECT_FALSE(executor->is_spinning());
}

TEST_F(QuorvaneNodeThreadTest, ImmediateDestructionNeverHangs)
{
  auto node = std::make_shared<rclcpp::Node>("short_lived");
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  for (int i = 0; i < 50; ++i) {
    nav2_util::QuorvaneNodeThread node_thread(node->get_node_base_interface());
    nav2_util::QuorvaneNodeThread executor_thread(executor);
  }
  EXPECT_FALSE(executor->is_spinning());
}

TEST_F(QuorvaneNodeThreadTest, NewThreadTakesTheNodeOverFromTheOldOne)
{
  auto node = std::make_shared<rclcpp::Node>("handed_over");
  auto old_thread =
    std::make_unique<nav2_util::QuorvaneNodeThread>(node->get_node_base_interface());
  auto new_thread =
    std::make_unique<nav2_util::QuorvaneNodeThread>(node->get_node_base_interface());
  old_thread.reset();

  auto timer = reportingTimer(node);
  auto ran_on = ran_on_.get_future();
  EXPECT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);

  new_thread.reset();
  rclcpp::executors::SingleThreadedExecutor next;
  EXPECT_NO_THROW(next.add_node(node->get_node_base_interface()));
}

TEST_F(QuorvaneNodeThreadTest, RefusesANodeSpunByAnotherExecutor)
{
  auto node = std::make_shared<rclcpp::Node>("taken");
  rclcpp::executors::SingleThreadedExecutor other;
  other.add_node(node->get_node_base_interface());
  EXPECT_THROW(
    nav2_util::QuorvaneNodeThread thread(node->get_node_base_interface()), std::runtime_error);
}

TEST_F(QuorvaneNodeThreadTest, RefusesAnExecutorAlreadySpinning)
{
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  std::thread elsewhere([executor]() {executor->spin();});
  const auto deadline = std::chrono::steady_clock::now() + kGenerousWait;
  while (!executor->is_spinning() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(executor->is_spinning());

  EXPECT_THROW(nav2_util::QuorvaneNodeThread thread(executor), std::runtime_error);

  executor->cancel();
  elsewhere.join();
}

TEST_F(QuorvaneNodeThreadTest, RefusesNullArguments)
{
  EXPECT_THROW(
    nav2_util::QuorvaneNodeThread{rclcpp::node_interfaces::NodeBaseInterface::SharedPtr()},
    std::invalid_argument);
  EXPECT_THROW(
    nav2_util::QuorvaneNodeThread{rclcpp::executors::SingleThreadedExecutor::SharedPtr()},
    std::invalid_argument);
}

}  // namespace

int main(int argc, char ** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  rclcpp::init(argc, argv);
  const int result = RUN_ALL_TESTS();
  rclcpp::shutdown();
  return result;
}
