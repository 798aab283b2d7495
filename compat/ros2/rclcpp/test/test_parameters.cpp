// Node parameters: declaration, typing, overrides, setting, callbacks and rclcpp's exceptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"

using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::SetParametersResult;

class ParametersTest : public ::testing::Test
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

  static std::shared_ptr<rclcpp::Node> make_node(
    const rclcpp::NodeOptions & options = rclcpp::NodeOptions())
  {
    return std::make_shared<rclcpp::Node>("params", options);
  }

  template<typename ExceptionT, typename Callable>
  static std::string what_of(Callable && callable)
  {
    try {
      callable();
    } catch (const ExceptionT & e) {
      return e.what();
    }
    return "<no exception>";
  }
};

TEST_F(ParametersTest, DeclareReturnsTheDefaultOrTheOverride)
{
  auto node = make_node(rclcpp::NodeOptions().append_parameter_override("overridden", 7));
  EXPECT_EQ(node->declare_parameter("plain", 1.5), 1.5);
  EXPECT_EQ(node->declare_parameter("overridden", 1), 7);
  EXPECT_EQ(node->declare_parameter("ignored", 3, ParameterDescriptor(), true), 3);
  const int64_t widened = node->declare_parameter<int>("widened", 4);
  EXPECT_EQ(widened, 4);
  EXPECT_TRUE(node->has_parameter("plain"));
  EXPECT_EQ(node->get_parameter("plain").as_double(), 1.5);
}

TEST_F(ParametersTest, DeclarationErrorsUseRclcppTypesAndTexts)
{
  auto node = make_node(rclcpp::NodeOptions().append_parameter_override("speed", 2));
  node->declare_parameter("once", true);
  EXPECT_EQ(
    what_of<rclcpp::exceptions::ParameterAlreadyDeclaredException>(
      [&]() {node->declare_parameter("once", true);}),
    "parameter 'once' has already been declared");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParametersException>(
      [&]() {node->declare_parameter("", 1);}),
    "parameter name must not be empty");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterTypeException>(
      [&]() {node->declare_parameter("speed", 1.0);}),
    "parameter 'speed' has invalid type: Wrong parameter type, parameter {speed} is of type "
    "{double}, setting it to {integer} is not allowed.");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterTypeException>(
      [&]() {node->declare_parameter("unset", rclcpp::ParameterValue());}),
    "parameter 'unset' has invalid type: cannot declare a statically typed parameter with an "
    "uninitialized value");
  EXPECT_EQ(
    what_of<std::invalid_argument>(
      [&]() {node->declare_parameter("t", rclcpp::PARAMETER_NOT_SET);}),
    "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET");
  ParameterDescriptor dynamic;
  dynamic.dynamic_typing = true;
  EXPECT_EQ(
    what_of<std::invalid_argument>(
      [&]() {node->declare_parameter("t", rclcpp::PARAMETER_INTEGER, dynamic);}),
    "declare_parameter(): cannot declare parameter of specific type and pass descriptor"
    "with `dynamic_typing=true`");
}

TEST_F(ParametersTest, TypedDeclarationWithoutValueLeavesItUninitialised)
{
  auto node = make_node();
  node->declare_parameter("later", rclcpp::PARAMETER_STRING);
  EXPECT_TRUE(node->has_parameter("later"));
  rclcpp::Parameter out;
  EXPECT_FALSE(node->get_parameter("later", out));
  std::string value = "kept";
  EXPECT_FALSE(node->get_parameter("later", value));
  EXPECT_EQ(value, "kept");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::ParameterUninitializedException>(
      [&]() {node->get_parameter("later");}),
    "parameter 'later' is not initialized");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::UninitializedStaticallyTypedParameterException>(
      [&]() {node->declare_parameter<double>("needs_value");}),
    "Statically typed parameter 'needs_value' must be initialized.");
}

TEST_F(ParametersTest, GetRulesForUndeclaredAndMistypedParameters)
{
  auto node = make_node();
  EXPECT_EQ(
    what_of<rclcpp::exceptions::ParameterNotDeclaredException>(
      [&]() {node->get_parameter("missing");}), "missing");
  node->declare_parameter("count", 3);
  double as_double = 0.0;
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterTypeException>(
      [&]() {node->get_parameter("count", as_double);}),
    "parameter 'count' has invalid type: expected [double] got [integer]");
  int as_int = 0;
  EXPECT_TRUE(node->get_parameter("count", as_int));
  EXPECT_EQ(as_int, 3);
  EXPECT_EQ(node->get_parameter_or("missing", 9), 9);
  node->declare_parameter("group.a", 1);
  node->declare_parameter("group.b", 2);
  std::map<std::string, int64_t> group;
  EXPECT_TRUE(node->get_parameters("group", group));
  EXPECT_EQ(group, (std::map<std::string, int64_t>{{"a", 1}, {"b", 2}}));
}

