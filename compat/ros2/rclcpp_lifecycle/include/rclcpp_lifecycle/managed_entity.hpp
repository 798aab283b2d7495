// Entities a lifecycle node activates and deactivates (lifecycle publishers).
#ifndef RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_
#define RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_

#include <atomic>

namespace rclcpp_lifecycle
{

class ManagedEntityInterface
{
public:
  virtual ~ManagedEntityInterface() {}
  virtual void on_activate() = 0;
  virtual void on_deactivate() = 0;
};

class SimpleManagedEntity : public ManagedEntityInterface
{
public:
  ~SimpleManagedEntity() override = default;

  void on_activate() override;
  void on_deactivate() override;
  bool is_activated() const;

private:
  std::atomic<bool> activated_ = false;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__MANAGED_ENTITY_HPP_
