#include "rclcpp/clock.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <stdexcept>
#include <utility>
#include <vector>

namespace rclcpp
{

JumpHandler::JumpHandler(
  pre_callback_t pre_callback_in, post_callback_t post_callback_in,
  const rcl_jump_threshold_t & threshold)
: pre_callback(std::move(pre_callback_in)), post_callback(std::move(post_callback_in)),
  notice_threshold(threshold) {}

// Clock state shared with the C handle, sleepers and shutdown callbacks.
class Clock::Impl
{
public:
  explicit Impl(rcl_clock_type_t type)
  {
    if (type != RCL_ROS_TIME && type != RCL_SYSTEM_TIME && type != RCL_STEADY_TIME) {
      throw std::invalid_argument("failed to initialize rcl clock: invalid clock type");
    }
    handle.type = type;
    handle.impl = this;
  }

  rcl_time_point_value_t now() const
  {
    if (handle.type == RCL_STEADY_TIME) {
      return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    if (handle.type == RCL_ROS_TIME) {
      std::lock_guard<std::mutex> lock(mutex);
      if (override_enabled) {
        return ros_time;
      }
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
  }

  void set_override_enabled(bool enabled)
  {
    rcl_time_jump_t jump{};
    jump.clock_change = enabled ? RCL_ROS_TIME_ACTIVATED : RCL_ROS_TIME_DEACTIVATED;
    std::vector<JumpHandler::SharedPtr> handlers;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (override_enabled == enabled) {
        return;
      }
      handlers = select_handlers([](const rcl_jump_threshold_t & t) {return t.on_clock_change;});
    }
    call_pre(handlers);
    {
      std::lock_guard<std::mutex> lock(mutex);
      override_enabled = enabled;
      ++generation;
    }
    changed.notify_all();
    call_post(handlers, jump);
  }

  void set_ros_time(rcl_time_point_value_t value)
  {
    rcl_time_jump_t jump{};
    jump.clock_change = RCL_ROS_TIME_NO_CHANGE;
    std::vector<JumpHandler::SharedPtr> handlers;
    {
      std::lock_guard<std::mutex> lock(mutex);
      jump.delta.nanoseconds = value - ros_time;
      if (override_enabled) {
        const int64_t delta = jump.delta.nanoseconds;
        handlers = select_handlers(
          [delta](const rcl_jump_threshold_t & t) {
            return (t.min_forward.nanoseconds > 0 && delta >= t.min_forward.nanoseconds) ||
            (t.min_backward.nanoseconds < 0 && delta <= t.min_backward.nanoseconds);
          });
      }
    }
    call_pre(handlers);
    {
      std::lock_guard<std::mutex> lock(mutex);
      ros_time = value;
      ++generation;
    }
    changed.notify_all();
    call_post(handlers, jump);
  }

  bool is_override_enabled() const
  {
    std::lock_guard<std::mutex> lock(mutex);
    return override_enabled;
  }

  void add_handler(const JumpHandler::SharedPtr & handler)
  {
    std::lock_guard<std::mutex> lock(mutex);
    handlers_.erase(
      std::remove_if(
        handlers_.begin(), handlers_.end(),
        [](const std::weak_ptr<JumpHandler> & h) {return h.expired();}),
      handlers_.end());
    handlers_.push_back(handler);
  }

  // Wakes every sleeper so it re-checks its context.
  void interrupt()
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++generation;
    }
    changed.notify_all();
  }

  bool sleep_until(rcl_time_point_value_t until, const Context::SharedPtr & context)
  {
    std::weak_ptr<Impl> weak_self = self;
    auto shutdown_handle = context->add_on_shutdown_callback(
      [weak_self]() {
        if (auto impl = weak_self.lock()) {
          impl->interrupt();
        }
      });
    while (context->is_valid() && now() < until) {
      wait_once(until, context);
    }
    context->remove_on_shutdown_callback(shutdown_handle);
    return context->is_valid() && now() >= until;
  }

  rcl_clock_t handle{};
  std::mutex user_mutex;
  std::weak_ptr<Impl> self;

private:
  template<typename Predicate>
  std::vector<JumpHandler::SharedPtr> select_handlers(Predicate predicate)
  {
    std::vector<JumpHandler::SharedPtr> selected;
    for (const auto & weak : handlers_) {
      auto handler = weak.lock();
      if (handler && predicate(handler->notice_threshold)) {
        selected.push_back(handler);
      }
    }
    return selected;
  }

  static void call_pre(const std::vector<JumpHandler::SharedPtr> & handlers)
  {
    for (const auto & handler : handlers) {
      if (handler->pre_callback) {
        handler->pre_callback();
      }
    }
  }

  static void call_post(
    const std::vector<JumpHandler::SharedPtr> & handlers, const rcl_time_jump_t & jump)
  {
    for (const auto & handler : handlers) {
      if (handler->post_callback) {
        handler->post_callback(jump);
      }
    }
  }

  // One bounded wait: until the deadline on the matching std clock, or until the ROS time moves.
  void wait_once(rcl_time_point_value_t until, const Context::SharedPtr & context)
  {
    std::unique_lock<std::mutex> lock(mutex);
    const uint64_t seen = generation;
    auto woken = [this, seen, &context]() {return generation != seen || !context->is_valid();};
    const rcl_time_point_value_t current = now_locked();
    const auto remaining = std::chrono::nanoseconds(until - current);
    if (handle.type == RCL_STEADY_TIME) {
      changed.wait_until(lock, std::chrono::steady_clock::now() + remaining, woken);
    } else if (handle.type == RCL_ROS_TIME && override_enabled) {
      changed.wait(lock, woken);
    } else {
      changed.wait_until(lock, std::chrono::system_clock::now() + remaining, woken);
    }
  }

