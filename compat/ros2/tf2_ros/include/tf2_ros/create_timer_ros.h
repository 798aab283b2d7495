// Timers for a Buffer's asynchronous waits, created on a node and run by whatever executor
// spins it.
#ifndef TF2_ROS__CREATE_TIMER_ROS_H_
#define TF2_ROS__CREATE_TIMER_ROS_H_

#include <mutex>
#include <unordered_map>

#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/create_timer_interface.h"

namespace tf2_ros
{

class CreateTimerROS : public CreateTimerInterface
{
public:
  CreateTimerROS(
    rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
    rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
    rclcpp::CallbackGroup::SharedPtr callback_group = nullptr);

  // Its timers go with it; only a callback an executor has already taken still runs into it.
  virtual ~CreateTimerROS() = default;

  TimerHandle createTimer(
    rclcpp::Clock::SharedPtr clock, const tf2::Duration & period,
    TimerCallbackType callback) override;

  // Each throws InvalidTimerHandleException for a handle this object does not know.
  void cancel(const TimerHandle & timer_handle) override;
  void reset(const TimerHandle & timer_handle) override;
  void remove(const TimerHandle & timer_handle) override;

private:
  void cancelNoLock(const TimerHandle & timer_handle);
  void timerCallback(const TimerHandle & timer_handle, TimerCallbackType callback);

  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base_;
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
  TimerHandle next_timer_handle_index_{0};
  std::mutex timers_map_mutex_;
  std::unordered_map<TimerHandle, rclcpp::TimerBase::SharedPtr> timers_map_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__CREATE_TIMER_ROS_H_
