// Custom waitables are not part of the in-process runtime; the type exists so that node
// interfaces keep rclcpp's signatures, and adding one fails loudly.
#ifndef RCLCPP__WAITABLE_HPP_
#define RCLCPP__WAITABLE_HPP_

#include "rclcpp/macros.hpp"

namespace rclcpp
{

class Waitable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS_NOT_COPYABLE(Waitable)

  virtual ~Waitable() = default;
};

}  // namespace rclcpp

#endif  // RCLCPP__WAITABLE_HPP_
