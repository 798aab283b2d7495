// The condition an executor sleeps on. Every event that may create work bumps a generation
// counter; a waiter sleeps until the counter moves past what it saw before scanning for work,
// so no wake-up is lost between a scan and the wait.
#ifndef RCLCPP__EXECUTOR_NOTIFIER_HPP_
#define RCLCPP__EXECUTOR_NOTIFIER_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace rclcpp
{
namespace detail
{

class ExecutorNotifier
{
public:
  uint64_t generation()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
  }

  void notify()
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
    }
    condition_.notify_all();
  }

  /// Waits until the generation differs from `seen` or the deadline passes.
  void wait_until(uint64_t seen, std::chrono::steady_clock::time_point deadline)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait_until(lock, deadline, [this, seen]() {return generation_ != seen;});
  }

  void wait(uint64_t seen)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    condition_.wait(lock, [this, seen]() {return generation_ != seen;});
  }

private:
  std::mutex mutex_;
  std::condition_variable condition_;
  uint64_t generation_{0};
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_NOTIFIER_HPP_
