// Shared helpers of the tf2_ros tests: stamped transforms and a node spun on a thread of its own.
#ifndef TRANSFORM_FIXTURES_HPP_
#define TRANSFORM_FIXTURES_HPP_

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"

namespace tf2_ros_test
{

inline builtin_interfaces::msg::Time stampAt(double seconds)
{
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(std::floor(seconds));
  stamp.nanosec = static_cast<uint32_t>(std::lround((seconds - std::floor(seconds)) * 1e9));
  return stamp;
}

inline geometry_msgs::msg::TransformStamped makeTransform(
  const std::string & parent, const std::string & child, double seconds, double x)
{
  geometry_msgs::msg::TransformStamped t;
  t.header.frame_id = parent;
  t.header.stamp = stampAt(seconds);
  t.child_frame_id = child;
  t.transform.translation.x = x;
  t.transform.rotation.w = 1.0;
  return t;
}

// Spins a node on its own thread for the lifetime of the object (timers, subscriptions).
class SpinningThread
{
public:
  explicit SpinningThread(rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node)
  : executor_(std::make_shared<rclcpp::executors::SingleThreadedExecutor>())
  {
    executor_->add_node(node);
    thread_ = std::thread([executor = executor_]() {executor->spin();});
  }

  // A cancel that comes before the spin has started still ends it.
  ~SpinningThread()
  {
    executor_->cancel();
    thread_.join();
  }

  SpinningThread(const SpinningThread &) = delete;
  SpinningThread & operator=(const SpinningThread &) = delete;

private:
  std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  std::thread thread_;
};

}  // namespace tf2_ros_test

#endif  // TRANSFORM_FIXTURES_HPP_
