// rclcpp::QoS: construction from depth and profiles, the chaining setters, the named profile
// classes and the publisher/subscription compatibility rules.
#include <gtest/gtest.h>

#include "rclcpp/qos.hpp"

class QosTest : public ::testing::Test {};

TEST_F(QosTest, DepthConstructorIsKeepLastReliableVolatile)
{
  const rclcpp::QoS qos(7);
  EXPECT_EQ(qos.history(), rclcpp::HistoryPolicy::KeepLast);
  EXPECT_EQ(qos.depth(), 7u);
  EXPECT_EQ(qos.reliability(), rclcpp::ReliabilityPolicy::Reliable);
  EXPECT_EQ(qos.durability(), rclcpp::DurabilityPolicy::Volatile);
  EXPECT_FALSE(qos.avoid_ros_namespace_conventions());
}

TEST_F(QosTest, FromRmwKeepsTheHistoryKind)
{
  rmw_qos_profile_t keep_all = rmw_qos_profile_default;
  keep_all.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  keep_all.depth = 3;
  const auto init_all = rclcpp::QoSInitialization::from_rmw(keep_all);
  EXPECT_EQ(init_all.history_policy, RMW_QOS_POLICY_HISTORY_KEEP_ALL);
  EXPECT_EQ(init_all.depth, 0u);
  const auto init_last = rclcpp::QoSInitialization::from_rmw(rmw_qos_profile_sensor_data);
  EXPECT_EQ(init_last.history_policy, RMW_QOS_POLICY_HISTORY_KEEP_LAST);
  EXPECT_EQ(init_last.depth, 5u);
  const rclcpp::QoS copied(init_last, rmw_qos_profile_sensor_data);
  EXPECT_EQ(copied.reliability(), rclcpp::ReliabilityPolicy::BestEffort);
}

TEST_F(QosTest, SettersChainAndChangeTheProfile)
{
  rclcpp::QoS qos(1);
  qos.keep_all().best_effort().transient_local().deadline(rclcpp::Duration(1, 5))
  .lifespan(rclcpp::Duration(2, 0)).liveliness(rclcpp::LivelinessPolicy::ManualByTopic)
  .liveliness_lease_duration(rclcpp::Duration(3, 0)).avoid_ros_namespace_conventions(true);
  EXPECT_EQ(qos.history(), rclcpp::HistoryPolicy::KeepAll);
  EXPECT_EQ(qos.depth(), 0u);
  EXPECT_EQ(qos.reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(qos.durability(), rclcpp::DurabilityPolicy::TransientLocal);
  EXPECT_EQ(qos.deadline().nanoseconds(), 1000000005LL);
  EXPECT_EQ(qos.lifespan().seconds(), 2.0);
  EXPECT_EQ(qos.liveliness(), rclcpp::LivelinessPolicy::ManualByTopic);
  EXPECT_EQ(qos.liveliness_lease_duration().seconds(), 3.0);
  EXPECT_TRUE(qos.avoid_ros_namespace_conventions());
  EXPECT_EQ(qos.get_rmw_qos_profile().deadline.nsec, 5u);
  qos.keep_last(4).reliable().durability_volatile();
  EXPECT_EQ(qos.depth(), 4u);
  EXPECT_EQ(qos.get_rmw_qos_profile().reliability, RMW_QOS_POLICY_RELIABILITY_RELIABLE);
}

TEST_F(QosTest, EqualityComparesEveryPolicy)
{
  EXPECT_EQ(rclcpp::QoS(10), rclcpp::QoS(10));
  EXPECT_NE(rclcpp::QoS(10), rclcpp::QoS(11));
  EXPECT_NE(rclcpp::QoS(10), rclcpp::QoS(10).best_effort());
  EXPECT_NE(rclcpp::QoS(10), rclcpp::QoS(10).deadline(rclcpp::Duration(0, 1)));
}

TEST_F(QosTest, NamedProfilesMatchTheirRmwProfiles)
{
  const rclcpp::SensorDataQoS sensor;
  EXPECT_EQ(sensor.depth(), 5u);
  EXPECT_EQ(sensor.reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  const rclcpp::ClockQoS clock;
  EXPECT_EQ(clock.depth(), 1u);
  EXPECT_EQ(clock.reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(rclcpp::ServicesQoS().depth(), 10u);
  EXPECT_EQ(rclcpp::ParametersQoS().depth(), 1000u);
  EXPECT_EQ(rclcpp::ParameterEventsQoS().depth(), 1000u);
  EXPECT_EQ(
    rclcpp::SystemDefaultsQoS().reliability(), rclcpp::ReliabilityPolicy::SystemDefault);
  EXPECT_EQ(rclcpp::SystemDefaultsQoS().depth(), 0u);
}

TEST_F(QosTest, CompatibilityFollowsReliabilityAndDurability)
{
  const auto best_effort = rclcpp::QoS(1).best_effort();
  const auto reliable = rclcpp::QoS(1).reliable();
  const auto latched = rclcpp::QoS(1).transient_local();
  EXPECT_EQ(
    rclcpp::qos_check_compatible(best_effort, reliable).compatibility,
    rclcpp::QoSCompatibility::Error);
  EXPECT_EQ(
    rclcpp::qos_check_compatible(reliable, best_effort).compatibility,
    rclcpp::QoSCompatibility::Ok);
  EXPECT_EQ(
    rclcpp::qos_check_compatible(reliable, latched).compatibility,
    rclcpp::QoSCompatibility::Error);
  EXPECT_EQ(
    rclcpp::qos_check_compatible(latched, reliable).compatibility,
    rclcpp::QoSCompatibility::Ok);
  EXPECT_FALSE(rclcpp::qos_check_compatible(best_effort, reliable).reason.empty());
}
