// The node's view of the process-wide graph.
#ifndef RCLCPP__NODE_INTERFACES__NODE_GRAPH_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_GRAPH_HPP_

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/node_interfaces/node_base_interface.hpp"
#include "rclcpp/node_interfaces/node_graph_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeGraph : public NodeGraphInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeGraph)

  explicit NodeGraph(rclcpp::node_interfaces::NodeBaseInterface * node_base);
  virtual ~NodeGraph() = default;

  std::map<std::string, std::vector<std::string>>
  get_topic_names_and_types(bool no_demangle = false) const override;
  std::map<std::string, std::vector<std::string>> get_service_names_and_types() const override;
  std::map<std::string, std::vector<std::string>> get_service_names_and_types_by_node(
    const std::string & node_name, const std::string & namespace_) const override;
  std::vector<std::string> get_node_names() const override;
  std::vector<std::pair<std::string, std::string>> get_node_names_and_namespaces() const override;
  size_t count_publishers(const std::string & topic_name) const override;
  size_t count_subscribers(const std::string & topic_name) const override;
  void notify_graph_change() override;
  void notify_shutdown() override;
  rclcpp::Event::SharedPtr get_graph_event() override;
  void wait_for_graph_change(
    rclcpp::Event::SharedPtr event, std::chrono::nanoseconds timeout) override;
  size_t count_graph_users() const override;

private:
  rclcpp::node_interfaces::NodeBaseInterface * node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_GRAPH_HPP_
