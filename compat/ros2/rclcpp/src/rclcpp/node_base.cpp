#include "rclcpp/node_interfaces/node_base.hpp"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "graph.hpp"
#include "ros_arguments.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace node_interfaces
{
namespace
{

bool is_name_char(char c)
{
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

void validate_node_name(const std::string & name)
{
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidNodeNameError(
            name.c_str(), "node name must not be empty", 0);
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_name_char(name[i])) {
      throw rclcpp::exceptions::InvalidNodeNameError(
              name.c_str(),
              "node name must not contain characters other than alphanumerics or '_'", i);
    }
  }
  if (std::isdigit(static_cast<unsigned char>(name[0]))) {
    throw rclcpp::exceptions::InvalidNodeNameError(
            name.c_str(), "node name must not start with a number", 0);
  }
}

std::string normalize_namespace(const std::string & namespace_)
{
  if (namespace_.empty()) {
    return "/";
  }
  return namespace_[0] == '/' ? namespace_ : "/" + namespace_;
}

void validate_namespace(const std::string & ns)
{
  if (ns == "/") {
    return;
  }
  for (size_t i = 0; i < ns.size(); ++i) {
    const char c = ns[i];
    if (c == '/') {
      if (i + 1 < ns.size() && ns[i + 1] == '/') {
        throw rclcpp::exceptions::InvalidNamespaceError(
                ns.c_str(), "namespace must not contain repeated '/'", i + 1);
      }
      if (i + 1 < ns.size() && std::isdigit(static_cast<unsigned char>(ns[i + 1]))) {
        throw rclcpp::exceptions::InvalidNamespaceError(
                ns.c_str(), "namespace must not contain tokens that start with a number", i + 1);
      }
    } else if (!is_name_char(c)) {
      throw rclcpp::exceptions::InvalidNamespaceError(
              ns.c_str(),
              "namespace must not contain characters other than alphanumerics, '_', or '/'", i);
    }
  }
  if (ns.back() == '/') {
    throw rclcpp::exceptions::InvalidNamespaceError(
            ns.c_str(), "namespace must not end with '/'", ns.size() - 1);
  }
}

[[noreturn]] void throw_invalid_name(
  const std::string & name, bool is_service, const char * message, size_t index)
{
  if (is_service) {
    throw rclcpp::exceptions::InvalidServiceNameError(name.c_str(), message, index);
  }
  throw rclcpp::exceptions::InvalidTopicNameError(name.c_str(), message, index);
}

void validate_resolved_name(const std::string & original, const std::string & resolved,
  bool is_service)
{
  for (size_t i = 0; i < resolved.size(); ++i) {
    const char c = resolved[i];
    if (c == '/' && i + 1 < resolved.size() && resolved[i + 1] == '/') {
      throw_invalid_name(original, is_service, "name must not contain repeated '/'", i);
    }
    if (c != '/' && !is_name_char(c)) {
      throw_invalid_name(
        original, is_service,
        "name must not contain characters other than alphanumerics, '_', '~', '{', or '}'", i);
    }
  }
  if (resolved.size() > 1 && resolved.back() == '/') {
    throw_invalid_name(original, is_service, "name must not end with a forward slash",
      resolved.size() - 1);
  }
}

}  // namespace

NodeBase::NodeBase(
  const std::string & node_name, const std::string & namespace_,
  rclcpp::Context::SharedPtr context, const rcl_node_options_t & rcl_node_options,
  bool use_intra_process_default, bool enable_topic_statistics_default)
