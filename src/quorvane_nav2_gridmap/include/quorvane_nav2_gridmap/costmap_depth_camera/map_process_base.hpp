#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_PROCESS_BASE_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_PROCESS_BASE_HPP_

// The costmap grid geometry handed to the camera pipeline when it is built.

namespace costmap_depth_camera
{

class MapProcessBase
{
public:
  MapProcessBase(
    unsigned int size_x, unsigned int size_y, double resolution, double origin_x, double origin_y)
  : size_x(size_x), size_y(size_y), resolution(resolution), origin_x(origin_x), origin_y(origin_y)
  {}
  virtual ~MapProcessBase() = default;

  unsigned int size_x;  // cells
  unsigned int size_y;  // cells
  double resolution;    // metres per cell
  double origin_x;      // world x of the grid origin
  double origin_y;      // world y of the grid origin
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__MAP_PROCESS_BASE_HPP_