TEST_F(ParametersTest, SetChecksTypeRangeReadOnlyAndDeclaration)
{
  auto node = make_node();
  ParameterDescriptor ranged;
  ranged.integer_range.resize(1);
  ranged.integer_range[0].from_value = 0;
  ranged.integer_range[0].to_value = 10;
  ranged.integer_range[0].step = 2;
  node->declare_parameter("even", 4, ranged);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("even", 10)).successful);
  auto odd = node->set_parameter(rclcpp::Parameter("even", 5));
  EXPECT_FALSE(odd.successful);
  EXPECT_EQ(odd.reason, "Parameter {even} doesn't comply with integer range.");
  auto wrong_type = node->set_parameter(rclcpp::Parameter("even", 2.0));
  EXPECT_FALSE(wrong_type.successful);
  EXPECT_EQ(
    wrong_type.reason,
    "Wrong parameter type, parameter {even} is of type {integer}, setting it to {double} is not "
    "allowed.");
  ParameterDescriptor read_only;
  read_only.read_only = true;
  node->declare_parameter("fixed", "a", read_only);
  auto blocked = node->set_parameter(rclcpp::Parameter("fixed", "b"));
  EXPECT_FALSE(blocked.successful);
  EXPECT_EQ(blocked.reason, "parameter 'fixed' cannot be set because it is read-only");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::ParameterNotDeclaredException>(
      [&]() {node->set_parameter(rclcpp::Parameter("nope", 1));}),
    "parameter 'nope' cannot be set because it was not declared");
  EXPECT_EQ(node->get_parameter("even").as_int(), 10);
}

TEST_F(ParametersTest, AtomicSetIsAllOrNothing)
{
  auto node = make_node();
  node->declare_parameter("a", 1);
  node->declare_parameter("b", 1);
  auto result = node->set_parameters_atomically(
    {rclcpp::Parameter("a", 2), rclcpp::Parameter("b", "text")});
  EXPECT_FALSE(result.successful);
  EXPECT_EQ(node->get_parameter("a").as_int(), 1);
  auto results = node->set_parameters({rclcpp::Parameter("a", 2), rclcpp::Parameter("b", "x")});
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].successful);
  EXPECT_FALSE(results[1].successful);
  EXPECT_EQ(node->get_parameter("a").as_int(), 2);
}

TEST_F(ParametersTest, OnSetCallbacksGateValuesWhileTheirHandleLives)
{
  auto node = make_node();
  std::vector<std::string> seen;
  auto handle = node->add_on_set_parameters_callback(
    [&seen](const std::vector<rclcpp::Parameter> & parameters) {
      SetParametersResult result;
      result.successful = true;
      for (const auto & p : parameters) {
        seen.push_back(p.get_name());
        if (p.get_name() == "limit" && p.as_int() > 100) {
          result.successful = false;
          result.reason = "too large";
        }
      }
      return result;
    });
  node->declare_parameter("limit", 5);
  EXPECT_EQ(seen, std::vector<std::string>{"limit"});
  const auto rejected = node->set_parameter({"limit", 500});
  EXPECT_FALSE(rejected.successful);
  EXPECT_EQ(rejected.reason, "too large");
  EXPECT_EQ(node->get_parameter("limit").as_int(), 5);
  node->remove_on_set_parameters_callback(handle.get());
  EXPECT_THROW(node->remove_on_set_parameters_callback(handle.get()), std::runtime_error);
  EXPECT_TRUE(node->set_parameter({"limit", 500}).successful);
}

TEST_F(ParametersTest, RejectingCallbackFailsDeclarationWithValueException)
{
  auto node = make_node();
  auto handle = node->add_on_set_parameters_callback(
    [](const std::vector<rclcpp::Parameter> &) {
      SetParametersResult result;
      result.successful = false;
      result.reason = "no";
      return result;
    });
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterValueException>(
      [&]() {node->declare_parameter("x", 1);}),
    "parameter 'x' could not be set: no");
  EXPECT_FALSE(node->has_parameter("x"));
}

