#include "quorvane_nav2_gridmap/collision/collision_check.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "nav2_costmap_2d/footprint.hpp"
#include "nav_2d_utils/conversions.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace Collision
{
namespace
{

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kLethalCost = 254.0;
constexpr int kPoseScoreErrorCode = 101100018;
constexpr std::size_t kFewestFootprintPoints = 3;

// A copy of a costmap that takes later states of a costmap of the same size into its own
// storage: a controller checks many times a second, and a fresh costmap per check would allocate
// and fault in the whole grid each time.
class CostmapSnapshot : public nav2_costmap_2d::Costmap2D
{
public:
  explicit CostmapSnapshot(const nav2_costmap_2d::Costmap2D & master)
  : Costmap2D(master) {}

  bool fits(const nav2_costmap_2d::Costmap2D & master) const
  {
    return master.getSizeInCellsX() == size_x_ && master.getSizeInCellsY() == size_y_;
  }

  // Only for a costmap that fits.
  void copyFrom(const nav2_costmap_2d::Costmap2D & master)
  {
    resolution_ = master.getResolution();
    origin_x_ = master.getOriginX();
    origin_y_ = master.getOriginY();
    std::memcpy(costmap_, master.getCharMap(), static_cast<size_t>(size_x_) * size_y_);
  }
};

}  // namespace

CollisionCheck::CollisionCheck(std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> node)
: gridmap_ros_(std::move(node))
{
}

geometry_msgs::msg::Pose2D CollisionCheck::computeNewPosition(
  geometry_msgs::msg::Pose2D pose, const geometry_msgs::msg::Twist & twist, double dt)
{
  const double theta = pose.theta;
  const double vx = twist.linear.x;
  const double vy = twist.linear.y;
  pose.x += (vx * std::cos(theta) + vy * std::cos(theta + kHalfPi)) * dt;
  pose.y += (vx * std::sin(theta) + vy * std::sin(theta + kHalfPi)) * dt;
  pose.theta = theta + twist.angular.z * dt;
  return pose;
}

CollisionCheck::Footprint CollisionCheck::getFootprint(
  const geometry_msgs::msg::Pose2D & pose, bool update)
{
  if (update) {
    footprint_ = robotFootprint();
  }
  Footprint placed;
  nav2_costmap_2d::transformFootprint(pose.x, pose.y, pose.theta, footprint_, placed);
  return placed;
}

CollisionCheck::Footprint CollisionCheck::getFootprint(
  const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint)
{
  if (update) {
    footprint_ = footprint.empty() ? robotFootprint() : footprint;
  }
  Footprint placed;
  nav2_costmap_2d::transformFootprint(pose.x, pose.y, pose.theta, footprint_, placed);
  return placed;
}

double CollisionCheck::scorePose(const geometry_msgs::msg::Pose2D & pose, bool update)
{
  if (update) {
    try {
      takeSnapshot();
    } catch (const std::runtime_error & error) {
      QLOG_ERROR("e.what: {}", error.what());
      // A fresh exception owns its text, whatever becomes of the caught one.
      throw std::runtime_error(error.what());
    }
  }
  requireSnapshot();
  if (!poseIsOnSnapshot(pose)) {
    QLOG_ERROR(
      "Pose Goes Off Grid when collision_checker_.worldToMap, pose({}, {})", pose.x, pose.y);
    throw std::runtime_error("Pose Goes Off Grid.");
  }
  return scoreFootprint(getFootprint(pose, update));
}

double CollisionCheck::scorePose(
  const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint)
{
  if (update) {
    try {
      takeSnapshot();
    } catch (const std::runtime_error & error) {
      QLOG_ERROR("e.what: {}", error.what());
      // A fresh exception owns its text, whatever becomes of the caught one.
      throw std::runtime_error(error.what());
    }
  }
  requireSnapshot();
  if (!poseIsOnSnapshot(pose)) {
    throw std::runtime_error("Pose Goes Off Grid.");
  }
  return scoreFootprint(getFootprint(pose, update, footprint));
}

bool CollisionCheck::isCollisionFreePose(const geometry_msgs::msg::Pose2D & pose, bool update)
{
  try {
    return scorePose(pose, update) < kLethalCost;
  } catch (...) {
    QLOG_ERROR("Failed to check pose score, error code is {}", kPoseScoreErrorCode);
    return false;
  }
}

bool CollisionCheck::isCollisionFreePose(
  const geometry_msgs::msg::Pose2D & pose, bool update, const Footprint & footprint)
{
  try {
    return scorePose(pose, update, footprint) < kLethalCost;
  } catch (...) {
    QLOG_ERROR("Failed to check pose score, error code is {}", kPoseScoreErrorCode);
    return false;
  }
}

bool CollisionCheck::isCollisionFreeDt(
  geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & twist, double dt)
{
  const auto moved = computeNewPosition(nav_2d_utils::poseToPose2D(pose), twist, dt);
  return isCollisionFreePose(moved, true);
}

bool CollisionCheck::isCollisionFreeDt(
  geometry_msgs::msg::Pose pose, const geometry_msgs::msg::Twist & twist, double dt,
  const Footprint & footprint)
{
  const auto moved = computeNewPosition(nav_2d_utils::poseToPose2D(pose), twist, dt);
  return isCollisionFreePose(moved, true, footprint);
}

void CollisionCheck::takeSnapshot()
{
  if (!gridmap_ros_ || !gridmap_ros_->costmap_ros_) {
    throw std::runtime_error("collision check has no grid-map node with a costmap node");
  }
  auto * layered_costmap = gridmap_ros_->costmap_ros_->getLayeredCostmap();
  nav2_costmap_2d::Costmap2D * master = layered_costmap ? layered_costmap->getCostmap() : nullptr;
  if (master == nullptr) {
    throw std::runtime_error("the costmap node has no master costmap yet");
  }
  auto * mutex = master->getMutex();
  if (mutex == nullptr) {
    throw std::system_error(
      std::make_error_code(std::errc::operation_not_permitted), "the costmap has no mutex");
  }
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*mutex);
  // Only this function creates the snapshot, always as a CostmapSnapshot.
  auto * snapshot = static_cast<CostmapSnapshot *>(costmap_snapshot_.get());
  if (snapshot != nullptr && snapshot->fits(*master)) {
    snapshot->copyFrom(*master);
  } else {
    costmap_snapshot_ = std::make_shared<CostmapSnapshot>(*master);
  }
  lock.unlock();
  collision_checker_.setCostmap(costmap_snapshot_);
}

