#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_STRATEGY_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_STRATEGY_HPP_

// The answers a frustum detector gives for the cases its depth grid cannot decide. The update
// clears a remembered point whose answer is 1 or 3, so 3 clears and 4 keeps.

#include <cstdint>

namespace costmap_depth_camera
{

struct FrustumDetectorStrategy
{
  std::int32_t no_reference_point{3};
  std::int32_t out_of_theta{4};
  std::int32_t near_range_without_point{3};
  std::int32_t near_range_with_point{3};
  std::int32_t far_range_without_point{4};
  std::int32_t far_range_with_point{4};
  std::int32_t inside_without_point{3};
  std::int32_t inside_with_point{3};
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_STRATEGY_HPP_
