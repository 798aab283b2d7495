#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_OPTIONS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_OPTIONS_HPP_

// Options of the whole depth-camera pipeline. The obstacle-type plugin sets every field from its
// parameters; the fields without a meaningful default start at zero so that an unfilled record is
// at least deterministic.

#include <cstdint>
#include <string>

namespace costmap_depth_camera
{

struct FrustumObservationRosOptions
{
  std::string name;                   // label of the timing log and the debug marker namespaces
  bool enable_frustum_trace{false};   // timing logs and debug publishers
  std::string global_frame;           // target frame of every transform
  double transform_tolerance{0.2};    // s, transform look-up time-out
  double decay_time{0.0};             // s, age at which remembered clouds are dropped
  double local_cache_distance{0.0};   // m, distance from the robot beyond which they are dropped
  bool occlusion_clearing{false};     // clear remembered clouds through the camera frusta
  double forced_clearing_distance{0.0};
  bool enable_near_blocked_protection{false};
  std::int32_t number_points_considered_as_blocked{0};
  std::int32_t clearing_min_point_cloud{0};
  double percentage_reduction_map_size{0.2};
  double dilation_size{0.0};          // m; dilation runs only above 0.0001
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_OPTIONS_HPP_
