#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POLYGON_RASTER_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POLYGON_RASTER_HPP_

// Turns a convex polygon of grid cells into the cells it covers: the Bresenham outline walked as
// offsets of a row-major grid, then one filled column per x.

#include <vector>

#include "quorvane_nav2_gridmap/costmap_depth_camera/map_location.hpp"

namespace costmap_depth_camera
{

class PolygonRaster
{
public:
  // `row_width` is the width in cells of the grid the cells belong to.
  explicit PolygonRaster(unsigned int row_width);

  // Appends the cells of every edge, the closing edge last, both ends of each edge included.
  void outlineCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells) const;
  // Appends the outline sorted by x, then every column filled from its lowest to its highest
  // outline cell; fewer than three vertices append nothing. Cells may repeat.
  void convexFillCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells) const;

private:
  void lineCells(MapLocation from, MapLocation to, std::vector<MapLocation> & cells) const;
  MapLocation cellOf(unsigned int offset) const;

  unsigned int row_width_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__POLYGON_RASTER_HPP_
