#include "quorvane_nav2_gridmap/costmap_depth_camera/polygon_raster.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace costmap_depth_camera
{

PolygonRaster::PolygonRaster(unsigned int row_width)
: row_width_(row_width)
{
}

void PolygonRaster::outlineCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells) const
{
  // A grid without columns has no cell to name.
  if (polygon.empty() || row_width_ == 0) {
    return;
  }
  for (std::size_t i = 0; i + 1 < polygon.size(); ++i) {
    lineCells(polygon[i], polygon[i + 1], cells);
  }
  lineCells(polygon.back(), polygon.front(), cells);
}

void PolygonRaster::convexFillCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells) const
{
  if (polygon.size() < 3 || row_width_ == 0) {
    return;
  }
  outlineCells(polygon, cells);

  // A gnome sort by x: stable, so the cells of one column keep their outline order.
  std::size_t i = 0;
  while (i + 1 < cells.size()) {
    if (cells[i].x > cells[i + 1].x) {
      std::swap(cells[i], cells[i + 1]);
      if (i != 0) {
        --i;
      }
    } else {
      ++i;
    }
  }

  const unsigned int min_x = cells.front().x;
  const unsigned int max_x = cells.back().x;
  i = 0;
  for (std::uint64_t x = min_x; x <= max_x; ++x) {
    if (i + 1 >= cells.size()) {
      break;
    }
    unsigned int low = std::min(cells[i].y, cells[i + 1].y);
    unsigned int high = std::max(cells[i].y, cells[i + 1].y);
    i += 2;
    while (i < cells.size() && cells[i].x == x) {
      if (cells[i].y < low) {
        low = cells[i].y;
      } else {
        high = std::max(high, cells[i].y);
      }
      ++i;
    }
    for (std::uint64_t y = low; y <= high; ++y) {
      cells.push_back(MapLocation{static_cast<unsigned int>(x), static_cast<unsigned int>(y)});
    }
  }
}

void PolygonRaster::lineCells(
  MapLocation from, MapLocation to, std::vector<MapLocation> & cells) const
{
  const std::int32_t dx = static_cast<std::int32_t>(to.x - from.x);
  const std::int32_t dy = static_cast<std::int32_t>(to.y - from.y);
  const std::int32_t abs_dx = std::abs(dx);
  const std::int32_t abs_dy = std::abs(dy);
  // Offsets wrap like the unsigned cell index they stand for; a step of -1 is its two's complement.
  std::uint32_t offset = from.y * row_width_ + from.x;
  const std::uint32_t step_x = dx > 0 ? 1u : static_cast<std::uint32_t>(-1);
  const std::uint32_t step_y = dy > 0 ? row_width_ : static_cast<std::uint32_t>(0u - row_width_);

  // Walk the major axis one cell at a time and step the minor axis when the error overflows.
  const bool x_major = abs_dx >= abs_dy;
  const std::int32_t major = x_major ? abs_dx : abs_dy;
  const std::int32_t minor = x_major ? abs_dy : abs_dx;
  const std::uint32_t major_step = x_major ? step_x : step_y;
  const std::uint32_t minor_step = x_major ? step_y : step_x;
  std::int32_t error = major / 2;
  for (std::int32_t n = 0; n < major; ++n) {
    cells.push_back(cellOf(offset));
    offset += major_step;
    error += minor;
    if (error >= major) {
      offset += minor_step;
      error -= major;
    }
  }
  cells.push_back(cellOf(offset));
}

MapLocation PolygonRaster::cellOf(unsigned int offset) const
{
  return MapLocation{offset % row_width_, offset / row_width_};
}

}  // namespace costmap_depth_camera
