#include "rclcpp/node_options.hpp"

#include <string>
#include <vector>

#include "ros_arguments.hpp"

namespace rclcpp
{

NodeOptions::NodeOptions(rcl_allocator_t allocator)
: allocator_(allocator), node_options_{allocator, true, {nullptr}, true}
{}

const rcl_node_options_t * NodeOptions::get_rcl_node_options() const
{
  return &node_options_;
}

rclcpp::Context::SharedPtr NodeOptions::context() const
{
  return context_;
}

NodeOptions & NodeOptions::context(rclcpp::Context::SharedPtr context)
{
  context_ = context;
  return *this;
}

const std::vector<std::string> & NodeOptions::arguments() const
{
  return arguments_;
}

NodeOptions & NodeOptions::arguments(const std::vector<std::string> & arguments)
{
  arguments_ = arguments;
  parsed_arguments_ = std::make_shared<rcl_arguments_impl_t>();
  parsed_arguments_->ros_arguments = detail::RosArguments::extract(arguments_);
  node_options_.arguments.impl = parsed_arguments_.get();
  return *this;
}

std::vector<rclcpp::Parameter> & NodeOptions::parameter_overrides()
{
  return parameter_overrides_;
}

const std::vector<rclcpp::Parameter> & NodeOptions::parameter_overrides() const
{
  return parameter_overrides_;
}

NodeOptions & NodeOptions::parameter_overrides(
  const std::vector<rclcpp::Parameter> & parameter_overrides)
{
  parameter_overrides_ = parameter_overrides;
  return *this;
}

const rclcpp::PublisherOptionsBase & NodeOptions::parameter_event_publisher_options() const
{
  return parameter_event_publisher_options_;
}

NodeOptions & NodeOptions::parameter_event_publisher_options(
  const rclcpp::PublisherOptionsBase & parameter_event_publisher_options)
{
  parameter_event_publisher_options_ = parameter_event_publisher_options;
  return *this;
}

const rcl_allocator_t & NodeOptions::allocator() const
{
  return allocator_;
}

NodeOptions & NodeOptions::allocator(rcl_allocator_t allocator)
{
  allocator_ = allocator;
  node_options_.allocator = allocator;
  return *this;
}

bool NodeOptions::use_global_arguments() const
{
  return use_global_arguments_;
}

NodeOptions & NodeOptions::use_global_arguments(bool value)
{
  use_global_arguments_ = value;
  node_options_.use_global_arguments = value;
  return *this;
}

bool NodeOptions::enable_rosout() const
{
  return enable_rosout_;
}

NodeOptions & NodeOptions::enable_rosout(bool value)
{
  enable_rosout_ = value;
  node_options_.enable_rosout = value;
  return *this;
}

bool NodeOptions::use_intra_process_comms() const
{
  return use_intra_process_comms_;
}

NodeOptions & NodeOptions::use_intra_process_comms(bool value)
{
  use_intra_process_comms_ = value;
  return *this;
}

bool NodeOptions::enable_topic_statistics() const
{
  return enable_topic_statistics_;
}

NodeOptions & NodeOptions::enable_topic_statistics(bool value)
{
  enable_topic_statistics_ = value;
  return *this;
}

bool NodeOptions::start_parameter_services() const
{
  return start_parameter_services_;
}

NodeOptions & NodeOptions::start_parameter_services(bool value)
{
  start_parameter_services_ = value;
  return *this;
}

bool NodeOptions::start_parameter_event_publisher() const
{
  return start_parameter_event_publisher_;
}

NodeOptions & NodeOptions::start_parameter_event_publisher(bool value)
{
  start_parameter_event_publisher_ = value;
  return *this;
}

bool NodeOptions::use_clock_thread() const
{
  return use_clock_thread_;
}

NodeOptions & NodeOptions::use_clock_thread(const bool value)
{
  use_clock_thread_ = value;
  return *this;
}

bool NodeOptions::allow_undeclared_parameters() const
{
  return allow_undeclared_parameters_;
}

NodeOptions & NodeOptions::allow_undeclared_parameters(bool value)
{
  allow_undeclared_parameters_ = value;
  return *this;
}

bool NodeOptions::automatically_declare_parameters_from_overrides() const
{
  return automatically_declare_parameters_from_overrides_;
}

NodeOptions & NodeOptions::automatically_declare_parameters_from_overrides(bool value)
{
  automatically_declare_parameters_from_overrides_ = value;
  return *this;
}

const rclcpp::QoS & NodeOptions::clock_qos() const
{
  return clock_qos_;
}

NodeOptions & NodeOptions::clock_qos(const rclcpp::QoS & value)
{
  clock_qos_ = value;
  return *this;
}

const rclcpp::QoS & NodeOptions::parameter_event_qos() const
{
  return parameter_event_qos_;
}

NodeOptions & NodeOptions::parameter_event_qos(const rclcpp::QoS & value)
{
  parameter_event_qos_ = value;
  return *this;
}

const rclcpp::QoS & NodeOptions::rosout_qos() const
{
  return rosout_qos_;
}

NodeOptions & NodeOptions::rosout_qos(const rclcpp::QoS & value)
{
  rosout_qos_ = value;
  return *this;
}

}  // namespace rclcpp
