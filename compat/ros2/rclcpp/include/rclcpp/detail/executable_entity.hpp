// What subscriptions, timers, services and clients share: the callback group they were added to,
// which is told (and through it the executor) whenever the entity has new work.
#ifndef RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_
#define RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_

#include <memory>
#include <mutex>

#include "rclcpp/callback_group.hpp"

namespace rclcpp
{
namespace detail
{

class ExecutableEntity
{
public:
  virtual ~ExecutableEntity() = default;

  /// Records the group this entity belongs to; called when a node adds the entity to a group.
  void attach_to_callback_group(const rclcpp::CallbackGroup::SharedPtr & group);

  /// True if the executor may run this entity's callback now.
  virtual bool is_ready_to_execute() = 0;

  /// Runs one unit of work (one message, request, response or timer expiry); false if none was left.
  virtual bool execute_one() = 0;

protected:
  void notify_callback_group() const;

private:
  mutable std::mutex group_mutex_;
  std::weak_ptr<rclcpp::CallbackGroup> group_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__EXECUTABLE_ENTITY_HPP_
