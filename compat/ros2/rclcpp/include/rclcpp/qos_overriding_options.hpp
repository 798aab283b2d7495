// Which QoS policies of a publisher or subscription may be overridden through parameters.
#ifndef RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_
#define RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "rclcpp/qos.hpp"
#include "rmw/types.h"

namespace rclcpp
{

enum class QosPolicyKind
{
  AvoidRosNamespaceConventions = RMW_QOS_POLICY_AVOID_ROS_NAMESPACE_CONVENTIONS,
  Deadline = RMW_QOS_POLICY_DEADLINE,
  Depth = RMW_QOS_POLICY_DEPTH,
  Durability = RMW_QOS_POLICY_DURABILITY,
  History = RMW_QOS_POLICY_HISTORY,
  Lifespan = RMW_QOS_POLICY_LIFESPAN,
  Liveliness = RMW_QOS_POLICY_LIVELINESS,
  LivelinessLeaseDuration = RMW_QOS_POLICY_LIVELINESS_LEASE_DURATION,
  Reliability = RMW_QOS_POLICY_RELIABILITY,
  Invalid = 1 << 30,
};

using QosCallbackResult = rclcpp::QoSCheckCompatibleResult;
using QosCallback = std::function<QosCallbackResult(const rclcpp::QoS &)>;

class QosOverridingOptions
{
public:
  QosOverridingOptions() = default;
  QosOverridingOptions(
    std::initializer_list<QosPolicyKind> policy_kinds, QosCallback validation_callback = nullptr,
    std::string id = {})
  : id_(std::move(id)), policy_kinds_(policy_kinds),
    validation_callback_(std::move(validation_callback))
  {}

  static QosOverridingOptions with_default_policies(
    QosCallback validation_callback = nullptr, std::string id = {})
  {
    return QosOverridingOptions(
      {QosPolicyKind::History, QosPolicyKind::Depth, QosPolicyKind::Reliability},
      std::move(validation_callback), std::move(id));
  }

  const std::string & get_id() const {return id_;}
  const std::vector<QosPolicyKind> & get_policy_kinds() const {return policy_kinds_;}
  const QosCallback & get_validation_callback() const {return validation_callback_;}

private:
  std::string id_;
  std::vector<QosPolicyKind> policy_kinds_;
  QosCallback validation_callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_OVERRIDING_OPTIONS_HPP_
