// In-place turns are checked as a host checks them: a GridMapROS node whose costmap node takes a
// long, narrow footprint from a parameters file and its map from its map topic.

#include <gtest/gtest.h>


#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav_msgs/msg/path.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"
#include "quorvane_nav2_gridmap/collision/spin_collision.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_gridmap_ros_support.hpp"

namespace
{

using geometry_msgs::msg::Pose2D;
using geometry_msgs::msg::PoseStamped;

// A robot one metre long and 0.2 m wide, so that a turn sweeps far beyond where it stands.
const auto * const kRos = ::testing::AddGlobalTestEnvironment(
  new gridmap_test::RosEnvironment(R"(
/**/spin_costmap:
  ros__parameters:
    footprint: "[[0.5, 0.1], [0.5, -0.1], [-0.5, -0.1], [-0.5, 0.1]]"
    footprint_padding: 0.0
)"));

constexpr double kPi = 3.141592653589793;
constexpr double kStep = 0.05;
constexpr unsigned int kCells = 80;  // 4 m x 4 m at 0.05 m from the origin (0, 0)

// The robot stands at (2.02, 2.02) facing +x; its front edge runs through cell column 50.
constexpr double kCentre = 2.02;
constexpr unsigned int kFrontX = 50;
constexpr unsigned int kCentreY = 40;
// 0.45 m from the centre, 0.6 rad to the left of the heading: inside the circle the robot
// sweeps, close ahead when turning left, far behind when turning right.
constexpr unsigned int kLeftX = 47;
constexpr unsigned int kLeftY = 45;

Pose2D pose2d(double x, double y, double theta)
{
  Pose2D pose;
  pose.x = x;
  pose.y = y;
  pose.theta = theta;
  return pose;
}

geometry_msgs::msg::Quaternion quaternionOf(double yaw)
{
  geometry_msgs::msg::Quaternion q;
  q.z = std::sin(yaw / 2.0);
  q.w = std::cos(yaw / 2.0);
  return q;
}

PoseStamped stamped(double x, double y, double yaw)
{
  PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation = quaternionOf(yaw);
  return pose;
}

nav_msgs::msg::Path pathThrough(const std::vector<std::pair<double, double>> & points)
{
  nav_msgs::msg::Path path;
  for (const auto & [x, y] : points) {
    path.poses.push_back(stamped(x, y, 0.0));
  }
  return path;
}

gridmap_test::CostGrid mapWith(const std::vector<std::pair<unsigned int, unsigned int>> & cells)
{
  gridmap_test::CostGrid grid(kCells, kCells);
  for (const auto & [mx, my] : cells) {
    grid.lethal(mx, my);
  }
  return grid;
}

class SpinCollisionTest : public ::testing::Test
{
protected:
  void startHost(const gridmap_test::CostGrid & grid)
  {
    host_ = std::make_shared<quorvane_nav2_gridmap::GridMapROS>("spin", "");
    host_->configure();
    host_->activate();
    serve(grid);
    host_->waitForCostmap();
    checker_ = std::make_shared<Collision::CollisionCheck>(host_);
    spin_ = std::make_shared<Collision::SpinCollision>(checker_);
  }

  void serve(const gridmap_test::CostGrid & grid)
  {
    ASSERT_TRUE(map_server_.serve(grid, *host_->costmap_ros_->getLayeredCostmap()->getCostmap()))
      << "the costmap node never took the map";
  }

  // The first heading offset, in whole steps towards `direction`, at which the checker itself
  // finds the robot colliding; NaN when a whole turn is free.
  double firstCollidingOffset(double direction)
  {
    for (int i = 0; i <= 126; ++i) {
      const double offset = i * std::copysign(kStep, direction);
      if (!checker_->isCollisionFreePose(pose2d(kCentre, kCentre, offset), true)) {
        return offset;
      }
    }
    return std::nan("");
  }

  std::shared_ptr<rclcpp::Node> helper_ = rclcpp::Node::make_shared("spin_test_map_server");
  gridmap_test::MapServer map_server_{helper_, "/spin_costmap"};
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> host_;
  std::shared_ptr<Collision::CollisionCheck> checker_;
  std::shared_ptr<Collision::SpinCollision> spin_;
};

// Angle arithmetic needs no costmap.
Collision::SpinCollision unhostedSpin()
{
  return Collision::SpinCollision(std::make_shared<Collision::CollisionCheck>(nullptr));
}

// --- spin angles ----------------------------------------------------------------------------

TEST_F(SpinCollisionTest, TurnPairsBetweenTwoHeadings)
{
  auto spin = unhostedSpin();
  struct Case
  {
    double from, to, neg, pos;
  };
  const std::vector<Case> cases{
    {0.0, kPi / 2, -3 * kPi / 2, kPi / 2},
    {kPi / 2, 0.0, -kPi / 2, 3 * kPi / 2},
    {-kPi / 2, kPi / 2, -kPi, kPi},
    {1.0, 1.0, 0.0, 2 * kPi},
    {-kPi / 2, -kPi / 2, 0.0, 2 * kPi},
  };
  for (const auto & c : cases) {
    double neg = 99.0;
    double pos = 99.0;
    spin.getSpinAngle(c.from, c.to, neg, pos);
    EXPECT_NEAR(neg, c.neg, 1e-12) << c.from << " -> " << c.to;
    EXPECT_NEAR(pos, c.pos, 1e-12) << c.from << " -> " << c.to;
  }
}

TEST_F(SpinCollisionTest, HeadingsBeyondOneTurnAreFoldedIntoIt)
{
  auto spin = unhostedSpin();
  double neg = 0.0;
  double pos = 0.0;
  spin.getSpinAngle(2 * kPi + kPi / 2, -2 * kPi, neg, pos);
  EXPECT_NEAR(neg, -kPi / 2, 1e-12);
  EXPECT_NEAR(pos, 3 * kPi / 2, 1e-12);

  spin.getSpinAngle(1.0e12, 0.0, neg, pos);
  EXPECT_LE(neg, 0.0);
  EXPECT_GE(pos, 0.0);
  EXPECT_NEAR(pos - neg, 2 * kPi, 1e-9);
}

TEST_F(SpinCollisionTest, TurnTowardsATargetUsesItsPositionNotItsHeading)
{
  auto spin = unhostedSpin();
  double neg = 0.0;
  double pos = 0.0;
  spin.getSpinAngle(stamped(1.0, 1.0, 0.0), stamped(1.0, 3.0, kPi), neg, pos);
  EXPECT_NEAR(neg, -3 * kPi / 2, 1e-12);
  EXPECT_NEAR(pos, kPi / 2, 1e-12);

  spin.getSpinAngle(stamped(1.0, 1.0, kPi / 2), stamped(2.0, 2.0, -1.0), neg, pos);
  EXPECT_NEAR(neg, -kPi / 4, 1e-12);
  EXPECT_NEAR(pos, 7 * kPi / 4, 1e-12);
}

TEST_F(SpinCollisionTest, TurnAlongAPathAimsAtItsLastPoseWithinTheDistance)
{
  auto spin = unhostedSpin();
  double neg = 9.0;
  double pos = 9.0;
  const auto current = stamped(0.0, 0.0, 0.0);
  spin.getSpinAngle(current, pathThrough({{0.1, 0.0}, {0.2, 0.2}, {1.0, -1.0}, {0.0, 0.1}}),
    0.5, neg, pos);
  EXPECT_NEAR(pos, kPi / 4, 1e-12);
  EXPECT_NEAR(neg, kPi / 4 - 2 * kPi, 1e-12);

  // Every pose within reach: the last one is the aim.
  spin.getSpinAngle(current, pathThrough({{0.1, 0.0}, {0.0, -0.2}}), 5.0, neg, pos);
  EXPECT_NEAR(neg, -kPi / 2, 1e-12);
  EXPECT_NEAR(pos, 3 * kPi / 2, 1e-12);
}

TEST_F(SpinCollisionTest, PathWithoutASecondPoseInReachGivesNoTurn)
{
  auto spin = unhostedSpin();
  const auto current = stamped(0.0, 0.0, 1.0);
  const std::vector<nav_msgs::msg::Path> paths{
    pathThrough({}),
    pathThrough({{2.0, 0.0}, {0.1, 0.0}}),
    pathThrough({{0.1, 0.1}, {2.0, 0.0}, {0.0, 0.2}}),
    pathThrough({{0.1, 0.1}}),
  };
  for (size_t i = 0; i < paths.size(); ++i) {
    double neg = 9.0;
    double pos = 9.0;
    spin.getSpinAngle(current, paths[i], 0.5, neg, pos);
    EXPECT_EQ(neg, 0.0) << "path " << i;
    EXPECT_EQ(pos, 0.0) << "path " << i;
  }
}

// --- stepping through a turn ----------------------------------------------------------------

TEST_F(SpinCollisionTest, FreeTurnEndsOneStepPastTheAngle)
{
  startHost(mapWith({}));
  const Pose2D start = pose2d(kCentre, kCentre, 0.3);
  double reached = 0.0;
  EXPECT_TRUE(spin_->simulation(0.12, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, 3 * kStep);
  EXPECT_TRUE(spin_->simulation(0.0, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, kStep);
  EXPECT_TRUE(spin_->simulation(-0.12, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, 3 * kStep);
  EXPECT_TRUE(spin_->simulation(0.12, -1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, -3 * kStep);
  EXPECT_TRUE(spin_->simulation(0.12, -0.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, -3 * kStep);
  EXPECT_TRUE(spin_->simulation(2 * kPi, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, 126 * kStep);
}

TEST_F(SpinCollisionTest, CollidingStartStopsAtOffsetZeroWithTheTurnsSign)
{
  startHost(mapWith({{kFrontX, kCentreY}}));
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);
  double reached = 1.0;
  EXPECT_FALSE(spin_->simulation(1.0, 1.0, start, reached));
  EXPECT_EQ(reached, 0.0);
  EXPECT_FALSE(std::signbit(reached));
  reached = 1.0;
  EXPECT_FALSE(spin_->simulation(1.0, -1.0, start, reached));
  EXPECT_EQ(reached, 0.0);
  EXPECT_TRUE(std::signbit(reached));
}

TEST_F(SpinCollisionTest, TurnStopsAtTheFirstCollidingStepAndNoEarlier)
{
  startHost(mapWith({{kLeftX, kLeftY}}));
  const double blocked = firstCollidingOffset(1.0);
  ASSERT_TRUE(std::isfinite(blocked));
  const int steps = static_cast<int>(std::lround(blocked / kStep));
  ASSERT_GE(steps, 3) << "the obstacle must sit a few steps into the turn";
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);
  double reached = 0.0;

  // Turning one step short of the obstacle still tests the step beyond, and meets it there.
  EXPECT_FALSE(spin_->simulation((steps - 1) * kStep + 0.01, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, steps * kStep);
  EXPECT_TRUE(spin_->simulation((steps - 2) * kStep + 0.01, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, (steps - 1) * kStep);
  EXPECT_FALSE(spin_->simulation(2 * kPi, 1.0, start, reached));
  EXPECT_DOUBLE_EQ(reached, steps * kStep);
}

// Headings repeat after a whole turn: a longer turn answers as the step-by-step walk would,
// without scoring the repeated headings again, so that even 1e9 rad is answered at once.
TEST_F(SpinCollisionTest, TurnsBeyondOneRevolutionAnswerAsTheWalkWithoutRepeatingIt)
{
  startHost(mapWith({{kLeftX, kLeftY}}));
  const double blocked = firstCollidingOffset(1.0);
  ASSERT_TRUE(std::isfinite(blocked));
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);
  double reached = 0.0;
  for (const double angle : {7.0, 1e6, 1e9, -1e9, 1e300}) {
    EXPECT_FALSE(spin_->simulation(angle, 1.0, start, reached)) << angle;
    EXPECT_DOUBLE_EQ(reached, blocked) << angle;
  }

  serve(mapWith({}));
  for (const double angle : {7.0, 1e9, -1e9}) {
    const double last_step = std::trunc(std::fabs(angle) / kStep) + 1.0;
    EXPECT_TRUE(spin_->simulation(angle, 1.0, start, reached)) << angle;
    EXPECT_DOUBLE_EQ(reached, last_step * kStep) << angle;
    EXPECT_TRUE(spin_->simulation(angle, -1.0, start, reached)) << angle;
    EXPECT_DOUBLE_EQ(reached, -last_step * kStep) << angle;
  }
}

// An angle that is no number has no turn to check: it is refused, not taken as free.
TEST_F(SpinCollisionTest, NonFiniteTurnIsRefused)
{
  startHost(mapWith({}));
  auto sink = gridmap_test::CapturingSink::attach();
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double angle : {std::nan(""), inf, -inf}) {
    double reached = 1.0;
    EXPECT_FALSE(spin_->simulation(angle, 1.0, start, reached)) << angle;
    EXPECT_EQ(reached, 0.0) << angle;
  }
  const auto errors = sink->linesAt(spdlog::level::err);
  ASSERT_EQ(errors.size(), 3U);
  EXPECT_NE(
    errors[0].text.find("Spin angle nan is not a finite number, the turn is not checked"),
    std::string::npos) << errors[0].text;
  EXPECT_NE(errors[2].text.find("Spin angle -inf is not"), std::string::npos) << errors[2].text;
  sink->detach();
  EXPECT_FALSE(spin_->isCollisionFree(start, std::nan(""), inf));
}

TEST_F(SpinCollisionTest, EachTurnStartsFromAFreshSnapshot)
{
  startHost(mapWith({}));
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);
  double reached = 0.0;
  ASSERT_TRUE(spin_->simulation(0.1, 1.0, start, reached));
  serve(mapWith({{kFrontX, kCentreY}}));
  EXPECT_FALSE(spin_->simulation(0.1, 1.0, start, reached));
  EXPECT_EQ(reached, 0.0);
}

// --- turn checks ----------------------------------------------------------------------------

TEST_F(SpinCollisionTest, TurnIsPossibleWhenEitherDirectionIsFree)
{
  startHost(mapWith({{kLeftX, kLeftY}}));
  const double left_blocked = firstCollidingOffset(1.0);
  ASSERT_TRUE(std::isfinite(left_blocked));
  const double short_left = left_blocked - 1.5 * kStep;
  const Pose2D start = pose2d(kCentre, kCentre, 0.0);

  EXPECT_TRUE(spin_->isCollisionFree(start, -short_left, short_left));
  EXPECT_TRUE(spin_->isCollisionFree(start, -1.0, 1.0)) << "the right turn is free";
  EXPECT_TRUE(spin_->isCollisionFree(start, -3.0, short_left)) << "the left turn is free";
  EXPECT_FALSE(spin_->isCollisionFree(start, -3.0, 3.0));
  // Only the magnitudes count.
  EXPECT_FALSE(spin_->isCollisionFree(start, 3.0, -3.0));
  EXPECT_TRUE(spin_->isCollisionFree(start, 1.0, -1.0));

  EXPECT_FALSE(spin_->isCollisionFree(stamped(kCentre, kCentre, 0.0), -3.0, 3.0));
  EXPECT_TRUE(spin_->isCollisionFree(stamped(kCentre, kCentre, 0.0), -1.0, 1.0));
}

TEST_F(SpinCollisionTest, TurnsUnderAQuarterAreNotChecked)
{
  // The robot already collides where it stands, so every checked turn fails.
  startHost(mapWith({{kFrontX, kCentreY}}));
  const auto here = stamped(kCentre, kCentre, 0.0);
  double min_angle = 0.0;

  EXPECT_TRUE(spin_->isCollisionFreeSpin(here, quaternionOf(0.0), quaternionOf(1.5), min_angle));
  EXPECT_NEAR(min_angle, 1.5, 1e-9);
  EXPECT_TRUE(spin_->isCollisionFreeSpin(here, quaternionOf(0.2), quaternionOf(-1.2), min_angle));
  EXPECT_NEAR(min_angle, 1.4, 1e-9);

  EXPECT_FALSE(spin_->isCollisionFreeSpin(here, quaternionOf(0.0), quaternionOf(1.6), min_angle));
  EXPECT_NEAR(min_angle, 1.6, 1e-9);
  EXPECT_FALSE(spin_->isCollisionFreeSpin(here, quaternionOf(0.0), quaternionOf(-1.6), min_angle));
  EXPECT_NEAR(min_angle, 1.6, 1e-9);
  // Across the half turn the short way round is what counts.
  EXPECT_TRUE(spin_->isCollisionFreeSpin(here, quaternionOf(3.0), quaternionOf(-3.0), min_angle));
  EXPECT_NEAR(min_angle, 2 * kPi - 6.0, 1e-9);
}

TEST_F(SpinCollisionTest, FreeRobotCanTurnAllTheWayRound)
{
  startHost(mapWith({}));
  double neg_reached = 0.0;
  double pos_reached = 0.0;
  EXPECT_TRUE(spin_->getCollisionFreeAngle(stamped(kCentre, kCentre, 1.0), neg_reached,
    pos_reached));
  EXPECT_DOUBLE_EQ(neg_reached, -126 * kStep);
  EXPECT_DOUBLE_EQ(pos_reached, 126 * kStep);
}

TEST_F(SpinCollisionTest, RobotBoxedInOnTheLeftReachesFurtherTurningRight)
{
  startHost(mapWith({{kLeftX, kLeftY}}));
  const double left_blocked = firstCollidingOffset(1.0);
  const double right_blocked = firstCollidingOffset(-1.0);
  double neg_reached = 0.0;
  double pos_reached = 0.0;
  EXPECT_FALSE(spin_->getCollisionFreeAngle(stamped(kCentre, kCentre, 0.0), neg_reached,
    pos_reached));
  EXPECT_DOUBLE_EQ(pos_reached, left_blocked);
  EXPECT_DOUBLE_EQ(neg_reached, right_blocked);
  EXPECT_GT(pos_reached, 0.0);
  EXPECT_LT(pos_reached, kPi / 2);
  EXPECT_LT(neg_reached, -kPi / 2);
}

}  // namespace
