#include "rclcpp/detail/executable_entity.hpp"

namespace rclcpp
{
namespace detail
{

void ExecutableEntity::attach_to_callback_group(const rclcpp::CallbackGroup::SharedPtr & group)
{
  std::lock_guard<std::mutex> lock(group_mutex_);
  group_ = group;
}

void ExecutableEntity::notify_callback_group() const
{
  std::shared_ptr<rclcpp::CallbackGroup> group;
  {
    std::lock_guard<std::mutex> lock(group_mutex_);
    group = group_.lock();
  }
  if (group) {
    group->trigger_notify_guard_condition();
  }
}

}  // namespace detail
}  // namespace rclcpp
