#include "rclcpp/parameter.hpp"

#include <ostream>
#include <string>
#include <vector>

#include "rclcpp/node_interfaces/parameter_info.hpp"

namespace rclcpp
{

Parameter::Parameter() = default;

Parameter::Parameter(const std::string & name)
: name_(name) {}

Parameter::Parameter(const std::string & name, const ParameterValue & value)
: name_(name), value_(value) {}

Parameter::Parameter(const node_interfaces::ParameterInfo & parameter_info)
: Parameter(parameter_info.descriptor.name, parameter_info.value) {}

bool Parameter::operator==(const Parameter & rhs) const
{
  return name_ == rhs.name_ && value_ == rhs.value_;
}

bool Parameter::operator!=(const Parameter & rhs) const
{
  return !(*this == rhs);
}

ParameterType Parameter::get_type() const
{
  return value_.get_type();
}

std::string Parameter::get_type_name() const
{
  return rclcpp::to_string(get_type());
}

const std::string & Parameter::get_name() const
{
  return name_;
}

rcl_interfaces::msg::ParameterValue Parameter::get_value_message() const
{
  return value_.to_value_msg();
}

const ParameterValue & Parameter::get_parameter_value() const
{
  return value_;
}

bool Parameter::as_bool() const
{
  return get_value<ParameterType::PARAMETER_BOOL>();
}

int64_t Parameter::as_int() const
{
  return get_value<ParameterType::PARAMETER_INTEGER>();
}

double Parameter::as_double() const
{
  return get_value<ParameterType::PARAMETER_DOUBLE>();
}

const std::string & Parameter::as_string() const
{
  return get_value<ParameterType::PARAMETER_STRING>();
}

const std::vector<uint8_t> & Parameter::as_byte_array() const
{
  return get_value<ParameterType::PARAMETER_BYTE_ARRAY>();
}

const std::vector<bool> & Parameter::as_bool_array() const
{
  return get_value<ParameterType::PARAMETER_BOOL_ARRAY>();
}

const std::vector<int64_t> & Parameter::as_integer_array() const
{
  return get_value<ParameterType::PARAMETER_INTEGER_ARRAY>();
}

const std::vector<double> & Parameter::as_double_array() const
{
  return get_value<ParameterType::PARAMETER_DOUBLE_ARRAY>();
}

const std::vector<std::string> & Parameter::as_string_array() const
{
  return get_value<ParameterType::PARAMETER_STRING_ARRAY>();
}

Parameter Parameter::from_parameter_msg(const rcl_interfaces::msg::Parameter & parameter)
{
  return Parameter(parameter.name, ParameterValue(parameter.value));
}

rcl_interfaces::msg::Parameter Parameter::to_parameter_msg() const
{
  rcl_interfaces::msg::Parameter msg;
  msg.name = name_;
  msg.value = value_.to_value_msg();
  return msg;
}

std::string Parameter::value_to_string() const
{
  return rclcpp::to_string(value_);
}

std::string _to_json_dict_entry(const Parameter & param)
{
  std::string quote = param.get_type() == PARAMETER_STRING ? "\"" : "";
  return "\"" + param.get_name() + "\": {\"type\": \"" + param.get_type_name() +
         "\", \"value\": " + quote + param.value_to_string() + quote + "}";
}

std::ostream & operator<<(std::ostream & os, const rclcpp::Parameter & pv)
{
  return os << std::to_string(pv);
}

std::ostream & operator<<(std::ostream & os, const std::vector<Parameter> & parameters)
{
  return os << std::to_string(parameters);
}

}  // namespace rclcpp

namespace std
{

std::string to_string(const rclcpp::Parameter & param)
{
  return "{" + rclcpp::_to_json_dict_entry(param) + "}";
}

std::string to_string(const std::vector<rclcpp::Parameter> & parameters)
{
  std::string result = "{";
  for (size_t i = 0; i < parameters.size(); ++i) {
    result += (i ? ", " : "") + rclcpp::_to_json_dict_entry(parameters[i]);
  }
  return result + "}";
}

}  // namespace std
