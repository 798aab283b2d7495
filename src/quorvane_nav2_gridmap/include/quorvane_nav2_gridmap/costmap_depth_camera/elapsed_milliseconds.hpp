#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__ELAPSED_MILLISECONDS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__ELAPSED_MILLISECONDS_HPP_

// The camera pipeline's timing lines all report system-clock spans the same way: whole
// nanoseconds divided down to fractional milliseconds.

#include <chrono>

namespace costmap_depth_camera
{

inline double millisecondsBetween(
  std::chrono::system_clock::time_point from, std::chrono::system_clock::time_point to)
{
  return static_cast<double>(
    std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count()) / 1000000.0;
}

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__ELAPSED_MILLISECONDS_HPP_
