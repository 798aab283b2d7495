#include "rclcpp/executors/single_threaded_executor.hpp"

#include <chrono>
#include <stdexcept>

#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace executors
{

SingleThreadedExecutor::SingleThreadedExecutor(const rclcpp::ExecutorOptions & options)
: rclcpp::Executor(options) {}

SingleThreadedExecutor::~SingleThreadedExecutor() {}

void SingleThreadedExecutor::spin()
{
  if (spinning.exchange(true)) {
    throw std::runtime_error("spin() called while already spinning");
  }
  SpinningReset reset(spinning);
  if (consume_pending_cancel()) {
    return;
  }
  while (rclcpp::ok(this->context_) && spinning.load()) {
    spin_once_impl(std::chrono::nanoseconds(-1));
  }
}

}  // namespace executors
}  // namespace rclcpp
