#include "quorvane_nav2_gridmap/occupancy_grid_view.hpp"

#include <cstddef>
#include <utility>

namespace quorvane_nav2_gridmap
{

std::unique_ptr<nav_msgs::msg::OccupancyGrid> makeOccupancyGridView(
  std::string frame_id, const builtin_interfaces::msg::Time & stamp, double resolution,
  unsigned int width, unsigned int height, double origin_x, double origin_y)
{
  auto grid = std::make_unique<nav_msgs::msg::OccupancyGrid>();
  grid->header.frame_id = std::move(frame_id);
  grid->header.stamp = stamp;
  grid->info.resolution = static_cast<float>(resolution);
  grid->info.width = width;
  grid->info.height = height;
  grid->info.origin.position.x = origin_x;
  grid->info.origin.position.y = origin_y;
  grid->info.origin.position.z = 0.0;
  grid->info.origin.orientation.w = 1.0;
  grid->data.resize(static_cast<std::size_t>(width) * height);
  return grid;
}

}  // namespace quorvane_nav2_gridmap
