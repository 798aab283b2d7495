#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__POINT_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__POINT_HPP_

// One element of a zone in map metres: a disc centre with its radius in a circle list, a
// polygon vertex (r = 0) in a block.

namespace plane_object
{

struct Point
{
  double x{0.0};
  double y{0.0};
  double r{0.0};
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__POINT_HPP_