TEST_F(ParametersTest, ModifyingParametersInsideACallbackThrows)
{
  auto node = make_node();
  node->declare_parameter("other", 0);
  auto handle = node->add_on_set_parameters_callback(
    [&node](const std::vector<rclcpp::Parameter> &) {
      node->set_parameter({"other", 1});
      return SetParametersResult();
    });
  EXPECT_THROW(
    node->declare_parameter("trigger", 1),
    rclcpp::exceptions::ParameterModifiedInCallbackException);
}

TEST_F(ParametersTest, UndeclareOnlyDynamicWritableParameters)
{
  auto node = make_node();
  node->declare_parameter("static", 1);
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterTypeException>(
      [&]() {node->undeclare_parameter("static");}),
    "parameter 'static' has invalid type: cannot undeclare an statically typed parameter");
  EXPECT_EQ(
    what_of<rclcpp::exceptions::ParameterNotDeclaredException>(
      [&]() {node->undeclare_parameter("ghost");}),
    "cannot undeclare parameter 'ghost' which has not yet been declared");
  ParameterDescriptor dynamic;
  dynamic.dynamic_typing = true;
  node->declare_parameter("dyn", 1, dynamic);
  EXPECT_TRUE(node->set_parameter({"dyn", "now a string"}).successful);
  node->undeclare_parameter("dyn");
  EXPECT_FALSE(node->has_parameter("dyn"));
  ParameterDescriptor frozen = dynamic;
  frozen.read_only = true;
  node->declare_parameter("frozen", 1, frozen);
  EXPECT_THROW(node->undeclare_parameter("frozen"), rclcpp::exceptions::ParameterImmutableException);
}

TEST_F(ParametersTest, UndeclaredParametersAndAutomaticDeclaration)
{
  auto open = make_node(rclcpp::NodeOptions().allow_undeclared_parameters(true));
  EXPECT_TRUE(open->set_parameter({"free", 3}).successful);
  EXPECT_EQ(open->get_parameter("free").as_int(), 3);
  EXPECT_EQ(open->get_parameter("unknown").get_type(), rclcpp::PARAMETER_NOT_SET);
  auto automatic = std::make_shared<rclcpp::Node>(
    "auto", rclcpp::NodeOptions()
    .automatically_declare_parameters_from_overrides(true)
    .append_parameter_override("from_override", std::string("v")));
  EXPECT_TRUE(automatic->has_parameter("from_override"));
  EXPECT_TRUE(automatic->describe_parameter("from_override").dynamic_typing);
  EXPECT_EQ(automatic->get_parameter("from_override").as_string(), "v");
}

