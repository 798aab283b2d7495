// The transform buffer nodes use: a tf2::BufferCore with a clock, lookups that wait for data up
// to a time-out, and asynchronous waits whose time-outs run on timers.
#ifndef TF2_ROS__BUFFER_H_
#define TF2_ROS__BUFFER_H_

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"
#include "tf2_msgs/srv/frame_graph.hpp"
#include "tf2_ros/async_buffer_interface.h"
#include "tf2_ros/buffer_interface.h"
#include "tf2_ros/create_timer_interface.h"

namespace tf2_ros
{

static const char threading_error[] =
  "Do not call canTransform or lookupTransform with a timeout unless you are using another thread "
  "for populating data. Without a dedicated thread it will always timeout.  If you have a separate "
  "thread servicing tf messages, call setUsingDedicatedThread(true) on your Buffer instance.";

class Buffer : public BufferInterface, public AsyncBufferInterface, public tf2::BufferCore
{
public:
  using tf2::BufferCore::lookupTransform;
  using tf2::BufferCore::canTransform;
  using SharedPtr = std::shared_ptr<tf2_ros::Buffer>;

  // With a node, the buffer offers the tf2_frames service and logs through the node's logger.
  // Nothing is undone on destruction: a wait's time-out timer still armed then calls into the
  // destroyed buffer, so the timers' executor must be stopped first.
  Buffer(
    rclcpp::Clock::SharedPtr clock,
    tf2::Duration cache_time = tf2::Duration(tf2::BUFFER_CORE_DEFAULT_CACHE_TIME),
    rclcpp::Node::SharedPtr node = rclcpp::Node::SharedPtr());

  geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration timeout) const override;

  geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const;

  geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout) const override;

  geometry_msgs::msg::TransformStamped
  lookupTransform(
    const std::string & target_frame, const rclcpp::Time & target_time,
    const std::string & source_frame, const rclcpp::Time & source_time,
    const std::string & fixed_frame,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const;

  bool
  canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & target_time, const tf2::Duration timeout,
    std::string * errstr = NULL) const override;

  bool
  canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
    std::string * errstr = NULL) const;

  bool
  canTransform(
    const std::string & target_frame, const tf2::TimePoint & target_time,
    const std::string & source_frame, const tf2::TimePoint & source_time,
    const std::string & fixed_frame, const tf2::Duration timeout,
    std::string * errstr = NULL) const override;

  bool
  canTransform(
    const std::string & target_frame, const rclcpp::Time & target_time,
    const std::string & source_frame, const rclcpp::Time & source_time,
    const std::string & fixed_frame,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
    std::string * errstr = NULL) const;

  TransformStampedFuture
  waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration & timeout,
    TransformReadyCallback callback) override;

  TransformStampedFuture
  waitForTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time, const rclcpp::Duration & timeout,
    TransformReadyCallback callback)
  {
    return waitForTransform(
      target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), callback);
  }

  // Withdraws the request from the core, but looks its handle up among the *timer* handles: the
  // request's own time-out timer stays armed and later delivers a TimeoutException, while the
  // request whose timer handle equals this request's handle (usually the next one) loses its
  // time-out entry, so its completion is dropped and its timer never delivers.
  void cancel(const TransformStampedFuture & ts_future) override;

  // Unsynchronised, as in Humble: set it before the first waitForTransform.
  inline void setCreateTimerInterface(CreateTimerInterface::SharedPtr create_timer_interface)
  {
    timer_interface_ = create_timer_interface;
  }

private:
  bool checkAndErrorDedicatedThreadPresent(std::string * errstr) const;
  void onTimeJump(const rcl_time_jump_t & jump);
  bool getFrames(
    const tf2_msgs::srv::FrameGraph::Request::SharedPtr req,
    tf2_msgs::srv::FrameGraph::Response::SharedPtr res);
  rclcpp::Logger getLogger() const;

  // Removes the time-out timer of a request; false when it is no longer known (timed out, or its
  // entry lost to a cancel).
  bool takeTimerOf(tf2::TransformableRequestHandle request_handle);
  void timerCallback(
    const TimerHandle & timer_handle,
    std::shared_ptr<std::promise<geometry_msgs::msg::TransformStamped>> promise,
    TransformStampedFuture future, TransformReadyCallback callback);

  rclcpp::Service<tf2_msgs::srv::FrameGraph>::SharedPtr frames_server_;
  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Node::SharedPtr node_;
  CreateTimerInterface::SharedPtr timer_interface_;
  std::unordered_map<TimerHandle, tf2::TransformableRequestHandle> timer_to_request_map_;
  std::mutex timer_to_request_map_mutex_;
  rclcpp::JumpHandler::SharedPtr jump_handler_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_H_
