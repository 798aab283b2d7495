#include "tf2_ros/transform_listener.h"

#include <cstdint>
#include <sstream>
#include <string>

#include "tf2/exceptions.h"

namespace tf2_ros
{

TransformListener::TransformListener(tf2::BufferCore & buffer, bool spin_thread)
: buffer_(buffer)
{
  // Named after this object so that several listeners in one process do not collide; the name
  // comes as a node-local remapping so that a __node remapping of the process does not apply.
  std::stringstream name;
  name << "transform_listener_impl_" << std::hex << reinterpret_cast<std::uintptr_t>(this);
  rclcpp::NodeOptions options;
  options.arguments({"--ros-args", "-r", "__node:=" + name.str()});
  options.start_parameter_services(false);
  options.start_parameter_event_publisher(false);
  optional_default_node_ = rclcpp::Node::make_shared("_", options);
  init(
    optional_default_node_, spin_thread, DynamicListenerQoS(), StaticListenerQoS(),
    detail::get_default_transform_listener_sub_options(),
    detail::get_default_transform_listener_static_sub_options());
}

TransformListener::~TransformListener()
{
  if (spin_thread_) {
    executor_->cancel();
    dedicated_listener_thread_->join();
  }
}

void TransformListener::startDedicatedThread()
{
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_callback_group(callback_group_, node_base_interface_);
  dedicated_listener_thread_ = std::make_unique<std::thread>(
    [executor = executor_]() {executor->spin();});
  buffer_.setUsingDedicatedThread(true);
}

void TransformListener::subscription_callback(
  tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static)
{
  const std::string authority = "Authority undetectable";
  for (const auto & transform : msg->transforms) {
    try {
      buffer_.setTransform(transform, authority, is_static);
    } catch (const tf2::TransformException & ex) {
      RCLCPP_ERROR(
        node_logging_interface_->get_logger(),
        "Failure to set received transform from %s to %s with error: %s\n",
        transform.child_frame_id.c_str(), transform.header.frame_id.c_str(), ex.what());
    }
  }
}

}  // namespace tf2_ros
