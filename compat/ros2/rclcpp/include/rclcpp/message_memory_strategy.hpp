// Message allocation strategy of a subscription; in-process delivery shares immutable copies,
// so the default strategy only exists to keep rclcpp's template signatures.
#ifndef RCLCPP__MESSAGE_MEMORY_STRATEGY_HPP_
#define RCLCPP__MESSAGE_MEMORY_STRATEGY_HPP_

#include <memory>

#include "rclcpp/macros.hpp"

namespace rclcpp
{
namespace message_memory_strategy
{

template<typename MessageT, typename Alloc = std::allocator<void>>
class MessageMemoryStrategy
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(MessageMemoryStrategy)

  virtual ~MessageMemoryStrategy() = default;

  static SharedPtr create_default()
  {
    return std::make_shared<MessageMemoryStrategy<MessageT, Alloc>>();
  }

  virtual std::shared_ptr<MessageT> borrow_message()
  {
    return std::make_shared<MessageT>();
  }
};

}  // namespace message_memory_strategy
}  // namespace rclcpp

#endif  // RCLCPP__MESSAGE_MEMORY_STRATEGY_HPP_
