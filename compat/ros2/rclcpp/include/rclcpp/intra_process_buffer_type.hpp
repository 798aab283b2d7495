#ifndef RCLCPP__INTRA_PROCESS_BUFFER_TYPE_HPP_
#define RCLCPP__INTRA_PROCESS_BUFFER_TYPE_HPP_

namespace rclcpp
{

enum class IntraProcessBufferType
{
  SharedPtr,
  UniquePtr,
  CallbackDefault
};

}  // namespace rclcpp

#endif  // RCLCPP__INTRA_PROCESS_BUFFER_TYPE_HPP_
