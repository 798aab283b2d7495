#include "rclcpp/executors/multi_threaded_executor.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace executors
{

MultiThreadedExecutor::MultiThreadedExecutor(
  const rclcpp::ExecutorOptions & options, size_t number_of_threads, bool yield_before_execute,
  std::chrono::nanoseconds next_exec_timeout)
: rclcpp::Executor(options), yield_before_execute_(yield_before_execute),
  next_exec_timeout_(next_exec_timeout)
{
  number_of_threads_ = number_of_threads > 0 ?
    number_of_threads : std::max(std::thread::hardware_concurrency(), 2U);
}

MultiThreadedExecutor::~MultiThreadedExecutor() {}

void MultiThreadedExecutor::spin()
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin() called while already spinning");
  }
  SpinningReset reset(spinning);
  if (consume_pending_cancel()) {
    return;
  }
  std::vector<std::thread> threads;
  for (size_t i = 0; i + 1 < number_of_threads_; ++i) {
    threads.emplace_back([this]() {run();});
  }
  run();
  for (auto & thread : threads) {
    thread.join();
  }
}

size_t MultiThreadedExecutor::get_number_of_threads()
{
  return number_of_threads_;
}

void MultiThreadedExecutor::run()
{
  while (rclcpp::ok(this->context_) && spinning.load()) {
    if (yield_before_execute_) {
      std::this_thread::yield();
    }
    spin_once_impl(next_exec_timeout_);
  }
}

}  // namespace executors
}  // namespace rclcpp
