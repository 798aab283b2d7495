#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lifecycle_msgs/msg/state.hpp"
#include "lifecycle_msgs/msg/transition.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/node_interfaces/node_base.hpp"
#include "rclcpp/node_interfaces/node_clock.hpp"
#include "rclcpp/node_interfaces/node_graph.hpp"
#include "rclcpp/node_interfaces/node_logging.hpp"
#include "rclcpp/node_interfaces/node_parameters.hpp"
#include "rclcpp/node_interfaces/node_services.hpp"
#include "rclcpp/node_interfaces/node_time_source.hpp"
#include "rclcpp/node_interfaces/node_timers.hpp"
#include "rclcpp/node_interfaces/node_topics.hpp"
#include "rclcpp/node_interfaces/node_waitables.hpp"
#include "state_machine_runner.hpp"

namespace rclcpp_lifecycle
{
namespace
{

using StateMsg = lifecycle_msgs::msg::State;
using TransitionMsg = lifecycle_msgs::msg::Transition;

}  // namespace

LifecycleNode::LifecycleNode(
  const std::string & node_name, const rclcpp::NodeOptions & options,
  bool enable_communication_interface)
: LifecycleNode(node_name, "", options, enable_communication_interface)
{}

LifecycleNode::LifecycleNode(
  const std::string & node_name, const std::string & namespace_,
  const rclcpp::NodeOptions & options, bool enable_communication_interface)
: node_base_(new rclcpp::node_interfaces::NodeBase(
      node_name, namespace_, options.context(), *(options.get_rcl_node_options()),
      options.use_intra_process_comms(), options.enable_topic_statistics())),
  node_graph_(new rclcpp::node_interfaces::NodeGraph(node_base_.get())),
  node_logging_(new rclcpp::node_interfaces::NodeLogging(node_base_.get())),
  node_timers_(new rclcpp::node_interfaces::NodeTimers(node_base_.get())),
  node_topics_(new rclcpp::node_interfaces::NodeTopics(node_base_.get(), node_timers_.get())),
  node_services_(new rclcpp::node_interfaces::NodeServices(node_base_.get())),
  node_clock_(new rclcpp::node_interfaces::NodeClock()),
  node_parameters_(new rclcpp::node_interfaces::NodeParameters(
      node_base_, node_logging_, node_topics_, node_services_, node_clock_,
      options.parameter_overrides(), options.start_parameter_services(),
      options.start_parameter_event_publisher(), options.parameter_event_qos(),
      options.parameter_event_publisher_options(), options.allow_undeclared_parameters(),
      options.automatically_declare_parameters_from_overrides(), options.arguments(),
      options.use_global_arguments())),
  node_time_source_(new rclcpp::node_interfaces::NodeTimeSource(
      node_base_, node_topics_, node_graph_, node_services_, node_logging_, node_clock_,
      node_parameters_, options.clock_qos(), options.use_clock_thread())),
  node_waitables_(new rclcpp::node_interfaces::NodeWaitables(node_base_.get())),
  node_options_(options),
  impl_(std::make_unique<StateMachineRunner>(
      node_base_, node_services_, node_topics_, enable_communication_interface))
{
  // The virtual callbacks are looked up at call time, so overrides in derived classes apply.
  register_on_configure([this](const State & s) {return on_configure(s);});
  register_on_cleanup([this](const State & s) {return on_cleanup(s);});
  register_on_shutdown([this](const State & s) {return on_shutdown(s);});
  register_on_activate([this](const State & s) {return on_activate(s);});
  register_on_deactivate([this](const State & s) {return on_deactivate(s);});
  register_on_error([this](const State & s) {return on_error(s);});
}

LifecycleNode::~LifecycleNode()
{
  impl_.reset();
  node_time_source_.reset();
  node_parameters_.reset();
}

const char * LifecycleNode::get_name() const
{
  return node_base_->get_name();
}

const char * LifecycleNode::get_namespace() const
{
  return node_base_->get_namespace();
}

rclcpp::Logger LifecycleNode::get_logger() const
{
  return node_logging_->get_logger();
}

rclcpp::CallbackGroup::SharedPtr LifecycleNode::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  return node_base_->create_callback_group(group_type, automatically_add_to_executor_with_node);
}

void LifecycleNode::for_each_callback_group(
  const rclcpp::node_interfaces::NodeBaseInterface::CallbackGroupFunction & func)
{
  node_base_->for_each_callback_group(func);
}

const rclcpp::ParameterValue & LifecycleNode::declare_parameter(
  const std::string & name, const rclcpp::ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  return node_parameters_->declare_parameter(
    name, default_value, parameter_descriptor, ignore_override);
}

const rclcpp::ParameterValue & LifecycleNode::declare_parameter(
  const std::string & name, rclcpp::ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  return node_parameters_->declare_parameter(name, type, parameter_descriptor, ignore_override);
}

