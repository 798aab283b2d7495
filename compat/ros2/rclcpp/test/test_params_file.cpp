// Parameter overrides from --ros-args: -p values and --params-file in the ROS 2 YAML layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"

class ParamsFileTest : public ::testing::Test
{
protected:
  void TearDown() override
  {
    rclcpp::shutdown();
    for (const auto & path : files_) {
      std::remove(path.c_str());
    }
  }

  std::string write_file(const std::string & content)
  {
    const std::string path = ::testing::TempDir() + "params_" +
      std::to_string(files_.size()) + "_" +
      ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".yaml";
    std::ofstream(path) << content;
    files_.push_back(path);
    return path;
  }

  static void init_with(const std::vector<std::string> & arguments)
  {
    std::vector<const char *> argv{"test"};
    for (const auto & a : arguments) {
      argv.push_back(a.c_str());
    }
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
  }

  std::vector<std::string> files_;
};

TEST_F(ParamsFileTest, DashPValuesAreYamlTyped)
{
  init_with(
    {"--ros-args", "-p", "i:=3", "-p", "d:=2.5", "-p", "b:=true", "-p", "s:=hello", "-p",
      "q:='42'", "-p", "list:=[1, 2, 3]", "-p", "names:=[a, b]"});
  auto node = std::make_shared<rclcpp::Node>(
    "typed", rclcpp::NodeOptions().automatically_declare_parameters_from_overrides(true));
  EXPECT_EQ(node->get_parameter("i").get_type(), rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(node->get_parameter("d").as_double(), 2.5);
  EXPECT_TRUE(node->get_parameter("b").as_bool());
  EXPECT_EQ(node->get_parameter("s").as_string(), "hello");
  EXPECT_EQ(node->get_parameter("q").as_string(), "42");
  EXPECT_EQ(node->get_parameter("list").as_integer_array(), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(node->get_parameter("names").as_string_array(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ParamsFileTest, NodeKeysSelectWhichNodesGetTheValues)
{
  const auto path = write_file(
    "/**:\n"
    "  ros__parameters:\n"
    "    everyone: 1\n"
    "/**/planner:\n"
    "  ros__parameters:\n"
    "    any_namespace: 2\n"
    "/robot/planner:\n"
    "  ros__parameters:\n"
    "    exact: 3\n"
    "    nested:\n"
    "      depth: 4.0\n"
    "robot:\n"
    "  planner:\n"
    "    ros__parameters:\n"
    "      by_namespace_map: true\n"
    "other_node:\n"
    "  ros__parameters:\n"
    "    not_mine: 5\n");
  init_with({"--ros-args", "--params-file", path});
  auto planner = std::make_shared<rclcpp::Node>("planner", "/robot");
  EXPECT_EQ(planner->declare_parameter("everyone", 0), 1);
  EXPECT_EQ(planner->declare_parameter("any_namespace", 0), 2);
  EXPECT_EQ(planner->declare_parameter("exact", 0), 3);
  EXPECT_EQ(planner->declare_parameter("nested.depth", 0.0), 4.0);
  EXPECT_TRUE(planner->declare_parameter("by_namespace_map", false));
  EXPECT_EQ(planner->declare_parameter("not_mine", 0), 0);
  auto elsewhere = std::make_shared<rclcpp::Node>("planner", "/other");
  EXPECT_EQ(elsewhere->declare_parameter("any_namespace", 0), 2);
  EXPECT_EQ(elsewhere->declare_parameter("exact", 0), 0);
}

TEST_F(ParamsFileTest, PrecedenceIsGlobalThenNodeArgumentsThenOverrides)
{
  const auto path = write_file("/**:\n  ros__parameters:\n    v: 1\n    w: 1\n    x: 1\n");
  init_with({"--ros-args", "--params-file", path, "-p", "w:=2"});
  auto node = std::make_shared<rclcpp::Node>(
    "prec", rclcpp::NodeOptions()
    .arguments({"--ros-args", "-p", "x:=3"})
    .append_parameter_override("x", 4));
  EXPECT_EQ(node->declare_parameter("v", 0), 1);
  EXPECT_EQ(node->declare_parameter("w", 0), 2);
  EXPECT_EQ(node->declare_parameter("x", 0), 4);
  auto isolated = std::make_shared<rclcpp::Node>(
    "isolated", rclcpp::NodeOptions().use_global_arguments(false));
  EXPECT_EQ(isolated->declare_parameter("v", 0), 0);
}

TEST_F(ParamsFileTest, BrokenFilesAndRulesFailAtInit)
{
  const auto path = write_file("/**:\n  ros__parameters:\n    mixed: [1, a]\n");
  EXPECT_THROW(
    init_with({"--ros-args", "--params-file", path}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  EXPECT_THROW(
    init_with({"--ros-args", "--params-file", "/nonexistent/params.yaml"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  EXPECT_THROW(init_with({"--ros-args", "-p", "no_separator"}),
    rclcpp::exceptions::RCLInvalidROSArgsError);
  EXPECT_FALSE(rclcpp::ok());
}

TEST_F(ParamsFileTest, ArraysAndNestedNamesFromFiles)
{
  const auto path = write_file(
    "/**:\n"
    "  ros__parameters:\n"
    "    gains: [0.5, 1.5]\n"
    "    flags: [true, false]\n"
    "    plugin:\n"
    "      plugin: \"pkg::Type\"\n"
    "      depth: 3\n");
  init_with({"--ros-args", "--params-file", path});
  auto node = std::make_shared<rclcpp::Node>("arrays");
  EXPECT_EQ(
    node->declare_parameter("gains", std::vector<double>{}), (std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(
    node->declare_parameter("flags", std::vector<bool>{}), (std::vector<bool>{true, false}));
  EXPECT_EQ(node->declare_parameter("plugin.plugin", std::string()), "pkg::Type");
  EXPECT_EQ(node->declare_parameter("plugin.depth", 0), 3);
  node->declare_parameter("typed_later", rclcpp::PARAMETER_STRING);
  std::string unset;
  EXPECT_FALSE(node->get_parameter("typed_later", unset));
}

TEST_F(ParamsFileTest, LaterArgumentsOverrideEarlierOnes)
{
  const auto first = write_file("/**:\n  ros__parameters:\n    v: 1\n");
  const auto second = write_file("/**:\n  ros__parameters:\n    v: 2\n");
  init_with({"--ros-args", "-p", "v:=0", "--params-file", first, "--params-file", second});
  auto node = std::make_shared<rclcpp::Node>("ordered");
  EXPECT_EQ(node->declare_parameter("v", -1), 2);
  EXPECT_EQ(node->get_node_parameters_interface()->get_parameter_overrides().at("v"),
    rclcpp::ParameterValue(int64_t{2}));
}

TEST_F(ParamsFileTest, IntegerFromFileDoesNotSatisfyADoubleParameter)
{
  const auto path = write_file("/**:\n  ros__parameters:\n    resolution: 1\n");
  init_with({"--ros-args", "--params-file", path});
  auto node = std::make_shared<rclcpp::Node>("strict");
  EXPECT_THROW(
    node->declare_parameter("resolution", 0.05),
    rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(ParamsFileTest, SingleTokenWildcardAndRootNamespaceKeys)
{
  const auto path = write_file(
    "/*/driver:\n"
    "  ros__parameters:\n"
    "    one_level: 1\n"
    "/driver:\n"
    "  ros__parameters:\n"
    "    root_only: 2\n"
    "driver:\n"
    "  ros__parameters:\n"
    "    bare_name: 3\n");
  init_with({"--ros-args", "--params-file", path});
  auto nested = std::make_shared<rclcpp::Node>("driver", "/left");
  EXPECT_EQ(nested->declare_parameter("one_level", 0), 1);
  EXPECT_EQ(nested->declare_parameter("root_only", 0), 0);
  EXPECT_EQ(nested->declare_parameter("bare_name", 0), 0);
  auto deeper = std::make_shared<rclcpp::Node>("driver", "/a/b");
  EXPECT_EQ(deeper->declare_parameter("one_level", 0), 0);
  auto root = std::make_shared<rclcpp::Node>("driver");
  EXPECT_EQ(root->declare_parameter("root_only", 0), 2);
  EXPECT_EQ(root->declare_parameter("bare_name", 0), 3);
}

TEST_F(ParamsFileTest, NodeArgumentsWithoutRosArgsMarkerAreNotRosArguments)
{
  init_with({});
  auto node = std::make_shared<rclcpp::Node>(
    "plain_args", rclcpp::NodeOptions().arguments({"-p", "x:=5"}));
  EXPECT_EQ(node->declare_parameter("x", 0), 0);
  auto marked = std::make_shared<rclcpp::Node>(
    "marked_args", rclcpp::NodeOptions().arguments({"--ros-args", "-p", "x:=5"}));
  EXPECT_EQ(marked->declare_parameter("x", 0), 5);
  EXPECT_THROW(
    std::make_shared<rclcpp::Node>(
      "bad_args", rclcpp::NodeOptions().arguments({"--ros-args", "--unknown"})),
    rclcpp::exceptions::UnknownROSArgsError);
}

// Unquoted scalars are typed as the ROS 2 YAML parser types them: the short and long boolean
// words in their case forms, integers read as C literals (hex and octal prefixes, so "08" is not
// an integer but a double), the YAML spellings of infinity and NaN; quoted text stays a string.
TEST_F(ParamsFileTest, ScalarsAreTypedLikeTheRosYamlParser)
{
  const auto path = write_file(
    "/**:\n"
    "  ros__parameters:\n"
    "    flags: [y, Y, yes, Yes, YES, true, True, TRUE, on, On, ON]\n"
    "    not_flags: [n, N, no, No, NO, false, False, FALSE, off, Off, OFF]\n"
    "    hex: 0x10\n"
    "    octal: 010\n"
    "    negative_hex: -0x10\n"
    "    not_octal: 08\n"
    "    decimal: 10\n"
    "    infinity: -.Inf\n"
    "    not_a_number: .NaN\n"
    "    quoted_flag: 'y'\n"
    "    quoted_hex: \"0x10\"\n"
    "    word: yeah\n");
  init_with({"--ros-args", "--params-file", path, "-p", "dash_flag:=Y", "-p", "dash_hex:=0x1f"});
  auto node = std::make_shared<rclcpp::Node>(
    "typing", rclcpp::NodeOptions().automatically_declare_parameters_from_overrides(true));
  EXPECT_EQ(node->get_parameter("flags").as_bool_array(), std::vector<bool>(11, true));
  EXPECT_EQ(node->get_parameter("not_flags").as_bool_array(), std::vector<bool>(11, false));
  EXPECT_EQ(node->get_parameter("hex").as_int(), 16);
  EXPECT_EQ(node->get_parameter("octal").as_int(), 8);
  EXPECT_EQ(node->get_parameter("negative_hex").as_int(), -16);
  EXPECT_EQ(node->get_parameter("not_octal").as_double(), 8.0);
  EXPECT_EQ(node->get_parameter("decimal").as_int(), 10);
  EXPECT_EQ(node->get_parameter("infinity").as_double(), -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(node->get_parameter("not_a_number").as_double()));
  EXPECT_EQ(node->get_parameter("quoted_flag").as_string(), "y");
  EXPECT_EQ(node->get_parameter("quoted_hex").as_string(), "0x10");
  EXPECT_EQ(node->get_parameter("word").as_string(), "yeah");
  EXPECT_TRUE(node->get_parameter("dash_flag").as_bool());
  EXPECT_EQ(node->get_parameter("dash_hex").as_int(), 31);
}

// Several params files merge into one map per node key, a later file replacing a parameter an
// earlier one set under the same key. A node matched by several keys takes them in the order the
// keys first appeared, so a wildcard value from a later file does not beat an earlier file's
// value for the node's own key.
TEST_F(ParamsFileTest, ParamsFilesMergePerNodeKey)
{
  const auto first = write_file(
    "/**:\n"
    "  ros__parameters:\n"
    "    shared: 1\n"
    "    wildcard_only: 1\n"
    "/merged:\n"
    "  ros__parameters:\n"
    "    shared: 10\n"
    "    first_only: 1\n");
  const auto second = write_file(
    "/merged:\n"
    "  ros__parameters:\n"
    "    first_only: 2\n"
    "    second_only: 2\n"
    "/**:\n"
    "  ros__parameters:\n"
    "    shared: 3\n"
    "    wildcard_only: 3\n");
  init_with({"--ros-args", "--params-file", first, "--params-file", second});
  auto node = std::make_shared<rclcpp::Node>("merged");
  EXPECT_EQ(node->declare_parameter("shared", 0), 10);
  EXPECT_EQ(node->declare_parameter("wildcard_only", 0), 3);
  EXPECT_EQ(node->declare_parameter("first_only", 0), 2);
  EXPECT_EQ(node->declare_parameter("second_only", 0), 2);
  auto bystander = std::make_shared<rclcpp::Node>("bystander");
  EXPECT_EQ(bystander->declare_parameter("shared", 0), 3);
  EXPECT_EQ(bystander->declare_parameter("first_only", 0), 0);
}

// "-p node:name:=value" sets "name" on that node only; "-p name:=value" sets it on every node.
TEST_F(ParamsFileTest, NodeScopedDashPAppliesToThatNodeOnly)
{
  init_with({"--ros-args", "-p", "scoped:only_me:=5", "-p", "everyone:=1"});
  const auto options = rclcpp::NodeOptions().automatically_declare_parameters_from_overrides(true);
  auto scoped = std::make_shared<rclcpp::Node>("scoped", options);
  EXPECT_EQ(scoped->get_parameter("only_me").as_int(), 5);
  EXPECT_EQ(scoped->get_parameter("everyone").as_int(), 1);
  EXPECT_FALSE(scoped->has_parameter("scoped:only_me"));
  auto other = std::make_shared<rclcpp::Node>("other", options);
  EXPECT_FALSE(other->has_parameter("only_me"));
  EXPECT_FALSE(other->has_parameter("scoped:only_me"));
  EXPECT_EQ(other->get_parameter("everyone").as_int(), 1);
}
