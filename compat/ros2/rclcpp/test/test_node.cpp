// rclcpp::Node: names, namespaces, name resolution, node interfaces and graph queries.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

class NodeTest : public ::testing::Test
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
};

TEST_F(NodeTest, NamesAndNamespacesAreNormalised)
{
  auto root = std::make_shared<rclcpp::Node>("plain");
  EXPECT_STREQ(root->get_namespace(), "/");
  EXPECT_STREQ(root->get_fully_qualified_name(), "/plain");
  auto relative = std::make_shared<rclcpp::Node>("n", "robot/arm");
  EXPECT_STREQ(relative->get_namespace(), "/robot/arm");
  EXPECT_STREQ(relative->get_fully_qualified_name(), "/robot/arm/n");
  EXPECT_STREQ(relative->get_logger().get_name(), "robot.arm.n");
}

TEST_F(NodeTest, InvalidNamesAreRejectedWithRclcppExceptions)
{
  EXPECT_THROW(rclcpp::Node("bad name"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(rclcpp::Node("9lives"), rclcpp::exceptions::InvalidNodeNameError);
  EXPECT_THROW(rclcpp::Node("ok", "/a//b"), rclcpp::exceptions::InvalidNamespaceError);
  EXPECT_THROW(rclcpp::Node("ok", "/trailing/"), rclcpp::exceptions::InvalidNamespaceError);
}

TEST_F(NodeTest, CreatingANodeWithoutInitThrowsRclError)
{
  rclcpp::shutdown();
  try {
    rclcpp::Node node("late");
    FAIL() << "node created on a shut-down context";
  } catch (const rclcpp::exceptions::RCLError & e) {
    EXPECT_EQ(
      std::string(e.what()).rfind(
        "failed to initialize rcl node: the given context is not valid, either rcl_init() was "
        "not called or rcl_shutdown() was called.", 0), 0u) << e.what();
  }
}

TEST_F(NodeTest, NodeNameAndNamespaceRemapsApplyOwnRulesBeforeTheProcesses)
{
  const char * argv[] = {"prog", "--ros-args", "-r", "__node:=everyone", "--remap",
    "talker:__ns:=/robot"};
  rclcpp::shutdown();
  rclcpp::init(6, argv);
  EXPECT_STREQ(rclcpp::Node("talker").get_fully_qualified_name(), "/robot/everyone");
  EXPECT_STREQ(rclcpp::Node("other", "/x").get_fully_qualified_name(), "/x/everyone");
  // A node's own rule wins over the process's, as TransformListener relies on to name its node.
  rclcpp::NodeOptions own;
  own.arguments({"--ros-args", "-r", "__node:=listener_impl_1", "-r", "__ns:=/tf"});
  EXPECT_STREQ(rclcpp::Node("_", own).get_fully_qualified_name(), "/tf/listener_impl_1");
  own.use_global_arguments(false).arguments({"--ros-args", "-r", "__name:=alias"});
  EXPECT_STREQ(rclcpp::Node("talker", own).get_fully_qualified_name(), "/alias");
  rclcpp::NodeOptions malformed;
  malformed.arguments({"--ros-args", "-r", "__ns:=relative"});
  EXPECT_THROW(rclcpp::Node("n", malformed), rclcpp::exceptions::RCLInvalidROSArgsError);
  malformed.arguments({"--ros-args", "-r", "__node:=9lives"});
  EXPECT_THROW(rclcpp::Node("n", malformed), rclcpp::exceptions::RCLInvalidROSArgsError);
}

TEST_F(NodeTest, TopicNamesResolveAgainstTheNamespace)
{
  auto node = std::make_shared<rclcpp::Node>("talker", "ns");
  auto topics = node->get_node_topics_interface();
  EXPECT_EQ(topics->resolve_topic_name("chatter"), "/ns/chatter");
  EXPECT_EQ(topics->resolve_topic_name("/abs"), "/abs");
  EXPECT_EQ(topics->resolve_topic_name("~/private"), "/ns/talker/private");
  EXPECT_THROW(topics->resolve_topic_name("bad topic"), rclcpp::exceptions::InvalidTopicNameError);
  auto pub = node->create_publisher<std_msgs::msg::String>("chatter", 10);
  EXPECT_STREQ(pub->get_topic_name(), "/ns/chatter");
}

TEST_F(NodeTest, GraphListsNodesTopicsAndCounts)
{
  auto a = std::make_shared<rclcpp::Node>("graph_a");
  auto b = std::make_shared<rclcpp::Node>("graph_b", "/x");
  auto pub = a->create_publisher<std_msgs::msg::String>("/graph_topic", 10);
  auto sub = b->create_subscription<std_msgs::msg::String>(
    "/graph_topic", 10, [](std_msgs::msg::String::ConstSharedPtr) {});
  const auto names = a->get_node_names();
  EXPECT_NE(std::find(names.begin(), names.end(), "/graph_a"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "/x/graph_b"), names.end());
  EXPECT_EQ(a->count_publishers("/graph_topic"), 1u);
  EXPECT_EQ(a->count_subscribers("/graph_topic"), 1u);
  const auto topics = a->get_topic_names_and_types();
  ASSERT_EQ(topics.count("/graph_topic"), 1u);
  EXPECT_EQ(topics.at("/graph_topic").front(), "std_msgs/msg/String");
  sub.reset();
  EXPECT_EQ(a->count_subscribers("/graph_topic"), 0u);
  b.reset();
  const auto after = a->get_node_names();
  EXPECT_EQ(std::find(after.begin(), after.end(), "/x/graph_b"), after.end());
}

TEST_F(NodeTest, NodeClockIsRosTime)
{
  auto node = std::make_shared<rclcpp::Node>("clocked");
  EXPECT_EQ(node->now().get_clock_type(), RCL_ROS_TIME);
  EXPECT_EQ(node->get_clock()->get_clock_type(), RCL_ROS_TIME);
  EXPECT_TRUE(node->has_parameter("use_sim_time"));
  EXPECT_FALSE(node->get_clock()->ros_time_is_active());
}

TEST_F(NodeTest, UnsupportedCallsFailLoudly)
{
  auto node = std::make_shared<rclcpp::Node>("loud");
  EXPECT_THROW(node->create_sub_node("sub"), std::logic_error);
  EXPECT_THROW(
    node->get_node_waitables_interface()->add_waitable(nullptr, nullptr), std::logic_error);
}
