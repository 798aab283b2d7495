// Node identity, name resolution and callback-group ownership; the node's entry in the graph.
#ifndef RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rcl/node.h"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/guard_condition.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeBase : public NodeBaseInterface, public std::enable_shared_from_this<NodeBase>
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeBase)

  NodeBase(
    const std::string & node_name, const std::string & namespace_,
    rclcpp::Context::SharedPtr context, const rcl_node_options_t & rcl_node_options,
    bool use_intra_process_default, bool enable_topic_statistics_default);
  virtual ~NodeBase();
  NodeBase(const NodeBase &) = delete;
  NodeBase & operator=(const NodeBase &) = delete;

  const char * get_name() const override;
  const char * get_namespace() const override;
  const char * get_fully_qualified_name() const override;
  rclcpp::Context::SharedPtr get_context() override;
  rcl_node_t * get_rcl_node_handle() override;
  const rcl_node_t * get_rcl_node_handle() const override;
  std::shared_ptr<rcl_node_t> get_shared_rcl_node_handle() override;
  std::shared_ptr<const rcl_node_t> get_shared_rcl_node_handle() const override;
  rclcpp::CallbackGroup::SharedPtr create_callback_group(
    rclcpp::CallbackGroupType group_type,
    bool automatically_add_to_executor_with_node = true) override;
  rclcpp::CallbackGroup::SharedPtr get_default_callback_group() override;
  bool callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group) override;
  void for_each_callback_group(const CallbackGroupFunction & func) override;
  std::atomic_bool & get_associated_with_executor_atomic() override;
  rclcpp::GuardCondition & get_notify_guard_condition() override;
  bool get_use_intra_process_default() const override;
  bool get_enable_topic_statistics_default() const override;
  std::string resolve_topic_or_service_name(
    const std::string & name, bool is_service, bool only_expand = false) const override;

private:
  std::string name_;
  std::string namespace_;
  std::string fully_qualified_name_;
  rclcpp::Context::SharedPtr context_;
  bool use_intra_process_default_;
  bool enable_topic_statistics_default_;
  std::shared_ptr<rcl_node_t> node_handle_;
  std::shared_ptr<const void> graph_token_;
  mutable std::mutex callback_groups_mutex_;
  rclcpp::CallbackGroup::SharedPtr default_callback_group_;
  std::vector<rclcpp::CallbackGroup::WeakPtr> callback_groups_;
  std::atomic_bool associated_with_executor_;
  rclcpp::GuardCondition notify_guard_condition_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_BASE_HPP_
