#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <utility>

#include "quorvane_nav2_gridmap/compare_gridmap.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace quorvane_nav2_gridmap
{

MultiGridMap::MultiGridMap(nav2_costmap_2d::Costmap2D * costmap)
: costmap_(costmap)
{
}

void MultiGridMap::addGridMap(std::shared_ptr<GridMap> map)
{
  switch (map->getType()) {
    case GRIDMAP_TYPE_DISTANCE:
      distance_map_ = map;
      break;
    case GRIDMAP_TYPE_OBSTACLE:
      obstacle_type_map_ = map;
      break;
    default:
      throw std::runtime_error("Not support type " + std::to_string(map->getType()));
  }
  gridmaps_.push_back(std::move(map));
  std::stable_sort(gridmaps_.begin(), gridmaps_.end(), CompareGridmap::compareObjects);
}

void MultiGridMap::updateMap()
{
  for (const auto & map : gridmaps_) {
    const auto start = std::chrono::steady_clock::now();
    map->updateMap();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double elapsed_ms =
      static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) /
      1e6;
    QLOG_DEBUG("updateMap for {} Time elapsed: {} ms", map->getName(), elapsed_ms);
  }
}

bool MultiGridMap::callbackOnMapChange(std::string_view map_url)
{
  bool accepted = true;
  for (const auto & map : gridmaps_) {
    accepted = map->callbackOnMapChange(map_url) && accepted;
  }
  return accepted;
}

unsigned int MultiGridMap::getCost(unsigned int mx, unsigned int my, bool enable)
{
  return distanceMap().getCost(mx, my, enable);
}

double MultiGridMap::getDistance(unsigned int mx, unsigned int my)
{
  return distanceMap().getDistance(mx, my) * costmap_->getResolution();
}

bool MultiGridMap::inRisk(unsigned int mx, unsigned int my, int r)
{
  return distanceMap().inRisk(mx, my, r);
}

bool MultiGridMap::inDanger(unsigned int mx, unsigned int my, int r)
{
  return distanceMap().inDanger(mx, my, r);
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> MultiGridMap::distanceToBiCostmap(bool danger)
{
  return distanceMap().distanceToBiCostmap(danger);
}

bool MultiGridMap::hasPriorityPassage()
{
  return obstacleTypeMap().hasPriorityPassage();
}

float MultiGridMap::getPriorityPassageBoundaryDist(unsigned int mx, unsigned int my)
{
  return obstacleTypeMap().getPriorityPassageBoundaryDist(mx, my);
}

bool MultiGridMap::inNarrowPassage(unsigned int mx, unsigned int my, int r)
{
  return obstacleTypeMap().inNarrowPassage(mx, my, r);
}

bool MultiGridMap::inPriorityPassage(unsigned int mx, unsigned int my, int r)
{
  return obstacleTypeMap().inPriorityPassage(mx, my, r);
}

bool MultiGridMap::getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap & bits) const
{
  const GridMap & obstacles = obstacleTypeMap();
  if (!obstacles.getObstacleType(mx, my, bits) && !isPrepared(obstacles)) {
    QLOG_WARN("obstacle_type_gridmap may not have been prepared");
  }
  if (distanceMap().inPeril(mx, my, 0)) {
    bits.or_with(OBS_TYPE_PERIL);
  }
  return true;
}

bool MultiGridMap::isObstacleType(unsigned int mx, unsigned int my, unsigned int mask) const
{
  const GridMap & obstacles = obstacleTypeMap();
  ObsTypeBitMap bits;
  if (!obstacles.getObstacleType(mx, my, bits) && !isPrepared(obstacles)) {
    QLOG_WARN("obstacle_type_gridmap may not have been prepared");
  }
  return bits.any(mask);
}

bool MultiGridMap::isPrepared(const GridMap & obstacles)
{
  // The plugin answers false for a cell outside its grid as it does before its first update; a
  // planner checking footprints at the costmap's edge asks about such cells all the time. The
  // grid's first cell tells the two apart.
  ObsTypeBitMap first_cell;
  return obstacles.getObstacleType(0, 0, first_cell);
}

GridMap & MultiGridMap::distanceMap() const
{
  if (!distance_map_) {
    throw std::runtime_error("MultiGridMap holds no distance map (map type 2)");
  }
  return *distance_map_;
}

GridMap & MultiGridMap::obstacleTypeMap() const
{
  if (!obstacle_type_map_) {
    throw std::runtime_error("MultiGridMap holds no obstacle-type map (map type 3)");
  }
  return *obstacle_type_map_;
}

}  // namespace quorvane_nav2_gridmap
