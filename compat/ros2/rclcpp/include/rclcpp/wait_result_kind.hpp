// How a wait on a wait set ended.
#ifndef RCLCPP__WAIT_RESULT_KIND_HPP_
#define RCLCPP__WAIT_RESULT_KIND_HPP_

namespace rclcpp
{

// Unscoped, as in Humble: both rclcpp::Ready and rclcpp::WaitResultKind::Ready name a value.
enum WaitResultKind
{
  Ready,
  Timeout,
  Empty,
};

}  // namespace rclcpp

#endif  // RCLCPP__WAIT_RESULT_KIND_HPP_
