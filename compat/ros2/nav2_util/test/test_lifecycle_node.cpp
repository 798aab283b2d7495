// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

using lifecycle_msgs::msg::State;
using Transitions = std::vector<std::string>;

class Nav2LifecycleNodeTest : public ::testing::Test
{
protected:
  // Records transitions through registered callbacks, which keep working while the base
  // class destructor runs (virtual overrides of a subclass would already be gone by then).
  static void recordTransitions(
    nav2_util::LifecycleNode & node, const std::shared_ptr<Transitions> & log)
  {
    auto record = [log](const char * what) {
        return [log, what](const rclcpp_lifecycle::State &) {
                 log->push_back(what);
                 return nav2_util::CallbackReturn::SUCCESS;
               };
      };
    node.register_on_configure(record("configure"));
    node.register_on_activate(record("activate"));
    node.register_on_deactivate(record("deactivate"));
    node.register_on_cleanup(record("cleanup"));
  }
};

TEST_F(Nav2LifecycleNodeTest, TakesNameNamespaceAndOptions)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>(
    "planner", "/robot", rclcpp::NodeOptions().append_parameter_override("speed", 2.0));
  EXPECT_STREQ(node->get_name(), "planner");
  EXPECT_STREQ(node->get_namespace(), "/robot");
  node->declare_parameter("speed", 1.0);
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 2.0);
  EXPECT_EQ(node->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
}

TEST_F(Nav2LifecycleNodeTest, DisablesTheBondHeartbeatTimeout)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
  ASSERT_TRUE(node->has_parameter("bond_disable_heartbeat_timeout"));
  EXPECT_TRUE(node->get_parameter("bond_disable_heartbeat_timeout").as_bool());
}

TEST_F(Nav2LifecycleNodeTest, SharedFromThisGivesTheNav2Node)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
  std::shared_ptr<nav2_util::LifecycleNode> self = node->shared_from_this();
  EXPECT_EQ(self.get(), node.get());
}

TEST_F(Nav2LifecycleNodeTest, DestroyingAnActiveNodeDeactivatesThenCleansUp)
{
  auto log = std::make_shared<Transitions>();
  {
    auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
    recordTransitions(*node, log);
    node->configure();
    node->activate();
  }
  EXPECT_EQ(*log, (Transitions{"configure", "activate", "deactivate", "cleanup"}));
}

TEST_F(Nav2LifecycleNodeTest, DestroyingAnUnconfiguredNodeRunsNoTransition)
{
  auto log = std::make_shared<Transitions>();
  {
    auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
    recordTransitions(*node, log);
  }
  EXPECT_TRUE(log->empty());
}

TEST_F(Nav2LifecycleNodeTest, ContextShutdownStepsAnActiveNodeDown)
{
  auto context = std::make_shared<rclcpp::Context>();
  context->init(0, nullptr);
  auto log = std::make_shared<Transitions>();
  auto node = std::make_shared<nav2_util::LifecycleNode>(
    "planner", "", rclcpp::NodeOptions().context(context));
  recordTransitions(*node, log);
  node->configure();
  node->activate();

  context->shutdown("test over");

  EXPECT_EQ(*log, (Transitions{"configure", "activate", "deactivate", "cleanup"}));
  EXPECT_EQ(node->get_current_state().id(), State::PRIMARY_STATE_UNCONFIGURED);
}

TEST_F(Nav2LifecycleNodeTest, ErrorDuringConfigureReturnsToUnconfigured)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
  node->register_on_configure(
    [](const rclcpp_lifecycle::State &) {return nav2_util::CallbackReturn::ERROR;});
  EXPECT_EQ(node->configure().id(), State::PRIMARY_STATE_UNCONFIGURED);
}

TEST_F(Nav2LifecycleNodeTest, AddParameterFillsTheDescriptor)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
  node->add_parameter(
    "tolerance", rclcpp::ParameterValue(0.5), nav2_util::LifecycleNode::floating_point_range{
      0.0, 1.0, 0.0}, "goal tolerance", "metres", true);
  const auto descriptor = node->describe_parameter("tolerance");
  EXPECT_EQ(descriptor.description, "goal tolerance");
  EXPECT_EQ(descriptor.additional_constraints, "metres");
  EXPECT_TRUE(descriptor.read_only);
  ASSERT_EQ(descriptor.floating_point_range.size(), 1u);
  EXPECT_DOUBLE_EQ(descriptor.floating_point_range[0].to_value, 1.0);
  EXPECT_DOUBLE_EQ(node->get_parameter("tolerance").as_double(), 0.5);
}

TEST_F(Nav2LifecycleNodeTest, AddParameterEnforcesTheIntegerRange)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>(
    "planner", "", rclcpp::NodeOptions().append_parameter_override("retries", 12));
  EXPECT_THROW(
    node->add_parameter(
      "retries", rclcpp::ParameterValue(3), nav2_util::LifecycleNode::integer_range{0, 10, 1}),
    rclcpp::exceptions::InvalidParameterValueException);
}

TEST_F(Nav2LifecycleNodeTest, BondCreationIsRefusedLoudly)
{
  auto node = std::make_shared<nav2_util::LifecycleNode>("planner");
  EXPECT_THROW(node->createBond(), std::logic_error);
  EXPECT_NO_THROW(node->destroyBond());
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
