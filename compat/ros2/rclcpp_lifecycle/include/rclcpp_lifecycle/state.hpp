// A lifecycle state: id and label, as in lifecycle_msgs/State.
#ifndef RCLCPP_LIFECYCLE__STATE_HPP_
#define RCLCPP_LIFECYCLE__STATE_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "rcutils/allocator.h"

namespace rclcpp_lifecycle
{

class State
{
public:
  explicit State(rcutils_allocator_t allocator = rcutils_get_default_allocator());
  State(
    uint8_t id, const std::string & label,
    rcutils_allocator_t allocator = rcutils_get_default_allocator());
  State(const State & rhs);
  virtual ~State();
  State & operator=(const State & rhs);

  uint8_t id() const;
  std::string label() const;

protected:
  void reset() noexcept;

private:
  struct Handle
  {
    uint8_t id;
    std::string label;
  };

  std::unique_ptr<Handle> state_handle_;
};

}  // namespace rclcpp_lifecycle

#endif  // RCLCPP_LIFECYCLE__STATE_HPP_
