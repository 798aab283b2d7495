#ifndef QUORVANE_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_

// The host's one entry point to the loaded grid maps: updates them in order and routes every
// per-cell question to the plugin of its kind.

#include <memory>
#include <string_view>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"

#include "quorvane_nav2_gridmap/grid_map.hpp"
#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

namespace quorvane_nav2_gridmap
{

class MultiGridMap
{
public:
  explicit MultiGridMap(nav2_costmap_2d::Costmap2D * costmap);

  // Holds the plugin by its type (2 distance, 3 obstacle type) and keeps the update order; any
  // other type throws std::runtime_error "Not support type <type>" and changes nothing.
  void addGridMap(std::shared_ptr<GridMap> map);
  // Updates every plugin, distance maps first; a plugin's exception ends the round.
  void updateMap();
  // Tells every plugin; true when all of them accept the change.
  bool callbackOnMapChange(std::string_view map_url);

  // Per-cell queries. Each needs the plugin of its kind: without one they throw
  // std::runtime_error naming the missing map type.
  unsigned int getCost(unsigned int mx, unsigned int my, bool enable);
  // In metres.
  double getDistance(unsigned int mx, unsigned int my);
  bool inRisk(unsigned int mx, unsigned int my, int r);
  bool inDanger(unsigned int mx, unsigned int my, int r);
  std::shared_ptr<nav2_costmap_2d::Costmap2D> distanceToBiCostmap(bool danger);
  bool hasPriorityPassage();
  float getPriorityPassageBoundaryDist(unsigned int mx, unsigned int my);
  bool inNarrowPassage(unsigned int mx, unsigned int my, int r);
  bool inPriorityPassage(unsigned int mx, unsigned int my, int r);
  // The cell's category bits, plus OBS_TYPE_PERIL where the distance map reports peril.
  bool getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap & bits) const;
  // Whether the cell's stored category bits include any of `mask` (peril is not added here).
  bool isObstacleType(unsigned int mx, unsigned int my, unsigned int mask) const;

  // Every added plugin in update order.
  const std::vector<std::shared_ptr<GridMap>> & getGridMaps() const {return gridmaps_;}

  // The master costmap (not owned); its resolution turns distances into metres.
  nav2_costmap_2d::Costmap2D * costmap_;

private:
  GridMap & distanceMap() const;
  GridMap & obstacleTypeMap() const;
  // Whether the obstacle-type plugin has been updated, asked when it did not answer a cell.
  static bool isPrepared(const GridMap & obstacles);

  std::vector<std::shared_ptr<GridMap>> gridmaps_;
  std::shared_ptr<GridMap> distance_map_;
  std::shared_ptr<GridMap> obstacle_type_map_;
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__MULTI_GRID_MAP_HPP_
