#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_LOCATION_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_LOCATION_HPP_

// A costmap cell, the unit of the polygon rasterisation.

namespace costmap_depth_camera
{

struct MapLocation
{
  unsigned int x;
  unsigned int y;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_LOCATION_HPP_
