#include "tf2_ros/create_timer_ros.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

namespace tf2_ros
{

namespace
{
// Longer periods mean "never"; capping them keeps the timer's next-call arithmetic from
// overflowing.
constexpr std::chrono::hours kLongestPeriod{24 * 365 * 100};
}  // namespace

CreateTimerROS::CreateTimerROS(
  rclcpp::node_interfaces::NodeBaseInterface::SharedPtr node_base,
  rclcpp::node_interfaces::NodeTimersInterface::SharedPtr node_timers,
  rclcpp::CallbackGroup::SharedPtr callback_group)
: node_base_(std::move(node_base)), node_timers_(std::move(node_timers)),
  callback_group_(std::move(callback_group))
{
}

CreateTimerROS::~CreateTimerROS()
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  for (auto & entry : timers_map_) {
    entry.second->cancel();
  }
}

TimerHandle CreateTimerROS::createTimer(
  rclcpp::Clock::SharedPtr clock, const tf2::Duration & period, TimerCallbackType callback)
{
  const auto capped = std::min<std::chrono::nanoseconds>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(period), kLongestPeriod);
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  const TimerHandle handle = next_timer_handle_index_++;
  // The callback may remove its own timer; the copies on the stack keep what it uses alive.
  auto timer = rclcpp::create_timer(
    node_base_, node_timers_, clock, rclcpp::Duration(capped),
    [this, handle, callback]() {
      const TimerHandle own_handle = handle;
      const TimerCallbackType own_callback = callback;
      rclcpp::TimerBase::SharedPtr keep_alive;
      {
        std::lock_guard<std::mutex> guard(timers_map_mutex_);
        auto it = timers_map_.find(own_handle);
        if (it == timers_map_.end()) {
          return;
        }
        keep_alive = it->second;
      }
      own_callback(own_handle);
    },
    callback_group_);
  timers_map_[handle] = timer;
  return handle;
}

rclcpp::TimerBase::SharedPtr CreateTimerROS::find(
  const TimerHandle & timer_handle, const char * caller)
{
  auto it = timers_map_.find(timer_handle);
  if (it == timers_map_.end()) {
    throw InvalidTimerHandleException(std::string("Invalid timer handle in ") + caller + "()");
  }
  return it->second;
}

void CreateTimerROS::cancel(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  find(timer_handle, "cancel")->cancel();
}

void CreateTimerROS::reset(const TimerHandle & timer_handle)
{
  std::lock_guard<std::mutex> lock(timers_map_mutex_);
  find(timer_handle, "reset")->reset();
}

void CreateTimerROS::remove(const TimerHandle & timer_handle)
{
  rclcpp::TimerBase::SharedPtr timer;
  {
    std::lock_guard<std::mutex> lock(timers_map_mutex_);
    timer = find(timer_handle, "remove");
    timers_map_.erase(timer_handle);
  }
  // Destroyed outside the lock: a timer's destructor may wait for its running callback.
  timer->cancel();
}

}  // namespace tf2_ros
