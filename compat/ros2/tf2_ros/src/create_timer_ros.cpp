#include "tf2_ros/create_timer_ros.h"

#include <functional>
#include <stdexcept>
#include <utility>

namespace tf2_ros
{

CreateTimerROS::CreateTimerROS(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
  rclcpp::CallbackGroup::SharedPtr callback_group)
: node_base_(std::move(node_base)), node_timers_(std::move(node_timers)),
  callback_group_(std::move(callback_group))
{
}

// Periodic, like any rclcpp timer: it fires again each period until removed.
TimerHandle CreateTimerROS::createTimer(
  rclcpp::Clock::SharedPtr clock, const tf2::Duration & period, TimerCallbackType callback)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const TimerHandle handle = next_timer_handle_index_++;
  timers_map_[handle] = rclcpp::create_timer<std::function<void()>>(
    node_base_, node_timers_, clock, period,
    std::bind(&CreateTimerROS::timerCallback, this, handle, callback), callback_group_);
  return handle;
}

void CreateTimerROS::cancel(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  cancelNoLock(timer_handle);
}

void CreateTimerROS::reset(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const auto timer = timers_map_.find(timer_handle);
  if (timer == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle in reset()");
  }
  timer->second->reset();
}

// A callback the executor has already taken still runs after this returns.
void CreateTimerROS::remove(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  try {
    cancelNoLock(timer_handle);
  } catch (const InvalidTimerHandleException &) {
    throw InvalidTimerHandleException("Invalid timer handle in remove()");
  }
  timers_map_.erase(timer_handle);
}

void CreateTimerROS::cancelNoLock(const TimerHandle & timer_handle)
{
  const auto timer = timers_map_.find(timer_handle);
  if (timer == timers_map_.end()) {
    throw InvalidTimerHandleException("Invalid timer handle in cancel()");
  }
  timer->second->cancel();
}

void CreateTimerROS::timerCallback(const TimerHandle & timer_handle, TimerCallbackType callback)
{
  callback(timer_handle);
}

}  // namespace tf2_ros
