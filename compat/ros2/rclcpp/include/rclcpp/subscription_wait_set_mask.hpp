// Which parts of a subscription a wait set adds or removes.
#ifndef RCLCPP__SUBSCRIPTION_WAIT_SET_MASK_HPP_
#define RCLCPP__SUBSCRIPTION_WAIT_SET_MASK_HPP_

namespace rclcpp
{

// This stand-in's subscriptions have no event handlers and no intra-process waitable, so only
// include_subscription changes anything.
class SubscriptionWaitSetMask
{
public:
  bool include_subscription = true;
  bool include_events = true;
  bool include_intra_process_waitable = true;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_WAIT_SET_MASK_HPP_
