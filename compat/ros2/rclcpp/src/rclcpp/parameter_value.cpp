#include "rclcpp/parameter_value.hpp"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace rclcpp
{
namespace
{

template<typename ValueT>
std::string array_to_string(const std::vector<ValueT> & values)
{
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      out << ", ";
    }
    if constexpr (std::is_same<ValueT, uint8_t>::value) {
      out << "0x" << std::hex << static_cast<int>(values[i]) << std::dec;
    } else if constexpr (std::is_same<ValueT, bool>::value) {
      out << (values[i] ? "true" : "false");
    } else if constexpr (std::is_same<ValueT, double>::value) {
      out << std::to_string(values[i]);
    } else {
      out << values[i];
    }
  }
  out << "]";
  return out.str();
}

template<typename To, typename From>
std::vector<To> convert(const std::vector<From> & values)
{
  return std::vector<To>(values.begin(), values.end());
}

}  // namespace

std::string to_string(ParameterType type)
{
  switch (type) {
    case PARAMETER_NOT_SET: return "not set";
    case PARAMETER_BOOL: return "bool";
    case PARAMETER_INTEGER: return "integer";
    case PARAMETER_DOUBLE: return "double";
    case PARAMETER_STRING: return "string";
    case PARAMETER_BYTE_ARRAY: return "byte_array";
    case PARAMETER_BOOL_ARRAY: return "bool_array";
    case PARAMETER_INTEGER_ARRAY: return "integer_array";
    case PARAMETER_DOUBLE_ARRAY: return "double_array";
    case PARAMETER_STRING_ARRAY: return "string_array";
    default: return "unknown type";
  }
}

std::ostream & operator<<(std::ostream & os, ParameterType type)
{
  return os << to_string(type);
}

ParameterValue::ParameterValue()
{
  value_.type = PARAMETER_NOT_SET;
}

ParameterValue::ParameterValue(const rcl_interfaces::msg::ParameterValue & value)
: value_(value)
{
  if (value.type > PARAMETER_STRING_ARRAY) {
    throw std::runtime_error("Unknown type: " + std::to_string(value.type));
  }
}

ParameterValue::ParameterValue(const bool bool_value)
{
  value_.type = PARAMETER_BOOL;
  value_.bool_value = bool_value;
}

ParameterValue::ParameterValue(const int int_value)
: ParameterValue(static_cast<int64_t>(int_value)) {}

ParameterValue::ParameterValue(const int64_t int_value)
{
  value_.type = PARAMETER_INTEGER;
  value_.integer_value = int_value;
}

ParameterValue::ParameterValue(const float double_value)
: ParameterValue(static_cast<double>(double_value)) {}

ParameterValue::ParameterValue(const double double_value)
{
  value_.type = PARAMETER_DOUBLE;
  value_.double_value = double_value;
}

ParameterValue::ParameterValue(const std::string & string_value)
{
  value_.type = PARAMETER_STRING;
  value_.string_value = string_value;
}

ParameterValue::ParameterValue(const char * string_value)
: ParameterValue(std::string(string_value)) {}

ParameterValue::ParameterValue(const std::vector<uint8_t> & byte_array_value)
{
  value_.type = PARAMETER_BYTE_ARRAY;
  value_.byte_array_value = byte_array_value;
}

ParameterValue::ParameterValue(const std::vector<bool> & bool_array_value)
{
  value_.type = PARAMETER_BOOL_ARRAY;
  value_.bool_array_value = bool_array_value;
}

ParameterValue::ParameterValue(const std::vector<int> & int_array_value)
: ParameterValue(convert<int64_t>(int_array_value)) {}

ParameterValue::ParameterValue(const std::vector<int64_t> & int_array_value)
{
  value_.type = PARAMETER_INTEGER_ARRAY;
  value_.integer_array_value = int_array_value;
}

ParameterValue::ParameterValue(const std::vector<float> & double_array_value)
: ParameterValue(convert<double>(double_array_value)) {}

ParameterValue::ParameterValue(const std::vector<double> & double_array_value)
{
  value_.type = PARAMETER_DOUBLE_ARRAY;
  value_.double_array_value = double_array_value;
}

ParameterValue::ParameterValue(const std::vector<std::string> & string_array_value)
{
  value_.type = PARAMETER_STRING_ARRAY;
  value_.string_array_value = string_array_value;
}

ParameterType ParameterValue::get_type() const
{
  return static_cast<ParameterType>(value_.type);
}

rcl_interfaces::msg::ParameterValue ParameterValue::to_value_msg() const
{
  return value_;
}

bool ParameterValue::operator==(const ParameterValue & rhs) const
{
  return value_ == rhs.value_;
}

bool ParameterValue::operator!=(const ParameterValue & rhs) const
{
  return !(*this == rhs);
}

std::string to_string(const ParameterValue & value)
{
  switch (value.get_type()) {
    case PARAMETER_NOT_SET: return "not set";
    case PARAMETER_BOOL: return value.get<bool>() ? "true" : "false";
    case PARAMETER_INTEGER: return std::to_string(value.get<int64_t>());
    case PARAMETER_DOUBLE: return std::to_string(value.get<double>());
    case PARAMETER_STRING: return value.get<std::string>();
    case PARAMETER_BYTE_ARRAY: return array_to_string(value.get<std::vector<uint8_t>>());
    case PARAMETER_BOOL_ARRAY: return array_to_string(value.get<std::vector<bool>>());
    case PARAMETER_INTEGER_ARRAY: return array_to_string(value.get<std::vector<int64_t>>());
    case PARAMETER_DOUBLE_ARRAY: return array_to_string(value.get<std::vector<double>>());
    case PARAMETER_STRING_ARRAY: return array_to_string(value.get<std::vector<std::string>>());
    default: return "unknown type";
  }
}

}  // namespace rclcpp
