// The named profiles carry the history, depth, reliability and durability that rclcpp relies on.
#include <gtest/gtest.h>

#include "rmw/qos_profiles.h"

namespace
{

void expect_profile(
  const rmw_qos_profile_t & profile, rmw_qos_history_policy_t history, size_t depth,
  rmw_qos_reliability_policy_t reliability, rmw_qos_durability_policy_t durability)
{
  EXPECT_EQ(profile.history, history);
  EXPECT_EQ(profile.depth, depth);
  EXPECT_EQ(profile.reliability, reliability);
  EXPECT_EQ(profile.durability, durability);
  EXPECT_EQ(profile.deadline.sec, 0u);
  EXPECT_EQ(profile.deadline.nsec, 0u);
  EXPECT_FALSE(profile.avoid_ros_namespace_conventions);
}

}  // namespace

class QosProfiles : public ::testing::Test {};

TEST_F(QosProfiles, DataProfilesMatchTheMiddlewareDefaults)
{
  expect_profile(
    rmw_qos_profile_default, RMW_QOS_POLICY_HISTORY_KEEP_LAST, 10,
    RMW_QOS_POLICY_RELIABILITY_RELIABLE, RMW_QOS_POLICY_DURABILITY_VOLATILE);
  expect_profile(
    rmw_qos_profile_sensor_data, RMW_QOS_POLICY_HISTORY_KEEP_LAST, 5,
    RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT, RMW_QOS_POLICY_DURABILITY_VOLATILE);
  expect_profile(
    rmw_qos_profile_services_default, RMW_QOS_POLICY_HISTORY_KEEP_LAST, 10,
    RMW_QOS_POLICY_RELIABILITY_RELIABLE, RMW_QOS_POLICY_DURABILITY_VOLATILE);
  expect_profile(
    rmw_qos_profile_parameters, RMW_QOS_POLICY_HISTORY_KEEP_LAST, 1000,
    RMW_QOS_POLICY_RELIABILITY_RELIABLE, RMW_QOS_POLICY_DURABILITY_VOLATILE);
}

TEST_F(QosProfiles, SystemDefaultAndUnknownLeaveEveryPolicyOpen)
{
  expect_profile(
    rmw_qos_profile_system_default, RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT, 0,
    RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT, RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT);
  expect_profile(
    rmw_qos_profile_unknown, RMW_QOS_POLICY_HISTORY_UNKNOWN, 0,
    RMW_QOS_POLICY_RELIABILITY_UNKNOWN, RMW_QOS_POLICY_DURABILITY_UNKNOWN);
  EXPECT_EQ(rmw_qos_profile_unknown.liveliness, RMW_QOS_POLICY_LIVELINESS_UNKNOWN);
}
