// Feeds a transform buffer from the /tf and /tf_static topics, by default on a thread of its own so
// that lookups with a time-out can wait while data keeps arriving.
#ifndef TF2_ROS__TRANSFORM_LISTENER_H_
#define TF2_ROS__TRANSFORM_LISTENER_H_

#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

namespace detail
{
// The policies a deployment may override through parameters of the listening node.
template<class AllocatorT = std::allocator<void>>
rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>
get_default_transform_listener_sub_options()
{
  rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> options;
  options.qos_overriding_options = rclcpp::QosOverridingOptions{
    rclcpp::QosPolicyKind::Depth, rclcpp::QosPolicyKind::Durability,
    rclcpp::QosPolicyKind::History, rclcpp::QosPolicyKind::Reliability};
  return options;
}

// Static transforms must stay transient local, so durability is not overridable.
template<class AllocatorT = std::allocator<void>>
rclcpp::SubscriptionOptionsWithAllocator<AllocatorT>
get_default_transform_listener_static_sub_options()
{
  rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> options;
  options.qos_overriding_options = rclcpp::QosOverridingOptions{
    rclcpp::QosPolicyKind::Depth, rclcpp::QosPolicyKind::History,
    rclcpp::QosPolicyKind::Reliability};
  return options;
}
}  // namespace detail

class TransformListener
{
public:
  // Creates a private node for the subscriptions.
  explicit TransformListener(tf2::BufferCore & buffer, bool spin_thread = true);

  template<class NodeT, class AllocatorT = std::allocator<void>>
  TransformListener(
    tf2::BufferCore & buffer,
    NodeT && node,
    bool spin_thread = true,
    const rclcpp::QoS & qos = DynamicListenerQoS(),
    const rclcpp::QoS & static_qos = StaticListenerQoS(),
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options =
    detail::get_default_transform_listener_sub_options<AllocatorT>(),
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & static_options =
    detail::get_default_transform_listener_static_sub_options<AllocatorT>())
  : buffer_(buffer)
  {
    init(node, spin_thread, qos, static_qos, options, static_options);
  }

  virtual ~TransformListener();

  TransformListener(const TransformListener &) = delete;
  TransformListener & operator=(const TransformListener &) = delete;

private:
  template<class NodeT, class AllocatorT = std::allocator<void>>
  void init(
    NodeT && node, bool spin_thread, const rclcpp::QoS & qos, const rclcpp::QoS & static_qos,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & options,
    const rclcpp::SubscriptionOptionsWithAllocator<AllocatorT> & static_options)
  {
    spin_thread_ = spin_thread;
    node_base_interface_ = node->get_node_base_interface();
    node_logging_interface_ = node->get_node_logging_interface();

    using callback_t = std::function<void (tf2_msgs::msg::TFMessage::ConstSharedPtr)>;
    callback_t cb = [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
        subscription_callback(msg, false);
      };
    callback_t static_cb = [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {
        subscription_callback(msg, true);
      };

    if (!spin_thread_) {
      message_subscription_tf_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
        node, "/tf", qos, std::move(cb), options);
      message_subscription_tf_static_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
        node, "/tf_static", static_qos, std::move(static_cb), static_options);
      return;
    }

    // A group of its own, kept out of the node's executor, spun only by the listener's thread.
    callback_group_ = node_base_interface_->create_callback_group(
      rclcpp::CallbackGroupType::MutuallyExclusive, false);
    auto tf_options = options;
    tf_options.callback_group = callback_group_;
    auto tf_static_options = static_options;
    tf_static_options.callback_group = callback_group_;
    message_subscription_tf_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
      node, "/tf", qos, std::move(cb), tf_options);
    message_subscription_tf_static_ = rclcpp::create_subscription<tf2_msgs::msg::TFMessage>(
      node, "/tf_static", static_qos, std::move(static_cb), tf_static_options);
    startDedicatedThread();
  }

  void startDedicatedThread();
  void subscription_callback(tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static);

  bool spin_thread_{false};
  std::unique_ptr<std::thread> dedicated_listener_thread_;
  rclcpp::Node::SharedPtr optional_default_node_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_static_;
  tf2::BufferCore & buffer_;
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_interface_;
  rclcpp::node_interfaces::NodeLoggingInterface::SharedPtr node_logging_interface_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_LISTENER_H_