void CollisionCheck::requireSnapshot() const
{
  if (!costmap_snapshot_) {
    throw std::runtime_error(
            "no costmap snapshot to score against: call with update true first");
  }
}

bool CollisionCheck::poseIsOnSnapshot(const geometry_msgs::msg::Pose2D & pose)
{
  // The costmap's own conversion casts the cell index to unsigned without a range check, so a
  // NaN or a far-away pose would land on some real cell: the range is settled here first.
  if (!std::isfinite(pose.x) || !std::isfinite(pose.y) || !std::isfinite(pose.theta)) {
    return false;
  }
  const double column = (pose.x - costmap_snapshot_->getOriginX()) /
    costmap_snapshot_->getResolution();
  const double row = (pose.y - costmap_snapshot_->getOriginY()) /
    costmap_snapshot_->getResolution();
  if (!(column >= 0.0 && column < costmap_snapshot_->getSizeInCellsX() &&
    row >= 0.0 && row < costmap_snapshot_->getSizeInCellsY()))
  {
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  return collision_checker_.worldToMap(pose.x, pose.y, mx, my);
}

double CollisionCheck::scoreFootprint(const Footprint & placed_footprint)
{
  // Fewer than three points enclose no area: the cost of a point or a segment says nothing
  // about where the robot's body is.
  if (placed_footprint.size() < kFewestFootprintPoints) {
    QLOG_ERROR(
      "Footprint of {} points can not be scored, a robot outline needs at least {}",
      placed_footprint.size(), kFewestFootprintPoints);
    throw std::runtime_error("the robot footprint has fewer than three points");
  }
  return collision_checker_.footprintCost(placed_footprint);
}

CollisionCheck::Footprint CollisionCheck::robotFootprint() const
{
  if (!gridmap_ros_ || !gridmap_ros_->costmap_ros_) {
    throw std::runtime_error("collision check has no grid-map node with a costmap node");
  }
  return gridmap_ros_->costmap_ros_->getRobotFootprint();
}

}  // namespace Collision
