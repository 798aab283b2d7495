#include "nav2_costmap_2d/footprint_collision_checker.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "line_iterator.hpp"
#include "nav2_costmap_2d/cost_values.hpp"

namespace nav2_costmap_2d
{

template<typename CostmapT>
FootprintCollisionChecker<CostmapT>::FootprintCollisionChecker()
: costmap_(nullptr)
{
}

template<typename CostmapT>
FootprintCollisionChecker<CostmapT>::FootprintCollisionChecker(CostmapT costmap)
: costmap_(costmap)
{
}

template<typename CostmapT>
double FootprintCollisionChecker<CostmapT>::footprintCost(const Footprint footprint)
{
  if (footprint.empty()) {
    // Reading footprint[0] would be undefined; fail loudly instead.
    throw std::invalid_argument("FootprintCollisionChecker::footprintCost: empty footprint");
  }
  unsigned int x0, x1, y0, y1;
  double footprint_cost = 0.0;

  if (!worldToMap(footprint[0].x, footprint[0].y, x0, y0)) {
    return static_cast<double>(LETHAL_OBSTACLE);
  }
  const unsigned int xstart = x0;
  const unsigned int ystart = y0;

  for (size_t i = 0; i < footprint.size() - 1; ++i) {
    if (!worldToMap(footprint[i + 1].x, footprint[i + 1].y, x1, y1)) {
      return static_cast<double>(LETHAL_OBSTACLE);
    }
    footprint_cost = std::max(lineCost(x0, x1, y0, y1), footprint_cost);
    x0 = x1;
    y0 = y1;
    if (footprint_cost == static_cast<double>(LETHAL_OBSTACLE)) {
      return footprint_cost;
    }
  }

  // The closing edge, last vertex back to the first.
  return std::max(lineCost(xstart, x0, ystart, y0), footprint_cost);
}

template<typename CostmapT>
double FootprintCollisionChecker<CostmapT>::lineCost(int x0, int x1, int y0, int y1) const
{
  double line_cost = 0.0;
  for (detail::LineIterator line(x0, y0, x1, y1); line.isValid(); line.advance()) {
    const double point_cost = pointCost(line.getX(), line.getY());
    if (point_cost == static_cast<double>(LETHAL_OBSTACLE)) {
      return point_cost;
    }
    line_cost = std::max(line_cost, point_cost);
  }
  return line_cost;
}

template<typename CostmapT>
bool FootprintCollisionChecker<CostmapT>::worldToMap(
  double wx, double wy, unsigned int & mx, unsigned int & my)
{
  return costmap_->worldToMap(wx, wy, mx, my);
}

template<typename CostmapT>
double FootprintCollisionChecker<CostmapT>::pointCost(int x, int y) const
{
  return costmap_->getCost(x, y);
}

template<typename CostmapT>
void FootprintCollisionChecker<CostmapT>::setCostmap(CostmapT costmap)
{
  costmap_ = costmap;
}

template<typename CostmapT>
double FootprintCollisionChecker<CostmapT>::footprintCostAtPose(
  double x, double y, double theta, const Footprint footprint)
{
  const double cos_th = std::cos(theta);
  const double sin_th = std::sin(theta);
  Footprint oriented_footprint;
  oriented_footprint.reserve(footprint.size());
  for (const auto & p : footprint) {
    geometry_msgs::msg::Point new_pt;
    new_pt.x = x + (p.x * cos_th - p.y * sin_th);
    new_pt.y = y + (p.x * sin_th + p.y * cos_th);
    oriented_footprint.push_back(new_pt);
  }
  return footprintCost(oriented_footprint);
}

template class FootprintCollisionChecker<std::shared_ptr<nav2_costmap_2d::Costmap2D>>;
template class FootprintCollisionChecker<nav2_costmap_2d::Costmap2D *>;

}  // namespace nav2_costmap_2d
