#ifndef QUORVANE_NAV2_GRIDMAP__COMPARE_GRIDMAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__COMPARE_GRIDMAP_HPP_

// The update order of the plugins: the distance map before the obstacle-type map, whose update
// and queries build on the distances.

#include <memory>

#include "quorvane_nav2_gridmap/grid_map.hpp"

namespace quorvane_nav2_gridmap
{

class CompareGridmap
{
public:
  // True exactly when the types differ and `b` is the obstacle-type map.
  static bool compareObjects(const std::shared_ptr<GridMap> & a, const std::shared_ptr<GridMap> & b)
  {
    return a->getType() != b->getType() && b->getType() == GRIDMAP_TYPE_OBSTACLE;
  }
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__COMPARE_GRIDMAP_HPP_
