// Periodic timers on a clock. A timer is ready once its clock reaches the next call time; the
// executor that serves its callback group runs it. Timers on a ROS clock follow simulated time.
#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/clock.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable_entity.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

class Executor;

class TimerBase : public detail::ExecutableEntity
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(TimerBase)

  explicit TimerBase(
    Clock::SharedPtr clock, std::chrono::nanoseconds period,
    rclcpp::Context::SharedPtr context);
  virtual ~TimerBase();
  TimerBase(const TimerBase &) = delete;
  TimerBase & operator=(const TimerBase &) = delete;

  void cancel();
  bool is_canceled();
  void reset();
  /// Claims the current expiry and schedules the next one; false if not due (or already claimed).
  virtual bool call();
  virtual void execute_callback() = 0;
  Clock::SharedPtr get_clock();
  std::chrono::nanoseconds time_until_trigger();
  virtual bool is_steady() = 0;
  bool is_ready();
  bool exchange_in_use_by_wait_set_state(bool in_use_state);

  bool is_ready_to_execute() override;
  bool execute_one() override;

protected:
  Clock::SharedPtr clock_;

private:
  friend class Executor;
  /// True while a thread runs this timer's callback; a timer never runs concurrently with itself.
  bool is_executing() const;

private:
  // Lets a clock's jump callback reach this timer only while it exists.
  struct JumpLink
  {
    std::mutex mutex;
    TimerBase * timer{nullptr};
  };

  void on_time_jump(const rcl_time_jump_t & jump);

  std::mutex mutex_;
  int64_t period_ns_;
  int64_t next_call_ns_;
  bool canceled_{false};
  rclcpp::Context::SharedPtr context_;
  std::shared_ptr<JumpLink> jump_link_;
  JumpHandler::SharedPtr jump_handler_;
  std::atomic<bool> in_use_by_wait_set_{false};
  std::atomic<bool> executing_{false};
};

using VoidCallbackType = std::function<void ()>;
using TimerCallbackType = std::function<void (TimerBase &)>;

template<typename FunctorT>
class GenericTimer : public TimerBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(GenericTimer)

  explicit GenericTimer(
    Clock::SharedPtr clock, std::chrono::nanoseconds period, FunctorT && callback,
    rclcpp::Context::SharedPtr context)
  : TimerBase(clock, period, context), callback_(std::forward<FunctorT>(callback))
  {
    static_assert(
      std::is_invocable<FunctorT &>::value || std::is_invocable<FunctorT &, TimerBase &>::value,
      "Timer callback must take no argument or a TimerBase reference");
  }

  ~GenericTimer() override
  {
    cancel();
  }

  void execute_callback() override
  {
    if constexpr (std::is_invocable<FunctorT &, TimerBase &>::value) {
      callback_(*this);
    } else {
      callback_();
    }
  }

  bool is_steady() override
  {
    return clock_->get_clock_type() == RCL_STEADY_TIME;
  }

protected:
  FunctorT callback_;
};

template<typename FunctorT>
class WallTimer : public GenericTimer<FunctorT>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(WallTimer)

  WallTimer(
    std::chrono::nanoseconds period, FunctorT && callback, rclcpp::Context::SharedPtr context)
  : GenericTimer<FunctorT>(
      std::make_shared<Clock>(RCL_STEADY_TIME), period, std::move(callback), context)
  {}
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