void LifecycleNode::undeclare_parameter(const std::string & name)
{
  node_parameters_->undeclare_parameter(name);
}

bool LifecycleNode::has_parameter(const std::string & name) const
{
  return node_parameters_->has_parameter(name);
}

rcl_interfaces::msg::SetParametersResult LifecycleNode::set_parameter(
  const rclcpp::Parameter & parameter)
{
  return set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult> LifecycleNode::set_parameters(
  const std::vector<rclcpp::Parameter> & parameters)
{
  return node_parameters_->set_parameters(parameters);
}

rcl_interfaces::msg::SetParametersResult LifecycleNode::set_parameters_atomically(
  const std::vector<rclcpp::Parameter> & parameters)
{
  return node_parameters_->set_parameters_atomically(parameters);
}

rclcpp::Parameter LifecycleNode::get_parameter(const std::string & name) const
{
  return node_parameters_->get_parameter(name);
}

bool LifecycleNode::get_parameter(
  const std::string & name, rclcpp::Parameter & parameter) const
{
  return node_parameters_->get_parameter(name, parameter);
}

std::vector<rclcpp::Parameter> LifecycleNode::get_parameters(
  const std::vector<std::string> & names) const
{
  return node_parameters_->get_parameters(names);
}

rcl_interfaces::msg::ParameterDescriptor LifecycleNode::describe_parameter(
  const std::string & name) const
{
  auto result = node_parameters_->describe_parameters({name});
  if (result.empty()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
  if (result.size() > 1) {
    throw std::runtime_error("number of described parameters unexpectedly more than one");
  }
  return result.front();
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> LifecycleNode::describe_parameters(
  const std::vector<std::string> & names) const
{
  return node_parameters_->describe_parameters(names);
}

std::vector<uint8_t> LifecycleNode::get_parameter_types(
  const std::vector<std::string> & names) const
{
  return node_parameters_->get_parameter_types(names);
}

rcl_interfaces::msg::ListParametersResult LifecycleNode::list_parameters(
  const std::vector<std::string> & prefixes, uint64_t depth) const
{
  return node_parameters_->list_parameters(prefixes, depth);
}

LifecycleNode::OnSetParametersCallbackHandle::SharedPtr
LifecycleNode::add_on_set_parameters_callback(
  OnParametersSetCallbackType callback)
{
  return node_parameters_->add_on_set_parameters_callback(callback);
}

void LifecycleNode::remove_on_set_parameters_callback(
  const OnSetParametersCallbackHandle * const handler)
{
  node_parameters_->remove_on_set_parameters_callback(handler);
}

std::vector<std::string> LifecycleNode::get_node_names() const
{
  return node_graph_->get_node_names();
}

std::map<std::string, std::vector<std::string>> LifecycleNode::get_topic_names_and_types(
  bool no_demangle) const
{
  return node_graph_->get_topic_names_and_types(no_demangle);
}

std::map<std::string, std::vector<std::string>> LifecycleNode::get_service_names_and_types() const
{
  return node_graph_->get_service_names_and_types();
}

std::map<std::string, std::vector<std::string>> LifecycleNode::get_service_names_and_types_by_node(
  const std::string & node_name, const std::string & namespace_) const
{
  return node_graph_->get_service_names_and_types_by_node(node_name, namespace_);
}

size_t LifecycleNode::count_publishers(const std::string & topic_name) const
{
  return node_graph_->count_publishers(topic_name);
}

size_t LifecycleNode::count_subscribers(const std::string & topic_name) const
{
  return node_graph_->count_subscribers(topic_name);
}

rclcpp::Event::SharedPtr LifecycleNode::get_graph_event()
{
  return node_graph_->get_graph_event();
}

void LifecycleNode::wait_for_graph_change(
  rclcpp::Event::SharedPtr event, std::chrono::nanoseconds timeout)
{
  node_graph_->wait_for_graph_change(event, timeout);
}

rclcpp::Clock::SharedPtr LifecycleNode::get_clock()
{
  return node_clock_->get_clock();
}

rclcpp::Clock::ConstSharedPtr LifecycleNode::get_clock() const
{
  return node_clock_->get_clock();
}

rclcpp::Time LifecycleNode::now() const
{
  return node_clock_->get_clock()->now();
}

rclcpp::node_interfaces::NodeBaseInterface::SharedPtr LifecycleNode::get_node_base_interface()
{
  return node_base_;
}

rclcpp::node_interfaces::NodeClockInterface::SharedPtr LifecycleNode::get_node_clock_interface()
{
  return node_clock_;
}

rclcpp::node_interfaces::NodeGraphInterface::SharedPtr LifecycleNode::get_node_graph_interface()
{
  return node_graph_;
}

rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr LifecycleNode::get_node_logging_interface()
{
  return node_logging_;
}

rclcpp::node_interfaces::NodeTimersInterface::SharedPtr LifecycleNode::get_node_timers_interface()
{
  return node_timers_;
}

rclcpp::node_interfaces::NodeTopicsInterface::SharedPtr LifecycleNode::get_node_topics_interface()
{
  return node_topics_;
}

rclcpp::node_interfaces::NodeServicesInterface::SharedPtr LifecycleNode::get_node_services_interface()
{
  return node_services_;
}

rclcpp::node_interfaces::NodeWaitablesInterface::SharedPtr LifecycleNode::get_node_waitables_interface()
{
  return node_waitables_;
}

rclcpp::node_interfaces::NodeParametersInterface::SharedPtr LifecycleNode::get_node_parameters_interface()
{
  return node_parameters_;
}

rclcpp::node_interfaces::NodeTimeSourceInterface::SharedPtr LifecycleNode::get_node_time_source_interface()
{
  return node_time_source_;
}

const rclcpp::NodeOptions & LifecycleNode::get_node_options() const
{
  return node_options_;
}

const State & LifecycleNode::get_current_state()
{
  return impl_->get_current_state();
}

std::vector<State> LifecycleNode::get_available_states()
{
  return impl_->get_available_states();
}

std::vector<Transition> LifecycleNode::get_available_transitions()
{
  return impl_->get_available_transitions();
}

std::vector<Transition> LifecycleNode::get_transition_graph()
{
  return impl_->get_transition_graph();
}

const State & LifecycleNode::trigger_transition(const Transition & transition)
{
  return trigger_transition(transition.id());
}

const State & LifecycleNode::trigger_transition(
  const Transition & transition, LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return trigger_transition(transition.id(), cb_return_code);
}

const State & LifecycleNode::trigger_transition(uint8_t transition_id)
{
  LifecycleNodeInterface::CallbackReturn ignored = CallbackReturn::SUCCESS;
  return impl_->trigger_transition(transition_id, ignored);
}

const State & LifecycleNode::trigger_transition(
  uint8_t transition_id, LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return impl_->trigger_transition(transition_id, cb_return_code);
}

const State & LifecycleNode::configure()
{
  return trigger_transition(TransitionMsg::TRANSITION_CONFIGURE);
}

const State & LifecycleNode::configure(LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_CONFIGURE, cb_return_code);
}

const State & LifecycleNode::cleanup()
{
  return trigger_transition(TransitionMsg::TRANSITION_CLEANUP);
}

const State & LifecycleNode::cleanup(LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_CLEANUP, cb_return_code);
}

const State & LifecycleNode::activate()
{
  return trigger_transition(TransitionMsg::TRANSITION_ACTIVATE);
}

const State & LifecycleNode::activate(LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_ACTIVATE, cb_return_code);
}

