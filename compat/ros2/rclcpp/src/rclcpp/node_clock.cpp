#include "rclcpp/node_interfaces/node_clock.hpp"

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp
{
namespace node_interfaces
{

NodeClock::NodeClock()
: ros_clock_(std::make_shared<rclcpp::Clock>(RCL_ROS_TIME))
{}

rclcpp::Clock::SharedPtr NodeClock::get_clock()
{
  return ros_clock_;
}

rclcpp::Clock::ConstSharedPtr NodeClock::get_clock() const
{
  return ros_clock_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
