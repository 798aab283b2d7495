#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_OPTIONS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_OPTIONS_HPP_

// Options of one depth-camera source: its topics, how long and which points it keeps, and the
// view and bin sizes of its frustum detector.

#include <cstdint>
#include <string>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector_strategy.hpp"

namespace costmap_depth_camera
{

struct ObservationBufferOptions
{
  std::string source_name;        // plugin name, a dot and the source name
  std::string topic;              // SemanticPointCloud stream
  std::string camera_info_topic;  // read once to build the detector
  std::int32_t expected_hz{0};    // Hz; 0 turns the rate check off
  double observation_persistence{0.0};  // s; 0 keeps only the newest observation
  double expected_update_rate{0.0};     // s
  double min_obstacle_height{-0.5};     // m, cloud frame
  double max_obstacle_height{2.0};      // m, cloud frame
  double min_detect_distance{0.0};      // m, near view distance of the detector
  double max_detect_distance{8.0};      // m, far view distance of the detector
  double frustum_theta_resolution{0.0881};        // rad, azimuth bin width
  double frustum_obstruct_theta_tolerance{0.0};   // added to an elevation tangent when occluding
  double frustum_r_resolution{0.05};              // m, range bin width
  FrustumDetectorStrategy frustum_strategy;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_OPTIONS_HPP_