TEST_F(ParametersTest, DescribeAndListParameters)
{
  auto node = make_node();
  ParameterDescriptor descriptor;
  descriptor.description = "how fast";
  node->declare_parameter("motion.speed", 1.0, descriptor);
  node->declare_parameter("motion.limits.max", 2.0);
  const auto described = node->describe_parameter("motion.speed");
  EXPECT_EQ(described.name, "motion.speed");
  EXPECT_EQ(described.type, rclcpp::PARAMETER_DOUBLE);
  EXPECT_EQ(described.description, "how fast");
  EXPECT_THROW(
    node->describe_parameter("nope"), rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_TRUE(node->list_parameters({"motion"}, 1).names.empty());
  const auto listed = node->list_parameters({"motion"}, 2);
  EXPECT_EQ(listed.names, std::vector<std::string>{"motion.speed"});
  const auto deep = node->list_parameters({"motion"}, 0);
  EXPECT_EQ(deep.names.size(), 2u);
}

TEST_F(ParametersTest, FloatingPointRangeToleratesRoundingOnTheStepGrid)
{
  auto node = make_node();
  ParameterDescriptor ranged;
  ranged.floating_point_range.resize(1);
  ranged.floating_point_range[0].from_value = 0.0;
  ranged.floating_point_range[0].to_value = 1.0;
  ranged.floating_point_range[0].step = 0.1;
  node->declare_parameter("ratio", 0.5, ranged);
  EXPECT_TRUE(node->set_parameter({"ratio", 0.1 + 0.2}).successful);
  EXPECT_TRUE(node->set_parameter({"ratio", 1.0}).successful);
  auto off_grid = node->set_parameter({"ratio", 0.25});
  EXPECT_FALSE(off_grid.successful);
  EXPECT_EQ(off_grid.reason, "Parameter {ratio} doesn't comply with floating point range.");
  EXPECT_FALSE(node->set_parameter({"ratio", 1.5}).successful);
  EXPECT_EQ(
    what_of<rclcpp::exceptions::InvalidParameterValueException>(
      [&]() {node->declare_parameter("outside", 2.0, ranged);}),
    "parameter 'outside' could not be set: Parameter {outside} doesn't comply with floating "
    "point range.");
}

TEST_F(ParametersTest, ArrayAndByteParametersKeepTheirTypes)
{
  auto node = make_node();
  const auto doubles = node->declare_parameter("doubles", std::vector<double>{1.0, 2.0});
  EXPECT_EQ(doubles, (std::vector<double>{1.0, 2.0}));
  const std::vector<int64_t> widened = node->declare_parameter("ints", std::vector<int>{3, 4});
  EXPECT_EQ(widened, (std::vector<int64_t>{3, 4}));
  node->declare_parameter("bytes", std::vector<uint8_t>{0x01, 0xff});
  EXPECT_EQ(node->get_parameter("bytes").as_byte_array().back(), 0xff);
  EXPECT_FALSE(node->set_parameter({"doubles", std::vector<int64_t>{1}}).successful);
  const auto types = node->get_parameter_types({"doubles", "ints", "bytes"});
  EXPECT_EQ(
    types, (std::vector<uint8_t>{rclcpp::PARAMETER_DOUBLE_ARRAY, rclcpp::PARAMETER_INTEGER_ARRAY,
      rclcpp::PARAMETER_BYTE_ARRAY}));
}

TEST_F(ParametersTest, DeclareParametersUsesTheNamespacePrefix)
{
  auto node = make_node(rclcpp::NodeOptions().append_parameter_override("limits.max", 9));
  const auto values = node->declare_parameters<int64_t>(
    "limits", {{"min", 1}, {"max", 2}});
  EXPECT_EQ(values, (std::vector<int64_t>{9, 1}));
  EXPECT_TRUE(node->has_parameter("limits.min"));
  ParameterDescriptor described;
  described.description = "with descriptor";
  node->declare_parameters<std::string>(
    "", {{"top", {"value", described}}});
  EXPECT_EQ(node->describe_parameter("top").description, "with descriptor");
  const auto params = node->get_parameters({"limits.min", "limits.max"});
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[1].as_int(), 9);
}

TEST_F(ParametersTest, GetParameterOrFallsBackWithoutDeclaring)
{
  auto node = make_node();
  double value = 0.0;
  EXPECT_FALSE(node->get_parameter_or("missing", value, 2.5));
  EXPECT_EQ(value, 2.5);
  EXPECT_FALSE(node->has_parameter("missing"));
  node->declare_parameter("present", 1.25);
  EXPECT_TRUE(node->get_parameter_or("present", value, 2.5));
  EXPECT_EQ(value, 1.25);
}

TEST_F(ParametersTest, UndeclaredModeDeclaresDynamicallyAndNotSetUndeclares)
{
  auto node = make_node(rclcpp::NodeOptions().allow_undeclared_parameters(true));
  EXPECT_TRUE(node->set_parameters_atomically({{"a", 1}, {"b", "x"}}).successful);
  EXPECT_TRUE(node->describe_parameter("a").dynamic_typing);
  EXPECT_TRUE(node->set_parameter({"a", "now text"}).successful);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("a")).successful);
  EXPECT_FALSE(node->has_parameter("a"));
  node->declare_parameter("fixed", 1);
  auto refused = node->set_parameter(rclcpp::Parameter("fixed"));
  EXPECT_FALSE(refused.successful);
  EXPECT_EQ(refused.reason, "cannot undeclare an statically typed parameter");
  EXPECT_EQ(node->describe_parameters({"ghost"}).at(0).name, "ghost");
  EXPECT_EQ(node->get_parameter_types({"ghost"}).at(0), rclcpp::PARAMETER_NOT_SET);
}

TEST_F(ParametersTest, ListingWithoutPrefixesHonoursDepth)
{
  auto node = make_node();
  node->declare_parameter("top", 1);
  node->declare_parameter("one.two", 1);
  node->declare_parameter("one.two.three", 1);
  const auto shallow = node->list_parameters({}, 1);
  EXPECT_NE(std::find(shallow.names.begin(), shallow.names.end(), "top"), shallow.names.end());
  EXPECT_EQ(std::find(shallow.names.begin(), shallow.names.end(), "one.two"), shallow.names.end());
  const auto all = node->list_parameters({}, 0);
  EXPECT_NE(
    std::find(all.names.begin(), all.names.end(), "one.two.three"), all.names.end());
  EXPECT_NE(std::find(all.prefixes.begin(), all.prefixes.end(), "one.two"), all.prefixes.end());
}
