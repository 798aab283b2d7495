// ParameterValue and Parameter: type mapping, strict typed access and the exceptions it raises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rclcpp/parameter.hpp"

using rclcpp::Parameter;
using rclcpp::ParameterType;
using rclcpp::ParameterValue;

class ParameterValueTest : public ::testing::Test {};

TEST_F(ParameterValueTest, NativeTypesMapToParameterTypes)
{
  EXPECT_EQ(ParameterValue().get_type(), rclcpp::PARAMETER_NOT_SET);
  EXPECT_EQ(ParameterValue(true).get_type(), rclcpp::PARAMETER_BOOL);
  EXPECT_EQ(ParameterValue(3).get_type(), rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(ParameterValue(2.5f).get_type(), rclcpp::PARAMETER_DOUBLE);
  EXPECT_EQ(ParameterValue("text").get_type(), rclcpp::PARAMETER_STRING);
  EXPECT_EQ(ParameterValue(std::vector<int>{1, 2}).get_type(), rclcpp::PARAMETER_INTEGER_ARRAY);
  EXPECT_EQ(ParameterValue(std::vector<float>{1.f}).get_type(), rclcpp::PARAMETER_DOUBLE_ARRAY);
  EXPECT_EQ(
    ParameterValue(std::vector<uint8_t>{1}).get_type(), rclcpp::PARAMETER_BYTE_ARRAY);
  EXPECT_EQ(ParameterValue(2.5f).get<double>(), 2.5);
  EXPECT_EQ(ParameterValue(std::vector<int>{4, 5}).get<std::vector<int>>().at(1), 5);
}

TEST_F(ParameterValueTest, TypedAccessNeverCoercesNumbers)
{
  try {
    ParameterValue(1).get<double>();
    FAIL() << "integer read as double";
  } catch (const rclcpp::ParameterTypeException & e) {
    EXPECT_STREQ(e.what(), "expected [double] got [integer]");
  }
  EXPECT_THROW(ParameterValue(1.0).get<int>(), rclcpp::ParameterTypeException);
  EXPECT_THROW(ParameterValue().get<std::string>(), rclcpp::ParameterTypeException);
}

TEST_F(ParameterValueTest, MessageRoundTripAndEquality)
{
  const ParameterValue value(std::vector<std::string>{"a", "b"});
  EXPECT_EQ(ParameterValue(value.to_value_msg()), value);
  EXPECT_NE(ParameterValue(1), ParameterValue(2));
  rcl_interfaces::msg::ParameterValue bad;
  bad.type = 42;
  EXPECT_THROW(ParameterValue{bad}, std::runtime_error);
}

TEST_F(ParameterValueTest, ToStringFormatsEachType)
{
  EXPECT_EQ(rclcpp::to_string(ParameterValue(true)), "true");
  EXPECT_EQ(rclcpp::to_string(ParameterValue(7)), "7");
  EXPECT_EQ(rclcpp::to_string(ParameterValue(std::vector<int>{1, 2})), "[1, 2]");
  EXPECT_EQ(rclcpp::to_string(ParameterValue(std::vector<uint8_t>{255})), "[0xff]");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_STRING_ARRAY), "string_array");
  EXPECT_EQ(rclcpp::to_string(static_cast<ParameterType>(99)), "unknown type");
}

class ParameterTest : public ::testing::Test {};

TEST_F(ParameterTest, GetValueWrapsTypeErrorsWithTheName)
{
  const Parameter param("speed", 1.5);
  EXPECT_EQ(param.get_value<double>(), 1.5);
  EXPECT_EQ(param.get_value<rclcpp::ParameterValue>(), ParameterValue(1.5));
  EXPECT_EQ(param.get_value<rclcpp::Parameter>(), param);
  try {
    param.get_value<int>();
    FAIL() << "double read as int";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException & e) {
    EXPECT_STREQ(e.what(), "parameter 'speed' has invalid type: expected [integer] got [double]");
  }
  EXPECT_THROW(param.as_string(), rclcpp::ParameterTypeException);
}

TEST_F(ParameterTest, ConvertsToAndFromMessages)
{
  const Parameter param("names", std::vector<std::string>{"x"});
  const auto msg = param.to_parameter_msg();
  EXPECT_EQ(msg.name, "names");
  EXPECT_EQ(Parameter::from_parameter_msg(msg), param);
  EXPECT_EQ(param.get_type_name(), "string_array");
  EXPECT_EQ(
    std::to_string(Parameter("a", 2)), "{\"a\": {\"type\": \"integer\", \"value\": 2}}");
}
