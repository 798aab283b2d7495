#include "tf2_ros/transform_listener.h"

#include <chrono>
#include <cstdint>
#include <future>
#include <sstream>
#include <string>

#include "tf2/exceptions.h"

namespace tf2_ros
{

TransformListener::TransformListener(tf2::BufferCore & buffer, bool spin_thread)
: buffer_(buffer)
{
  // Named after this object so that several listeners in one process do not collide.
  std::stringstream name;
  name << "transform_listener_impl_" << std::hex << reinterpret_cast<std::uintptr_t>(this);
  rclcpp::NodeOptions options;
  options.start_parameter_services(false);
  options.start_parameter_event_publisher(false);
  optional_default_node_ = rclcpp::Node::make_shared(name.str(), options);
  init(
    optional_default_node_, spin_thread, DynamicListenerQoS(), StaticListenerQoS(),
    detail::get_default_transform_listener_sub_options(),
    detail::get_default_transform_listener_static_sub_options());
}

TransformListener::~TransformListener()
{
  if (!spin_thread_ || !dedicated_listener_thread_) {
    return;
  }
  // Cancelled until the spin has ended: a cancel that races with the executor going back to
  // sleep can be lost.
  do {
    executor_->cancel();
  } while (spin_done_.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready);
  dedicated_listener_thread_->join();
}

void TransformListener::startDedicatedThread()
{
  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_callback_group(callback_group_, node_base_interface_);
  auto executor = executor_;
  auto spin_ended = std::make_shared<std::promise<void>>();
  spin_done_ = spin_ended->get_future();
  dedicated_listener_thread_ = std::make_unique<std::thread>(
    [executor, spin_ended]() {
      executor->spin();
      spin_ended->set_value();
    });
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
