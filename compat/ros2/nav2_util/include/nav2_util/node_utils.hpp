// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#ifndef NAV2_UTIL__NODE_UTILS_HPP_
#define NAV2_UTIL__NODE_UTILS_HPP_

#include <cstdlib>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/rclcpp.hpp"

// Helpers for naming nodes and for parameters that several owners may try to declare.
namespace nav2_util
{

// Every character that is not alphanumeric becomes '_'.
std::string sanitize_node_name(const std::string & potential_node_name);

// Joins two namespace pieces; a top namespace ending in '/' is made absolute.
std::string add_namespaces(const std::string & top_ns, const std::string & sub_ns = "");

// The sanitized prefix followed by '_' and eight digits taken from the clock.
std::string generate_internal_node_name(const std::string & prefix = "");

// A plain node, outside the ROS graph's parameter services, for internal plumbing.
rclcpp::Node::SharedPtr generate_internal_node(const std::string & prefix = "");

// The last `len` decimal digits of the current time since epoch, in nanoseconds.
std::string time_to_string(size_t len);

template<typename NodeT>
void declare_parameter_if_not_declared(
  NodeT node,
  const std::string & param_name,
  const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
  rcl_interfaces::msg::ParameterDescriptor())
{
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, default_value, parameter_descriptor);
  }
}

template<typename NodeT>
void declare_parameter_if_not_declared(
  NodeT node,
  const std::string & param_name,
  const rclcpp::ParameterType & param_type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
  rcl_interfaces::msg::ParameterDescriptor())
{
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, param_type, parameter_descriptor);
  }
}

// A plugin without a type cannot be loaded and the server cannot run without it: end the process.
template<typename NodeT>
std::string get_plugin_type_param(NodeT node, const std::string & plugin_name)
{
  declare_parameter_if_not_declared(node, plugin_name + ".plugin", rclcpp::PARAMETER_STRING);
  std::string plugin_type;
  try {
    if (!node->get_parameter(plugin_name + ".plugin", plugin_type)) {
      RCLCPP_FATAL(
        node->get_logger(), "Can not get 'plugin' param value for %s", plugin_name.c_str());
      exit(-1);
    }
  } catch (rclcpp::exceptions::ParameterUninitializedException & /*ex*/) {
    RCLCPP_FATAL(node->get_logger(), "'plugin' param not defined for %s", plugin_name.c_str());
    exit(-1);
  }
  return plugin_type;
}

// Declares in the child every parameter of the parent that the child does not have yet.
template<typename NodeT1, typename NodeT2>
void copy_all_parameters(const NodeT1 & parent, const NodeT2 & child)
{
  using Parameters = std::vector<rclcpp::Parameter>;
  std::vector<std::string> param_names = parent->list_parameters({}, 0).names;
  Parameters params = parent->get_parameters(param_names);
  for (Parameters::const_iterator iter = params.begin(); iter != params.end(); ++iter) {
    if (!child->has_parameter(iter->get_name())) {
      child->declare_parameter(iter->get_name(), iter->get_parameter_value());
    }
  }
}

}  // namespace nav2_util

#endif  // NAV2_UTIL__NODE_UTILS_HPP_
