#ifndef QUORVANE_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_
#define QUORVANE_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_

// Converts cell indices between the master costmaps of two grid-map nodes: a cell of one map to
// the cell of the other whose square holds the first cell's lower-left corner.

#include <cstdint>
#include <memory>

#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

namespace quorvane_nav2_gridmap
{

class GridmapLocationCoverter
{
public:
  // Both nodes must be configured already.
  GridmapLocationCoverter(std::shared_ptr<GridMapROS> first, std::shared_ptr<GridMapROS> second);

  // Takes a new snapshot of both costmaps' geometry; call it whenever either has moved, changed
  // resolution or been resized.
  void updateOrigin();

  // True when the converted cell exists in the target map. The outputs are written either way.
  bool firstToSecondMap(unsigned int mx, unsigned int my, unsigned int & out_x, unsigned int & out_y);
  bool secondToFirstMap(unsigned int mx, unsigned int my, unsigned int & out_x, unsigned int & out_y);

private:
  static bool convert(
    double scale, double offset_x, double offset_y, std::int32_t target_size_x,
    std::int32_t target_size_y, unsigned int mx, unsigned int my, unsigned int & out_x,
    unsigned int & out_y);

  std::shared_ptr<GridMapROS> first_gridmap_;
  std::shared_ptr<GridMapROS> second_gridmap_;
  std::int32_t first_size_y_{0};
  std::int32_t first_size_x_{0};
  std::int32_t second_size_y_{0};
  std::int32_t second_size_x_{0};
  // Scales and offsets in cells of the target map.
  double first_to_second_scale_{1.0};
  double first_to_second_offset_x_{0.0};
  double first_to_second_offset_y_{0.0};
  double second_to_first_scale_{1.0};
  double second_to_first_offset_x_{0.0};
  double second_to_first_offset_y_{0.0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__GRIDMAP_LOCATION_COVERTER_HPP_
