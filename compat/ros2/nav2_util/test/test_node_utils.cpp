// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "nav2_util/node_utils.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

class AddNamespacesTest : public ::testing::Test {};

TEST_F(AddNamespacesTest, JoinsPiecesWithASlash)
{
  EXPECT_EQ(nav2_util::add_namespaces("/a", "x"), "/a/x");
  EXPECT_EQ(nav2_util::add_namespaces("a", "x"), "a/x");
  EXPECT_EQ(nav2_util::add_namespaces("", "x"), "/x");
}

TEST_F(AddNamespacesTest, TopEndingInSlashIsMadeAbsolute)
{
  EXPECT_EQ(nav2_util::add_namespaces("/", "x"), "/x");
  EXPECT_EQ(nav2_util::add_namespaces("/a/", "x"), "/a/x");
  EXPECT_EQ(nav2_util::add_namespaces("a/", "x"), "/a/x");
}

TEST_F(AddNamespacesTest, EmptySubNamespaceKeepsTrailingSlash)
{
  EXPECT_EQ(nav2_util::add_namespaces("/a"), "/a/");
  EXPECT_EQ(nav2_util::add_namespaces("/a/", ""), "/a/");
}

class NodeNameTest : public ::testing::Test {};

TEST_F(NodeNameTest, SanitizeReplacesEveryNonAlphanumericCharacter)
{
  EXPECT_EQ(nav2_util::sanitize_node_name("my-node/x.y z9"), "my_node_x_y_z9");
  EXPECT_EQ(nav2_util::sanitize_node_name("plain42"), "plain42");
}

TEST_F(NodeNameTest, InternalNameIsSanitizedPrefixAndEightDigits)
{
  const std::string name = nav2_util::generate_internal_node_name("cost-map");
  EXPECT_TRUE(std::regex_match(name, std::regex("cost_map_[0-9]{8}"))) << name;
}

class ParameterHelpersTest : public ::testing::Test
{
protected:
  static rclcpp::Node::SharedPtr makeNode(const rclcpp::NodeOptions & options)
  {
    return std::make_shared<rclcpp::Node>("param_helpers", options);
  }
};

TEST_F(ParameterHelpersTest, DeclaresWithTheDefaultWhenAbsent)
{
  auto node = makeNode(rclcpp::NodeOptions());
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(1.5));
  ASSERT_TRUE(node->has_parameter("speed"));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 1.5);
}

TEST_F(ParameterHelpersTest, LeavesAnAlreadyDeclaredParameterAlone)
{
  auto node = makeNode(rclcpp::NodeOptions());
  node->declare_parameter("speed", 2.5);
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(1.5));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 2.5);
}

TEST_F(ParameterHelpersTest, OverrideWinsOverTheDefault)
{
  auto node = makeNode(rclcpp::NodeOptions().append_parameter_override("speed", 4.0));
  nav2_util::declare_parameter_if_not_declared(node, "speed", rclcpp::ParameterValue(1.5));
  EXPECT_DOUBLE_EQ(node->get_parameter("speed").as_double(), 4.0);
}

TEST_F(ParameterHelpersTest, TypedDeclarationTakesTheOverride)
{
  auto node = makeNode(rclcpp::NodeOptions().append_parameter_override("frame", "odom"));
  nav2_util::declare_parameter_if_not_declared(node, "frame", rclcpp::PARAMETER_STRING);
  EXPECT_EQ(node->get_parameter("frame").as_string(), "odom");
}

TEST_F(ParameterHelpersTest, TypedDeclarationWithoutOverrideStaysUnset)
{
  auto node = makeNode(rclcpp::NodeOptions());
  nav2_util::declare_parameter_if_not_declared(node, "frame", rclcpp::PARAMETER_STRING);
  EXPECT_TRUE(node->has_parameter("frame"));
  rclcpp::Parameter parameter;
  EXPECT_FALSE(node->get_parameter("frame", parameter));
}

class GetPluginTypeParamTest : public ::testing::Test
{
protected:
  static rclcpp::Node::SharedPtr makeNode(const rclcpp::NodeOptions & options)
  {
    return std::make_shared<rclcpp::Node>("plugin_owner", options);
  }
};

TEST_F(GetPluginTypeParamTest, ReturnsTheTypeGivenAsOverride)
{
  auto node = makeNode(
    rclcpp::NodeOptions().append_parameter_override("planner.plugin", "pkg::Planner"));
  EXPECT_EQ(nav2_util::get_plugin_type_param(node, "planner"), "pkg::Planner");
}

TEST_F(GetPluginTypeParamTest, DeclaresThePluginParameter)
{
  auto node = makeNode(
    rclcpp::NodeOptions().append_parameter_override("planner.plugin", "pkg::Planner"));
  ASSERT_FALSE(node->has_parameter("planner.plugin"));
  nav2_util::get_plugin_type_param(node, "planner");
  EXPECT_TRUE(node->has_parameter("planner.plugin"));
  EXPECT_EQ(node->get_parameter("planner.plugin").as_string(), "pkg::Planner");
}

TEST_F(GetPluginTypeParamTest, ReadsAnAlreadyDeclaredParameter)
{
  auto node = makeNode(rclcpp::NodeOptions());
  node->declare_parameter("planner.plugin", std::string("pkg::Declared"));
  EXPECT_EQ(nav2_util::get_plugin_type_param(node, "planner"), "pkg::Declared");
}

TEST_F(GetPluginTypeParamTest, MissingTypeLogsFatalAndExitsTheProcess)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
  {
    auto node = makeNode(rclcpp::NodeOptions());
    nav2_util::get_plugin_type_param(node, "planner");
  },
    ::testing::ExitedWithCode(255),
    "Can not get 'plugin' param value for planner");
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
