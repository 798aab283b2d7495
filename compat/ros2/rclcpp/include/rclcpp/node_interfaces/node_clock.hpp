// The node's ROS-time clock (system time unless use_sim_time makes it follow /clock).
#ifndef RCLCPP__NODE_INTERFACES__NODE_CLOCK_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_CLOCK_HPP_

#include "rclcpp/clock.hpp"
#include "rclcpp/node_interfaces/node_clock_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

class NodeClock : public NodeClockInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeClock)

  NodeClock();
  virtual ~NodeClock() = default;

  rclcpp::Clock::SharedPtr get_clock() override;
  rclcpp::Clock::ConstSharedPtr get_clock() const override;

private:
  rclcpp::Clock::SharedPtr ros_clock_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_CLOCK_HPP_
