// Copyright (c) 2026 Quorvane
// Licensed under the Apache License, Version 2.0

#include "nav2_util/lifecycle_node.hpp"

#include <memory>
#include <stdexcept>
#include <string>

#include "lifecycle_msgs/msg/state.hpp"

namespace nav2_util
{

namespace
{
// Name of bond's "server never times out" switch; a lifecycle manager reads it from every node.
constexpr char kDisableHeartbeatTimeoutParam[] = "bond_disable_heartbeat_timeout";

rcl_interfaces::msg::ParameterDescriptor makeDescriptor(
  const std::string & name, const std::string & description,
  const std::string & additional_constraints, bool read_only)
{
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.name = name;
  descriptor.description = description;
  descriptor.additional_constraints = additional_constraints;
  descriptor.read_only = read_only;
  return descriptor;
}
}  // namespace

LifecycleNode::LifecycleNode(
  const std::string & node_name,
  const std::string & ns,
  const rclcpp::NodeOptions & options)
: rclcpp_lifecycle::LifecycleNode(node_name, ns, options)
{
  // The lifecycle manager's side of a bond may time out; this side never does.
  declare_parameter(kDisableHeartbeatTimeoutParam, true);
  set_parameter(rclcpp::Parameter(kDisableHeartbeatTimeoutParam, true));

  register_rcl_preshutdown_callback();
  printLifecycleNodeNotification();
}

LifecycleNode::~LifecycleNode()
{
  RCLCPP_INFO(get_logger(), "Destroying");
  runCleanups();
  if (rcl_preshutdown_cb_handle_) {
    rclcpp::Context::SharedPtr context = get_node_base_interface()->get_context();
    context->remove_pre_shutdown_callback(*rcl_preshutdown_cb_handle_);
    rcl_preshutdown_cb_handle_.reset();
  }
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const std::string & description, const std::string & additional_constraints,
  bool read_only)
{
  auto descriptor = makeDescriptor(name, description, additional_constraints, read_only);
  declare_parameter(descriptor.name, default_value, descriptor);
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const floating_point_range fp_range,
  const std::string & description, const std::string & additional_constraints,
  bool read_only)
{
  auto descriptor = makeDescriptor(name, description, additional_constraints, read_only);
  descriptor.floating_point_range.resize(1);
  descriptor.floating_point_range[0].from_value = fp_range.from_value;
  descriptor.floating_point_range[0].to_value = fp_range.to_value;
  descriptor.floating_point_range[0].step = fp_range.step;
  declare_parameter(descriptor.name, default_value, descriptor);
}

void LifecycleNode::add_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const integer_range int_range,
  const std::string & description, const std::string & additional_constraints,
  bool read_only)
{
  auto descriptor = makeDescriptor(name, description, additional_constraints, read_only);
  descriptor.integer_range.resize(1);
  descriptor.integer_range[0].from_value = int_range.from_value;
  descriptor.integer_range[0].to_value = int_range.to_value;
  descriptor.integer_range[0].step = int_range.step;
  declare_parameter(descriptor.name, default_value, descriptor);
}

std::shared_ptr<nav2_util::LifecycleNode> LifecycleNode::shared_from_this()
{
  return std::static_pointer_cast<nav2_util::LifecycleNode>(
    rclcpp_lifecycle::LifecycleNode::shared_from_this());
}

nav2_util::CallbackReturn LifecycleNode::on_error(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_FATAL(get_logger(), "Lifecycle node %s does not have error state implemented", get_name());
  return nav2_util::CallbackReturn::SUCCESS;
}

void LifecycleNode::on_rcl_preshutdown()
{
  RCLCPP_INFO(get_logger(), "Running Nav2 LifecycleNode rcl preshutdown (%s)", get_name());
  runCleanups();
  destroyBond();
}

void LifecycleNode::createBond()
{
  throw std::logic_error("nav2_util::LifecycleNode::createBond not supported by this stand-in");
}

void LifecycleNode::destroyBond()
{
}

void LifecycleNode::printLifecycleNodeNotification()
{
  RCLCPP_INFO(
    get_logger(),
    "\n\t%s lifecycle node launched. \n"
    "\tWaiting on external lifecycle transitions to activate\n"
    "\tSee https://design.ros2.org/articles/node_lifecycle.html for more information.",
    get_name());
}

void LifecycleNode::register_rcl_preshutdown_callback()
{
  rclcpp::Context::SharedPtr context = get_node_base_interface()->get_context();
  rcl_preshutdown_cb_handle_ = std::make_unique<rclcpp::PreShutdownCallbackHandle>(
    context->add_pre_shutdown_callback([this]() {on_rcl_preshutdown();}));
}

void LifecycleNode::runCleanups()
{
  // Leave no resource of an active node behind: step down through inactive to unconfigured.
  if (get_current_state().id() == lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE) {
    deactivate();
  }
  if (get_current_state().id() == lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE) {
    cleanup();
  }
}

}  // namespace nav2_util
