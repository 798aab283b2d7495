#include "rclcpp/timer.hpp"

#include <chrono>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace rclcpp
{
namespace
{

// A timer with the largest period (tf2_ros::MessageFilter's default time-out) never comes due;
// its due time saturates instead of overflowing.
int64_t saturating_add(int64_t a, int64_t b)
{
  if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) {
    return std::numeric_limits<int64_t>::max();
  }
  if (b < 0 && a < std::numeric_limits<int64_t>::min() - b) {
    return std::numeric_limits<int64_t>::min();
  }
  return a + b;
}

}  // namespace

TimerBase::TimerBase(
  Clock::SharedPtr clock, std::chrono::nanoseconds period, rclcpp::Context::SharedPtr context)
: clock_(std::move(clock)), period_ns_(period.count()), context_(std::move(context)),
  jump_link_(std::make_shared<JumpLink>())
{
  jump_link_->timer = this;
  if (!clock_) {
    throw std::invalid_argument("clock cannot be null");
  }
  next_call_ns_ = saturating_add(clock_->now().nanoseconds(), period_ns_);
  if (clock_->get_clock_type() == RCL_ROS_TIME) {
    // Simulated time only moves when /clock is received; every move may make this timer due.
    rcl_jump_threshold_t any_change{true, {1}, {-1}};
    auto link = jump_link_;
    jump_handler_ = clock_->create_jump_callback(
      nullptr,
      [link](const rcl_time_jump_t & jump) {
        std::lock_guard<std::mutex> link_lock(link->mutex);
        if (link->timer) {
          link->timer->on_time_jump(jump);
        }
      }, any_change);
  }
}

TimerBase::~TimerBase()
{
  std::lock_guard<std::mutex> link_lock(jump_link_->mutex);
  jump_link_->timer = nullptr;
}

void TimerBase::on_time_jump(const rcl_time_jump_t & jump)
{
  if (jump.clock_change != RCL_ROS_TIME_NO_CHANGE) {
    std::lock_guard<std::mutex> lock(mutex_);
    next_call_ns_ = saturating_add(clock_->now().nanoseconds(), period_ns_);
  }
  notify_callback_group();
}

void TimerBase::cancel()
{
  std::lock_guard<std::mutex> lock(mutex_);
  canceled_ = true;
}

bool TimerBase::is_canceled()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return canceled_;
}

void TimerBase::reset()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    canceled_ = false;
    next_call_ns_ = saturating_add(clock_->now().nanoseconds(), period_ns_);
  }
  notify_callback_group();
}

bool TimerBase::call()
{
  std::lock_guard<std::mutex> lock(mutex_);
  const int64_t now = clock_->now().nanoseconds();
  if (canceled_ || now < next_call_ns_) {
    return false;
  }
  if (period_ns_ <= 0) {
    next_call_ns_ = now;
  } else {
    // Skip the expiries that were missed; the next call stays on the original period grid.
    const int64_t periods_missed = (now - next_call_ns_) / period_ns_;
    next_call_ns_ = periods_missed < std::numeric_limits<int64_t>::max() / period_ns_ ?
      saturating_add(next_call_ns_, period_ns_ * (periods_missed + 1)) :
      std::numeric_limits<int64_t>::max();
  }
  return true;
}

Clock::SharedPtr TimerBase::get_clock()
{
  return clock_;
}

std::chrono::nanoseconds TimerBase::time_until_trigger()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (canceled_) {
    return std::chrono::nanoseconds::max();
  }
  return std::chrono::nanoseconds(saturating_add(next_call_ns_, -clock_->now().nanoseconds()));
}

bool TimerBase::is_ready()
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !canceled_ && clock_->now().nanoseconds() >= next_call_ns_;
}

bool TimerBase::exchange_in_use_by_wait_set_state(bool in_use_state)
{
  return in_use_by_wait_set_.exchange(in_use_state);
}

bool TimerBase::is_ready_to_execute()
{
  return !executing_.load() && is_ready();
}

bool TimerBase::execute_one()
{
  if (executing_.exchange(true)) {
    return false;
  }
  struct Done
  {
    std::atomic<bool> & flag;
    ~Done() {flag.store(false);}
  } done{executing_};
  if (!call()) {
    return false;
  }
  execute_callback();
  return true;
}

bool TimerBase::is_executing() const
{
  return executing_.load();
}

}  // namespace rclcpp
