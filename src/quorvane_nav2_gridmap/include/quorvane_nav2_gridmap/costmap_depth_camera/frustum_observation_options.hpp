#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_OPTIONS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_OPTIONS_HPP_

// One observation source as read from the parameters: its buffer options plus how it is
// subscribed and whether its observations are marked into the grid.

#include <string>

#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer_options.hpp"

namespace costmap_depth_camera
{

struct FrustumObservationOptions
{
  ObservationBufferOptions buffer_options;
  std::string msg_type{"SemanticPointCloud"};  // the only accepted message type
  std::string sensor_frame;  // when set, a second frame the transform filter waits for
  bool marking{false};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_OPTIONS_HPP_
