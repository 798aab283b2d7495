// The small node interfaces: logging, clock, timers, topics, services, graph and waitables.
#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "graph.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/node_interfaces/node_clock.hpp"
#include "rclcpp/node_interfaces/node_graph.hpp"
#include "rclcpp/node_interfaces/node_logging.hpp"
#include "rclcpp/node_interfaces/node_services.hpp"
#include "rclcpp/node_interfaces/node_timers.hpp"
#include "rclcpp/node_interfaces/node_topics.hpp"
#include "rclcpp/node_interfaces/node_waitables.hpp"

namespace rclcpp
{
namespace node_interfaces
{
namespace
{

rclcpp::CallbackGroup::SharedPtr group_in_node(
  NodeBaseInterface * node_base, rclcpp::CallbackGroup::SharedPtr group, const char * what)
{
  if (!group) {
    return node_base->get_default_callback_group();
  }
  if (!node_base->callback_group_in_node(group)) {
    throw std::runtime_error(std::string("Cannot create ") + what + ", group not in node.");
  }
  return group;
}

}  // namespace

NodeLogging::NodeLogging(NodeBaseInterface * node_base)
: logger_(rclcpp::get_node_logger(node_base->get_rcl_node_handle()))
{}

rclcpp::Logger NodeLogging::get_logger() const
{
  return logger_;
}

const char * NodeLogging::get_logger_name() const
{
  return logger_.get_name();
}

NodeClock::NodeClock()
: ros_clock_(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME))
{}

rclcpp::Clock::SharedPtr NodeClock::get_clock()
{
  return ros_clock_;
}

rclcpp::Clock::ConstSharedPtr NodeClock::get_clock() const
{
  return ros_clock_;
}

NodeTimers::NodeTimers(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeTimers::add_timer(
  rclcpp::TimerBase::SharedPtr timer, rclcpp::CallbackGroup::SharedPtr callback_group)
{
  auto group = group_in_node(node_base_, callback_group, "timer");
  timer->attach_to_callback_group(group);
  group->add_timer(timer);
}

NodeTopics::NodeTopics(NodeBaseInterface * node_base, NodeTimersInterface * node_timers)
: node_base_(node_base), node_timers_(node_timers)
{}

rclcpp::PublisherBase::SharedPtr NodeTopics::create_publisher(
  const std::string & topic_name, const rclcpp::PublisherFactory & publisher_factory,
  const rclcpp::QoS & qos)
{
  return publisher_factory.create_typed_publisher(node_base_, topic_name, qos);
}

void NodeTopics::add_publisher(
  rclcpp::PublisherBase::SharedPtr publisher, rclcpp::CallbackGroup::SharedPtr callback_group)
{
  (void)publisher;
  if (callback_group && !node_base_->callback_group_in_node(callback_group)) {
    throw std::runtime_error("Cannot create publisher, callback group not in node.");
  }
}

rclcpp::SubscriptionBase::SharedPtr NodeTopics::create_subscription(
  const std::string & topic_name, const rclcpp::SubscriptionFactory & subscription_factory,
  const rclcpp::QoS & qos)
{
  return subscription_factory.create_typed_subscription(node_base_, topic_name, qos);
}

void NodeTopics::add_subscription(
  rclcpp::SubscriptionBase::SharedPtr subscription,
  rclcpp::CallbackGroup::SharedPtr callback_group)
{
  auto group = group_in_node(node_base_, callback_group, "subscription");
  subscription->attach_to_callback_group(group);
  group->add_subscription(subscription);
  subscription->register_in_graph();
}

NodeBaseInterface * NodeTopics::get_node_base_interface() const
{
  return node_base_;
}

NodeTimersInterface * NodeTopics::get_node_timers_interface() const
{
  return node_timers_;
}

std::string NodeTopics::resolve_topic_name(const std::string & name, bool only_expand) const
{
  return node_base_->resolve_topic_or_service_name(name, false, only_expand);
}

NodeServices::NodeServices(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

void NodeServices::add_client(
  rclcpp::ClientBase::SharedPtr client_base_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  auto target = group_in_node(node_base_, group, "client");
  client_base_ptr->attach_to_callback_group(target);
  target->add_client(client_base_ptr);
  client_base_ptr->register_in_graph();
}

void NodeServices::add_service(
  rclcpp::ServiceBase::SharedPtr service_base_ptr, rclcpp::CallbackGroup::SharedPtr group)
{
  auto target = group_in_node(node_base_, group, "service");
  service_base_ptr->attach_to_callback_group(target);
  target->add_service(service_base_ptr);
  service_base_ptr->register_in_graph();
}

std::string NodeServices::resolve_service_name(const std::string & name, bool only_expand) const
{
  return node_base_->resolve_topic_or_service_name(name, true, only_expand);
}

NodeGraph::NodeGraph(NodeBaseInterface * node_base)
: node_base_(node_base)
{}

std::map<std::string, std::vector<std::string>> NodeGraph::get_topic_names_and_types(
  bool no_demangle) const
{
  (void)no_demangle;
  return detail::Graph::instance().topic_names_and_types();
}

std::map<std::string, std::vector<std::string>> NodeGraph::get_service_names_and_types() const
{
  return detail::Graph::instance().service_names_and_types();
}

std::map<std::string, std::vector<std::string>> NodeGraph::get_service_names_and_types_by_node(
  const std::string & node_name, const std::string & namespace_) const
{
  const std::string ns = namespace_.empty() ? "/" : namespace_;
  const std::string fqn = (ns == "/" ? "/" : ns + "/") + node_name;
  return detail::Graph::instance().service_names_and_types(fqn);
}

std::vector<std::string> NodeGraph::get_node_names() const
{
  std::vector<std::string> names;
  for (const auto & entry : detail::Graph::instance().node_names_and_namespaces()) {
    names.push_back((entry.second == "/" ? "/" : entry.second + "/") + entry.first);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>>
NodeGraph::get_node_names_and_namespaces() const
{
  return detail::Graph::instance().node_names_and_namespaces();
}

size_t NodeGraph::count_publishers(const std::string & topic_name) const
{
  return detail::Graph::instance().count_publishers(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

size_t NodeGraph::count_subscribers(const std::string & topic_name) const
{
  return detail::Graph::instance().count_subscribers(
    node_base_->resolve_topic_or_service_name(topic_name, false));
}

void NodeGraph::notify_graph_change()
{
  detail::Graph::instance().notify_change();
}

void NodeGraph::notify_shutdown()
{
  detail::Graph::instance().notify_change();
}

rclcpp::Event::SharedPtr NodeGraph::get_graph_event()
{
  auto event = rclcpp::Event::make_shared();
  detail::Graph::instance().add_event(event);
  return event;
}

void NodeGraph::wait_for_graph_change(
  rclcpp::Event::SharedPtr event, std::chrono::nanoseconds timeout)
{
  if (!event) {
    throw rclcpp::exceptions::InvalidEventError();
  }
  detail::Graph::instance().wait_until(
    [&event]() {return event->check();}, timeout, node_base_->get_context());
}

size_t NodeGraph::count_graph_users() const
{
  return detail::Graph::instance().count_graph_users();
}

NodeWaitables::NodeWaitables(NodeBaseInterface *)
{}

void NodeWaitables::add_waitable(rclcpp::Waitable::SharedPtr, rclcpp::CallbackGroup::SharedPtr)
{
  throw std::logic_error("add_waitable not supported by this stand-in");
}

void NodeWaitables::remove_waitable(
  rclcpp::Waitable::SharedPtr, rclcpp::CallbackGroup::SharedPtr) noexcept
{
}

}  // namespace node_interfaces
}  // namespace rclcpp
