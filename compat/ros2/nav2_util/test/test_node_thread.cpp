// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "nav2_util/node_thread.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

using namespace std::chrono_literals;

// Resolves once, with the id of the thread that ran the callback first.
class FirstCall
{
public:
  void operator()()
  {
    if (!called_.exchange(true)) {
      thread_id_.set_value(std::this_thread::get_id());
    }
  }
  std::future<std::thread::id> future() {return thread_id_.get_future();}

private:
  std::atomic<bool> called_{false};
  std::promise<std::thread::id> thread_id_;
};

class NodeThreadTest : public ::testing::Test
{
protected:
  static constexpr auto kGenerousWait = 30s;

  rclcpp::TimerBase::SharedPtr addTimer(
    const rclcpp::Node::SharedPtr & node, FirstCall & call,
    rclcpp::CallbackGroup::SharedPtr group = nullptr)
  {
    return node->create_wall_timer(1ms, [&call]() {call();}, group);
  }
};

TEST_F(NodeThreadTest, SpinsANodeBaseOnAnotherThread)
{
  auto node = std::make_shared<rclcpp::Node>("spun_node");
  FirstCall call;
  auto ran_on = call.future();
  auto timer = addTimer(node, call);

  nav2_util::NodeThread thread(node->get_node_base_interface());

  ASSERT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
  EXPECT_NE(ran_on.get(), std::this_thread::get_id());
}

TEST_F(NodeThreadTest, AcceptsANodePointer)
{
  auto node = std::make_shared<rclcpp::Node>("spun_node");
  FirstCall call;
  auto ran_on = call.future();
  auto timer = addTimer(node, call);

  nav2_util::NodeThread thread(node);

  EXPECT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
}

TEST_F(NodeThreadTest, SpinsAGivenExecutor)
{
  auto node = std::make_shared<rclcpp::Node>("executor_node");
  auto group = node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  FirstCall call;
  auto ran_on = call.future();
  auto timer = addTimer(node, call, group);
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor->add_callback_group(group, node->get_node_base_interface());

  nav2_util::NodeThread thread(executor);

  ASSERT_EQ(ran_on.wait_for(kGenerousWait), std::future_status::ready);
  EXPECT_NE(ran_on.get(), std::this_thread::get_id());
}

TEST_F(NodeThreadTest, DestructionReleasesTheNode)
{
  auto node = std::make_shared<rclcpp::Node>("released_node");
  {
    nav2_util::NodeThread thread(node->get_node_base_interface());
  }
  rclcpp::executors::SingleThreadedExecutor next;
  EXPECT_NO_THROW(next.add_node(node->get_node_base_interface()));
}

TEST_F(NodeThreadTest, DestructionStopsTheGivenExecutor)
{
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  {
    nav2_util::NodeThread thread(executor);
  }
  EXPECT_FALSE(executor->is_spinning());
  EXPECT_NO_THROW(executor->spin_some());
}

TEST_F(NodeThreadTest, ImmediateDestructionNeverHangs)
{
  auto node = std::make_shared<rclcpp::Node>("short_lived");
  for (int i = 0; i < 50; ++i) {
    nav2_util::NodeThread thread(node->get_node_base_interface());
  }
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  for (int i = 0; i < 50; ++i) {
    nav2_util::NodeThread thread(executor);
  }
  EXPECT_FALSE(executor->is_spinning());
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
