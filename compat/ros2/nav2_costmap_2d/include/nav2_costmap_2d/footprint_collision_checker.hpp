#ifndef NAV2_COSTMAP_2D__FOOTPRINT_COLLISION_CHECKER_HPP_
#define NAV2_COSTMAP_2D__FOOTPRINT_COLLISION_CHECKER_HPP_

// Scores a footprint against a costmap: the highest cost along its outline, stopping at the
// first lethal cell. Instantiated for std::shared_ptr<Costmap2D> and Costmap2D *.

#include <memory>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace nav2_costmap_2d
{

typedef std::vector<geometry_msgs::msg::Point> Footprint;

template<typename CostmapT>
class FootprintCollisionChecker
{
public:
  FootprintCollisionChecker();
  explicit FootprintCollisionChecker(CostmapT costmap);

  // Highest cell cost along the closed outline (interior cells are not visited); 254 as soon
  // as a lethal cell or an off-map vertex is met. Throws std::invalid_argument for an empty
  // footprint.
  double footprintCost(const Footprint footprint);

  // footprintCost of the footprint rotated by theta and moved to (x, y).
  double footprintCostAtPose(double x, double y, double theta, const Footprint footprint);

  // Note the argument order: both x coordinates first, then both y coordinates.
  double lineCost(int x0, int x1, int y0, int y1) const;

  bool worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my);

  // The cell's cost, unchecked: the cell must lie on the map.
  double pointCost(int x, int y) const;

  void setCostmap(CostmapT costmap);
  CostmapT getCostmap() {return costmap_;}

protected:
  CostmapT costmap_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__FOOTPRINT_COLLISION_CHECKER_HPP_
