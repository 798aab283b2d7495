#include "rclcpp/node_interfaces/node_graph.hpp"

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "graph.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace node_interfaces
{

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

}  // namespace node_interfaces
}  // namespace rclcpp
