#ifndef QUORVANE_NAV2_GRIDMAP__COLLISION__SPIN_COLLISION_HPP_
#define QUORVANE_NAV2_GRIDMAP__COLLISION__SPIN_COLLISION_HPP_

// In-place turn checks: the two candidate turns between two headings, stepped through in
// fixed angular increments with the footprint checker.

#include <memory>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "nav_msgs/msg/path.hpp"
#include "quorvane_nav2_gridmap/collision/collision_check.hpp"

namespace Collision
{

class SpinCollision
{
public:
  explicit SpinCollision(std::shared_ptr<CollisionCheck> checker);

  // neg <= 0 is the clockwise turn, pos >= 0 the counter-clockwise one, pos - neg = 2 pi.
  void getSpinAngle(const double & from, const double & to, double & neg, double & pos);
  // Turn from the current heading towards the target's position.
  void getSpinAngle(
    const geometry_msgs::msg::PoseStamped & current,
    const geometry_msgs::msg::PoseStamped & target, double & neg, double & pos);
  // Turn towards the last path pose within `distance` of the current position.
  void getSpinAngle(
    const geometry_msgs::msg::PoseStamped & current, const nav_msgs::msg::Path & path,
    double distance, double & neg, double & pos);

  // Steps the heading by 0.05 rad towards `direction` until one step past |angle| or the first
  // colliding pose; `reached` is the offset of the last pose tested.
  bool simulation(
    const double & angle, double direction, const geometry_msgs::msg::Pose2D & pose,
    double & reached);

  bool isCollisionFree(const geometry_msgs::msg::PoseStamped & pose, double neg, double pos);
  bool isCollisionFree(const geometry_msgs::msg::Pose2D & pose, double neg, double pos);
  bool isCollisionFreeSpin(
    const geometry_msgs::msg::PoseStamped & pose, const geometry_msgs::msg::Quaternion & from,
    const geometry_msgs::msg::Quaternion & to, double & min_angle);
  bool getCollisionFreeAngle(
    const geometry_msgs::msg::PoseStamped & pose, double & neg_reached, double & pos_reached);

private:
  std::shared_ptr<CollisionCheck> collision_check_;
};

}  // namespace Collision

#endif  // QUORVANE_NAV2_GRIDMAP__COLLISION__SPIN_COLLISION_HPP_
