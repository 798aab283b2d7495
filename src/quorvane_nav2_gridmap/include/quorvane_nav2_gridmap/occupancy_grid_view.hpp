#ifndef QUORVANE_NAV2_GRIDMAP__OCCUPANCY_GRID_VIEW_HPP_
#define QUORVANE_NAV2_GRIDMAP__OCCUPANCY_GRID_VIEW_HPP_

// The debug views of the distance map and of the obstacle-type grid share one frame: an
// unrotated OccupancyGrid with the costmap's geometry, one value per cell in row-major order.

#include <memory>
#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"

namespace quorvane_nav2_gridmap
{

// A grid of width x height zero values placed at the origin; the caller fills the values.
std::unique_ptr<nav_msgs::msg::OccupancyGrid> makeOccupancyGridView(
  std::string frame_id, const builtin_interfaces::msg::Time & stamp, double resolution,
  unsigned int width, unsigned int height, double origin_x, double origin_y);

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__OCCUPANCY_GRID_VIEW_HPP_