: name_(node_name), namespace_(normalize_namespace(namespace_)), context_(context),
  use_intra_process_default_(use_intra_process_default),
  enable_topic_statistics_default_(enable_topic_statistics_default),
  associated_with_executor_(false), notify_guard_condition_(context)
{
  if (!context_ || !context_->is_valid()) {
    rcl_error_state_t state{};
    const std::string message =
      "the given context is not valid, either rcl_init() was not called or rcl_shutdown() "
      "was called.";
    message.copy(state.message, sizeof(state.message) - 1);
    throw rclcpp::exceptions::RCLError(RCL_RET_NOT_INIT, &state, "failed to initialize rcl node: ");
  }
  validate_node_name(name_);
  validate_namespace(this->namespace_);
  // As rcl: the node's own rules first, then the process's, each matched on the name it was
  // given.
  const std::string given_name = name_;
  const auto remapped = [&](const std::string & what) {
      std::string to;
      if (rcl_node_options.arguments.impl) {
        to = detail::RosArguments::node_remap(
          rcl_node_options.arguments.impl->ros_arguments, what, given_name);
      }
      if (to.empty() && rcl_node_options.use_global_arguments) {
        to = detail::RosArguments::node_remap(
          detail::get_global_ros_arguments(*context_), what, given_name);
      }
      return to;
    };
  const std::string remapped_name = remapped("__node");
  if (!remapped_name.empty()) {
    name_ = remapped_name;
  }
  const std::string remapped_namespace = remapped("__ns");
  if (!remapped_namespace.empty()) {
    this->namespace_ = remapped_namespace;
  }
  fully_qualified_name_ = (this->namespace_ == "/" ? "/" : this->namespace_ + "/") + name_;
  node_handle_ = std::make_shared<rcl_node_t>();
  node_handle_->name = name_.c_str();
  node_handle_->namespace_ = namespace_.c_str();
  default_callback_group_ = std::make_shared<rclcpp::CallbackGroup>(
    rclcpp::CallbackGroupType::MutuallyExclusive);
  callback_groups_.push_back(default_callback_group_);
  graph_token_ = std::make_shared<int>(0);
  detail::Graph::instance().add_node(graph_token_, name_, this->namespace_);
}

NodeBase::~NodeBase()
{
  graph_token_.reset();
  detail::Graph::instance().notify_change();
}

const char * NodeBase::get_name() const
{
  return name_.c_str();
}

const char * NodeBase::get_namespace() const
{
  return namespace_.c_str();
}

const char * NodeBase::get_fully_qualified_name() const
{
  return fully_qualified_name_.c_str();
}

rclcpp::Context::SharedPtr NodeBase::get_context()
{
  return context_;
}

rcl_node_t * NodeBase::get_rcl_node_handle()
{
  return node_handle_.get();
}

const rcl_node_t * NodeBase::get_rcl_node_handle() const
{
  return node_handle_.get();
}

std::shared_ptr<rcl_node_t> NodeBase::get_shared_rcl_node_handle()
{
  return node_handle_;
}

std::shared_ptr<const rcl_node_t> NodeBase::get_shared_rcl_node_handle() const
{
  return node_handle_;
}

// As in Humble's NodeBase: a weak pointer to every group ever created stays in the list, and
// creating a group wakes no executor (adding an entity to it does).
rclcpp::CallbackGroup::SharedPtr NodeBase::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  auto group = std::make_shared<rclcpp::CallbackGroup>(
    group_type, automatically_add_to_executor_with_node);
  std::lock_guard<std::mutex> lock(callback_groups_mutex_);
  callback_groups_.push_back(group);
  return group;
}

rclcpp::CallbackGroup::SharedPtr NodeBase::get_default_callback_group()
{
  return default_callback_group_;
}

bool NodeBase::callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group)
{
  std::lock_guard<std::mutex> lock(callback_groups_mutex_);
  return std::any_of(
    callback_groups_.begin(), callback_groups_.end(),
    [&group](const rclcpp::CallbackGroup::WeakPtr & weak) {return weak.lock() == group;});
}

// Runs under the node's lock, as in Humble: the function must not create a group on this node.
void NodeBase::for_each_callback_group(const CallbackGroupFunction & func)
{
  std::lock_guard<std::mutex> lock(callback_groups_mutex_);
  for (const auto & weak : callback_groups_) {
    if (auto group = weak.lock()) {
      func(group);
    }
  }
}

std::atomic_bool & NodeBase::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

rclcpp::GuardCondition & NodeBase::get_notify_guard_condition()
{
  return notify_guard_condition_;
}

bool NodeBase::get_use_intra_process_default() const
{
  return use_intra_process_default_;
}

bool NodeBase::get_enable_topic_statistics_default() const
{
  return enable_topic_statistics_default_;
}

std::string NodeBase::resolve_topic_or_service_name(
  const std::string & name, bool is_service, bool only_expand) const
{
  (void)only_expand;
  if (name.empty()) {
    throw_invalid_name(name, is_service, "name must not be empty", 0);
  }
  std::string resolved;
  if (name[0] == '/') {
    resolved = name;
  } else if (name[0] == '~') {
    if (name.size() > 1 && name[1] != '/') {
      throw_invalid_name(name, is_service, "'~' must be followed by '/'", 1);
    }
    resolved = fully_qualified_name_ + name.substr(1);
  } else {
    resolved = (namespace_ == "/" ? "/" : namespace_ + "/") + name;
  }
  validate_resolved_name(name, resolved, is_service);
  return resolved;
}

}  // namespace node_interfaces
}  // namespace rclcpp
