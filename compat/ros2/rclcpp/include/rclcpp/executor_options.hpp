#ifndef RCLCPP__EXECUTOR_OPTIONS_HPP_
#define RCLCPP__EXECUTOR_OPTIONS_HPP_

#include <cstddef>
#include <memory>

#include "rclcpp/context.hpp"
#include "rclcpp/contexts/default_context.hpp"

namespace rclcpp
{
namespace memory_strategy
{
/// Executors here schedule from callback groups directly; a memory strategy has no effect.
class MemoryStrategy
{
public:
  using SharedPtr = std::shared_ptr<MemoryStrategy>;
  virtual ~MemoryStrategy() = default;
};
}  // namespace memory_strategy

struct ExecutorOptions
{
  ExecutorOptions()
  : memory_strategy(nullptr), context(rclcpp::contexts::get_global_default_context()),
    max_conditions(0)
  {}

  memory_strategy::MemoryStrategy::SharedPtr memory_strategy;
  rclcpp::Context::SharedPtr context;
  size_t max_conditions;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_OPTIONS_HPP_