  rcl_time_point_value_t now_locked() const
  {
    if (handle.type == RCL_ROS_TIME && override_enabled) {
      return ros_time;
    }
    const auto since_epoch = handle.type == RCL_STEADY_TIME ?
      std::chrono::steady_clock::now().time_since_epoch() :
      std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count();
  }

  mutable std::mutex mutex;
  std::condition_variable changed;
  bool override_enabled{false};
  rcl_time_point_value_t ros_time{0};
  uint64_t generation{0};
  std::vector<std::weak_ptr<JumpHandler>> handlers_;
};

Clock::Clock(rcl_clock_type_t clock_type)
: impl_(std::make_shared<Impl>(clock_type))
{
  impl_->self = impl_;
}

Clock::~Clock() = default;

Time Clock::now() const
{
  return Time(impl_->now(), impl_->handle.type);
}

bool Clock::sleep_until(Time until, Context::SharedPtr context)
{
  if (!context || !context->is_valid()) {
    throw std::runtime_error("context cannot be slept with because it's invalid");
  }
  if (until.get_clock_type() != impl_->handle.type) {
    throw std::runtime_error("until's clock type does not match this clock's type");
  }
  return impl_->sleep_until(until.nanoseconds(), context);
}

bool Clock::sleep_for(Duration rel_time, Context::SharedPtr context)
{
  return sleep_until(now() + rel_time, context);
}

bool Clock::started()
{
  return impl_->now() > 0;
}

bool Clock::wait_until_started(Context::SharedPtr context)
{
  if (!context || !context->is_valid()) {
    throw std::runtime_error("context cannot be slept with because it's invalid");
  }
  if (started()) {
    return true;
  }
  // The first ROS time above zero starts the clock; sleeping until 1 ns waits for exactly that.
  return impl_->sleep_until(1, context);
}

bool Clock::wait_until_started(
  const Duration & timeout, Context::SharedPtr context, const Duration & wait_tick_ns)
{
  if (!context || !context->is_valid()) {
    throw std::runtime_error("context cannot be slept with because it's invalid");
  }
  Clock timeout_clock(RCL_STEADY_TIME);
  const Time deadline = timeout_clock.now() + timeout;
  while (!started() && context->is_valid() && timeout_clock.now() < deadline) {
    const Duration left = deadline - timeout_clock.now();
    timeout_clock.sleep_for(left < wait_tick_ns ? left : wait_tick_ns, context);
  }
  return started();
}

bool Clock::ros_time_is_active()
{
  return impl_->handle.type == RCL_ROS_TIME && impl_->is_override_enabled();
}

rcl_clock_t * Clock::get_clock_handle() noexcept
{
  return &impl_->handle;
}

rcl_clock_type_t Clock::get_clock_type() const noexcept
{
  return impl_->handle.type;
}

std::mutex & Clock::get_clock_mutex() noexcept
{
  return impl_->user_mutex;
}

JumpHandler::SharedPtr Clock::create_jump_callback(
  JumpHandler::pre_callback_t pre_callback, JumpHandler::post_callback_t post_callback,
  const rcl_jump_threshold_t & threshold)
{
  auto handler = std::make_shared<JumpHandler>(
    std::move(pre_callback), std::move(post_callback), threshold);
  impl_->add_handler(handler);
  return handler;
}

}  // namespace rclcpp

namespace
{

rclcpp::Clock::Impl * impl_of(rcl_clock_t * clock)
{
  return clock ? static_cast<rclcpp::Clock::Impl *>(clock->impl) : nullptr;
}

}  // namespace

extern "C"
{

bool rcl_clock_valid(rcl_clock_t * clock)
{
  return impl_of(clock) != nullptr && clock->type != RCL_CLOCK_UNINITIALIZED;
}

rcl_ret_t rcl_clock_get_now(rcl_clock_t * clock, rcl_time_point_value_t * time_point_value)
{
  if (!impl_of(clock) || !time_point_value) {
    return RCL_RET_INVALID_ARGUMENT;
  }
  *time_point_value = impl_of(clock)->now();
  return RCL_RET_OK;
}

rcl_ret_t rcl_enable_ros_time_override(rcl_clock_t * clock)
{
  if (!impl_of(clock) || clock->type != RCL_ROS_TIME) {
    return RCL_RET_ERROR;
  }
  impl_of(clock)->set_override_enabled(true);
  return RCL_RET_OK;
}

rcl_ret_t rcl_disable_ros_time_override(rcl_clock_t * clock)
{
  if (!impl_of(clock) || clock->type != RCL_ROS_TIME) {
    return RCL_RET_ERROR;
  }
  impl_of(clock)->set_override_enabled(false);
  return RCL_RET_OK;
}

rcl_ret_t rcl_is_enabled_ros_time_override(rcl_clock_t * clock, bool * is_enabled)
{
  if (!impl_of(clock) || clock->type != RCL_ROS_TIME || !is_enabled) {
    return RCL_RET_ERROR;
  }
  *is_enabled = impl_of(clock)->is_override_enabled();
  return RCL_RET_OK;
}

rcl_ret_t rcl_set_ros_time_override(rcl_clock_t * clock, rcl_time_point_value_t time_value)
{
  if (!impl_of(clock) || clock->type != RCL_ROS_TIME) {
    return RCL_RET_ERROR;
  }
  impl_of(clock)->set_ros_time(time_value);
  return RCL_RET_OK;
}

}  // extern "C"
