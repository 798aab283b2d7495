#ifndef QUORVANE_NAV2_GRIDMAP__COLLISION__COLLISION_CHECK_HPP_
#define QUORVANE_NAV2_GRIDMAP__COLLISION__COLLISION_CHECK_HPP_

// Footprint collision checks of a grid-map node's costmap. Scoring runs on a private snapshot
// of the master costmap, so the costmap thread is held only for one copy per update.

#include <memory>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose2_d.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/footprint_collision_checker.hpp"

namespace quorvane_nav2_gridmap
{
class GridMapROS;
}  // namespace quorvane_nav2_gridmap

namespace Collision
{

class CollisionCheck
{
public:
  using Footprint = std::vector<geometry_msgs::msg::Point>;

  explicit CollisionCheck(std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> node);

  // One straight step at the start heading; no arc integration and no angle normalisation.
  geometry_msgs::msg::Pose2D computeNewPosition(
    geometry_msgs::msg::Pose2D pose, const geometry_msgs::msg::Twist & twist, double dt);

  // With `update`, the cached footprint is refreshed first; the result is placed at `pose`.
  Footprint getFootprint(const geometry_msgs::msg::Pose2D & pose, bool update);
  Footprint getFootprint(
    const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint);

  // Costmap cost of the footprint at `pose`; throws on a pose off the grid or a missing snapshot.
  double scorePose(const geometry_msgs::msg::Pose2D & pose, bool update);
  double scorePose(
    const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint);

  // Never throw: every failure is reported as a pose that is not free.
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D & pose, bool update);
  bool isCollisionFreePose(
    const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint);
  bool isCollisionFreeDt(
    geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & twist, double dt);
  bool isCollisionFreeDt(
    geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & twist, double dt,
    const Footprint & footprint);

private:
  void takeSnapshot();
  void requireSnapshot() const;
  bool poseIsOnSnapshot(const geometry_msgs::msg::Pose2D & pose);
  double scoreFootprint(const Footprint & placed_footprint);
  Footprint robotFootprint() const;

  nav2_costmap_2d::FootprintCollisionChecker<std::shared_ptr<nav2_costmap_2d::Costmap2D>>
  collision_checker_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> gridmap_ros_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_snapshot_;
  Footprint footprint_;
};

}  // namespace Collision

#endif  // QUORVANE_NAV2_GRIDMAP__COLLISION__COLLISION_CHECK_HPP_