const State & LifecycleNode::deactivate()
{
  return trigger_transition(TransitionMsg::TRANSITION_DEACTIVATE);
}

const State & LifecycleNode::deactivate(LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return trigger_transition(TransitionMsg::TRANSITION_DEACTIVATE, cb_return_code);
}

const State & LifecycleNode::shutdown()
{
  LifecycleNodeInterface::CallbackReturn ignored = CallbackReturn::SUCCESS;
  return shutdown(ignored);
}

const State & LifecycleNode::shutdown(LifecycleNodeInterface::CallbackReturn & cb_return_code)
{
  return impl_->trigger_transition("shutdown", cb_return_code);
}

bool LifecycleNode::register_on_configure(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_CONFIGURING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_cleanup(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_CLEANINGUP, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_shutdown(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_SHUTTINGDOWN, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_activate(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_ACTIVATING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_deactivate(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_DEACTIVATING, std::move(fcn));
  return true;
}

bool LifecycleNode::register_on_error(TransitionCallback fcn)
{
  impl_->register_callback(StateMsg::TRANSITION_STATE_ERRORPROCESSING, std::move(fcn));
  return true;
}

LifecycleNode::CallbackReturn LifecycleNode::on_activate(const State &)
{
  impl_->on_activate();
  return CallbackReturn::SUCCESS;
}

LifecycleNode::CallbackReturn LifecycleNode::on_deactivate(const State &)
{
  impl_->on_deactivate();
  return CallbackReturn::SUCCESS;
}

void LifecycleNode::add_managed_entity(
  std::weak_ptr<rclcpp_lifecycle::ManagedEntityInterface> managed_entity)
{
  impl_->add_managed_entity(std::move(managed_entity));
}

void LifecycleNode::add_timer_handle(std::shared_ptr<rclcpp::TimerBase> timer)
{
  impl_->add_timer_handle(std::move(timer));
}

}  // namespace rclcpp_lifecycle
