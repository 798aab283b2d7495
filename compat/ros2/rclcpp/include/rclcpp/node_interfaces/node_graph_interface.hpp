// Queries on the process-wide graph: nodes, topics, services and their counts, and graph events.
#ifndef RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/event.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeGraphInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeGraphInterface)

  virtual ~NodeGraphInterface() = default;

  virtual std::map<std::string, std::vector<std::string>>
  get_topic_names_and_types(bool no_demangle = false) const = 0;
  virtual std::map<std::string, std::vector<std::string>>
  get_service_names_and_types() const = 0;
  virtual std::map<std::string, std::vector<std::string>>
  get_service_names_and_types_by_node(
    const std::string & node_name, const std::string & namespace_) const = 0;
  virtual std::vector<std::string> get_node_names() const = 0;
  virtual std::vector<std::pair<std::string, std::string>>
  get_node_names_and_namespaces() const = 0;
  virtual size_t count_publishers(const std::string & topic_name) const = 0;
  virtual size_t count_subscribers(const std::string & topic_name) const = 0;
  virtual void notify_graph_change() = 0;
  virtual void notify_shutdown() = 0;
  virtual rclcpp::Event::SharedPtr get_graph_event() = 0;
  virtual void wait_for_graph_change(
    rclcpp::Event::SharedPtr event, std::chrono::nanoseconds timeout) = 0;
  virtual size_t count_graph_users() const = 0;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
