#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__OCCUPANCY_GRID_FROM_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__OCCUPANCY_GRID_FROM_MAP_HPP_

// Turns a map server meta file and its image into the OccupancyGrid a map server would publish,
// so the host can feed the costmap node's static map layer.

#include <filesystem>
#include <string>

#include "nav_msgs/msg/occupancy_grid.hpp"

namespace quorvane_nav2_gridmap_demo
{

// Trinary interpretation as map_server does it: darker than occupied_thresh is 100, lighter than
// free_thresh is 0, the rest -1. Throws on unreadable files.
nav_msgs::msg::OccupancyGrid occupancyGridFromMap(
  const std::filesystem::path & meta_file, const std::string & frame_id);

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__OCCUPANCY_GRID_FROM_MAP_HPP_
