// System, steady and ROS clocks; a ROS clock follows an externally set time once the override
// is enabled (use_sim_time), and wakes sleepers and jump callbacks when that time moves.
#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include <functional>
#include <memory>
#include <mutex>

#include "rcl/time.h"
#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp
{

class JumpHandler
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(JumpHandler)

  using pre_callback_t = std::function<void ()>;
  using post_callback_t = std::function<void (const rcl_time_jump_t &)>;

  JumpHandler(
    pre_callback_t pre_callback, post_callback_t post_callback,
    const rcl_jump_threshold_t & threshold);

  pre_callback_t pre_callback;
  post_callback_t post_callback;
  rcl_jump_threshold_t notice_threshold;
};

class Clock
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  ~Clock();

  Time now() const;

  bool sleep_until(
    Time until, Context::SharedPtr context = contexts::get_global_default_context());
  bool sleep_for(
    Duration rel_time, Context::SharedPtr context = contexts::get_global_default_context());

  bool started();
  bool wait_until_started(Context::SharedPtr context = contexts::get_global_default_context());
  bool wait_until_started(
    const rclcpp::Duration & timeout,
    Context::SharedPtr context = contexts::get_global_default_context(),
    const rclcpp::Duration & wait_tick_ns = rclcpp::Duration(0, static_cast<uint32_t>(1e7)));

  bool ros_time_is_active();
  rcl_clock_t * get_clock_handle() noexcept;
  rcl_clock_type_t get_clock_type() const noexcept;
  std::mutex & get_clock_mutex() noexcept;

  JumpHandler::SharedPtr create_jump_callback(
    JumpHandler::pre_callback_t pre_callback, JumpHandler::post_callback_t post_callback,
    const rcl_jump_threshold_t & threshold);

  class Impl;

private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
