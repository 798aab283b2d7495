#include "quorvane_nav2_gridmap/collision/spin_collision.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "quorvane_nav2_gridmap/logger.hpp"

namespace Collision
{
namespace
{

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kSpinStep = 0.05;

// Yaw by tf2's extraction rule, including its handling of the pitch singularity.
double yawOf(const geometry_msgs::msg::Quaternion & q)
{
  const double norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  const double s = -2.0 * (q.x * q.z - q.y * q.w) / norm;
  if (s <= -0.99999) {
    return -2.0 * std::atan2(q.y, q.x);
  }
  if (s >= 0.99999) {
    return 2.0 * std::atan2(q.y, q.x);
  }
  return std::atan2(2.0 * (q.x * q.y + q.z * q.w), q.x * q.x + q.w * q.w - q.y * q.y - q.z * q.z);
}

// Headings beyond this are reduced with fmod first: repeated subtraction would never finish.
constexpr double kLargestSteppedAngle = 1.0e6;
// The first step whose offset reaches a whole turn (126 * 0.05 = 6.3 > 2 pi): a turn longer than
// this only repeats headings already scored.
constexpr int kStepsPerTurn = 126;

double normalisedAngle(double angle)
{
  if (!std::isfinite(angle)) {
    return angle;
  }
  if (std::fabs(angle) > kLargestSteppedAngle) {
    angle = std::fmod(angle, kTwoPi);
  }
  while (angle < 0.0) {
    angle += kTwoPi;
  }
  while (angle >= kTwoPi) {
    angle -= kTwoPi;
  }
  return angle;
}

geometry_msgs::msg::Pose2D toPose2D(const geometry_msgs::msg::PoseStamped & pose)
{
  geometry_msgs::msg::Pose2D planar;
  planar.x = pose.pose.position.x;
  planar.y = pose.pose.position.y;
  planar.theta = yawOf(pose.pose.orientation);
  return planar;
}

}  // namespace

SpinCollision::SpinCollision(std::shared_ptr<CollisionCheck> checker)
: collision_check_(std::move(checker))
{
}

void SpinCollision::getSpinAngle(const double & from, const double & to, double & neg, double & pos)
{
  const double start = normalisedAngle(from);
  const double goal = normalisedAngle(to);
  const double difference = goal - start;
  if (goal > start) {
    pos = difference;
    neg = difference - kTwoPi;
  } else {
    neg = difference;
    pos = difference + kTwoPi;
  }
}

void SpinCollision::getSpinAngle(
  const geometry_msgs::msg::PoseStamped & current, const geometry_msgs::msg::PoseStamped & target,
  double & neg, double & pos)
{
  const double from = yawOf(current.pose.orientation);
  const double to = std::atan2(
    target.pose.position.y - current.pose.position.y,
    target.pose.position.x - current.pose.position.x);
  getSpinAngle(from, to, neg, pos);
}

void SpinCollision::getSpinAngle(
  const geometry_msgs::msg::PoseStamped & current, const nav_msgs::msg::Path & path,
  double distance, double & neg, double & pos)
{
  int last_within = -1;
  for (size_t i = 0; i < path.poses.size(); ++i) {
    const double dx = path.poses[i].pose.position.x - current.pose.position.x;
    const double dy = path.poses[i].pose.position.y - current.pose.position.y;
    if (std::hypot(dx, dy) > distance) {
      break;
    }
    last_within = static_cast<int>(i);
  }
  if (last_within > 0) {
    getSpinAngle(current, path.poses[static_cast<size_t>(last_within)], neg, pos);
  } else {
    neg = 0.0;
    pos = 0.0;
  }
}

bool SpinCollision::simulation(
  const double & angle, double direction, const geometry_msgs::msg::Pose2D & pose,
  double & reached)
{
  const double step = std::copysign(kSpinStep, direction);
  if (!std::isfinite(angle)) {
    QLOG_ERROR("Spin angle {} is not a finite number, the turn is not checked", angle);
    reached = 0.0 * step;
    return false;
  }
  // Whole steps of the turn, counted in double: a large angle has more than an int holds.
  const double steps = std::trunc(std::fabs(angle) / kSpinStep);
  const double last_step = steps + 1.0;
  const int scored_steps = last_step < kStepsPerTurn ? static_cast<int>(last_step) :
    kStepsPerTurn;
  for (int i = 0; i <= scored_steps; ++i) {
    const double offset = i * step;
    geometry_msgs::msg::Pose2D turned = pose;
    turned.theta = pose.theta + offset;
    reached = offset;
    // The first pose refreshes the snapshot; the rest of the turn scores against it.
    if (!collision_check_->isCollisionFreePose(turned, i == 0)) {
      return false;
    }
  }
  // Every heading of a whole turn is free, so every later step repeats a free heading.
  reached = last_step * step;
  return true;
}

bool SpinCollision::isCollisionFree(
  const geometry_msgs::msg::PoseStamped & pose, double neg, double pos)
{
  return isCollisionFree(toPose2D(pose), neg, pos);
}

bool SpinCollision::isCollisionFree(const geometry_msgs::msg::Pose2D & pose, double neg, double pos)
{
  double neg_reached = 0.0;
  double pos_reached = 0.0;
  const bool clockwise_free = simulation(neg, -1.0, pose, neg_reached);
  const bool counter_clockwise_free = simulation(pos, 1.0, pose, pos_reached);
  return clockwise_free || counter_clockwise_free;
}

bool SpinCollision::isCollisionFreeSpin(
  const geometry_msgs::msg::PoseStamped & pose, const geometry_msgs::msg::Quaternion & from,
  const geometry_msgs::msg::Quaternion & to, double & min_angle)
{
  double neg = 0.0;
  double pos = 0.0;
  getSpinAngle(yawOf(from), yawOf(to), neg, pos);
  min_angle = std::min(std::fabs(pos), std::fabs(neg));
  // Small corrections are left to the controller: only turns of a quarter or more are checked.
  if (min_angle < kHalfPi) {
    return true;
  }
  return isCollisionFree(pose, neg, pos);
}

bool SpinCollision::getCollisionFreeAngle(
  const geometry_msgs::msg::PoseStamped & pose, double & neg_reached, double & pos_reached)
{
  neg_reached = 0.0;
  pos_reached = 0.0;
  const auto planar = toPose2D(pose);
  const bool clockwise_free = simulation(kTwoPi, -1.0, planar, neg_reached);
  const bool counter_clockwise_free = simulation(kTwoPi, 1.0, planar, pos_reached);
  return clockwise_free || counter_clockwise_free;
}

}  // namespace Collision
