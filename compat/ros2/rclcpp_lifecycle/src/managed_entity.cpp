#include "rclcpp_lifecycle/managed_entity.hpp"

namespace rclcpp_lifecycle
{

void SimpleManagedEntity::on_activate()
{
  activated_.store(true);
}

void SimpleManagedEntity::on_deactivate()
{
  activated_.store(false);
}

bool SimpleManagedEntity::is_activated() const
{
  return activated_.load();
}

}  // namespace rclcpp_lifecycle
