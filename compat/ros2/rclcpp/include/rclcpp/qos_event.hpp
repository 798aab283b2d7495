// QoS event callbacks of publishers and subscriptions. The in-process graph raises no QoS events,
// so these callbacks are accepted and never called.
#ifndef RCLCPP__QOS_EVENT_HPP_
#define RCLCPP__QOS_EVENT_HPP_

#include <functional>

namespace rclcpp
{

struct QOSDeadlineRequestedInfo {int total_count; int total_count_change;};
struct QOSDeadlineOfferedInfo {int total_count; int total_count_change;};
struct QOSLivelinessChangedInfo {int alive_count; int not_alive_count;};
struct QOSLivelinessLostInfo {int total_count; int total_count_change;};
struct QOSMessageLostInfo {int total_count; int total_count_change;};
struct QOSOfferedIncompatibleQoSInfo {int total_count; int total_count_change;};
struct QOSRequestedIncompatibleQoSInfo {int total_count; int total_count_change;};

using QOSDeadlineRequestedCallbackType = std::function<void (QOSDeadlineRequestedInfo &)>;
using QOSDeadlineOfferedCallbackType = std::function<void (QOSDeadlineOfferedInfo &)>;
using QOSLivelinessChangedCallbackType = std::function<void (QOSLivelinessChangedInfo &)>;
using QOSLivelinessLostCallbackType = std::function<void (QOSLivelinessLostInfo &)>;
using QOSMessageLostCallbackType = std::function<void (QOSMessageLostInfo &)>;
using QOSOfferedIncompatibleQoSCallbackType =
  std::function<void (QOSOfferedIncompatibleQoSInfo &)>;
using QOSRequestedIncompatibleQoSCallbackType =
  std::function<void (QOSRequestedIncompatibleQoSInfo &)>;

struct PublisherEventCallbacks
{
  QOSDeadlineOfferedCallbackType deadline_callback;
  QOSLivelinessLostCallbackType liveliness_callback;
  QOSOfferedIncompatibleQoSCallbackType incompatible_qos_callback;
};

struct SubscriptionEventCallbacks
{
  QOSDeadlineRequestedCallbackType deadline_callback;
  QOSLivelinessChangedCallbackType liveliness_callback;
  QOSRequestedIncompatibleQoSCallbackType incompatible_qos_callback;
  QOSMessageLostCallbackType message_lost_callback;
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_EVENT_HPP_
