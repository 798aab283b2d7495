#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_HPP_

// One stored camera message: its sub-clouds already moved into the global frame, with the
// message stamp that decides how long the observation is kept.

#include <string>
#include <vector>

#include <builtin_interfaces/msg/time.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud.hpp"

namespace costmap_depth_camera
{

class Observation
{
public:
  Observation() = default;
  Observation(const Observation &) = default;
  Observation(Observation &&) = default;
  Observation & operator=(const Observation &) = default;
  Observation & operator=(Observation &&) = default;
  virtual ~Observation() = default;

  // The message header's stamp, unchanged.
  builtin_interfaces::msg::Time stamp;
  // Frame the points are expressed in.
  std::string frame;
  // One cloud per semantic sub-cloud of the message, in message order.
  std::vector<PointCloud> clouds;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_HPP_
