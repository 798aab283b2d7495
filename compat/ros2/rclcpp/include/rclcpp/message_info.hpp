// Metadata delivered with a message (timestamps, sequence numbers, publisher id).
#ifndef RCLCPP__MESSAGE_INFO_HPP_
#define RCLCPP__MESSAGE_INFO_HPP_

#include "rmw/types.h"

namespace rclcpp
{

class MessageInfo
{
public:
  MessageInfo() = default;
  MessageInfo(const rmw_message_info_t & rmw_message_info)  // NOLINT(runtime/explicit)
  : rmw_message_info_(rmw_message_info) {}
  virtual ~MessageInfo() = default;

  const rmw_message_info_t & get_rmw_message_info() const {return rmw_message_info_;}
  rmw_message_info_t & get_rmw_message_info() {return rmw_message_info_;}

private:
  rmw_message_info_t rmw_message_info_{};
};

}  // namespace rclcpp

#endif  // RCLCPP__MESSAGE_INFO_HPP_
