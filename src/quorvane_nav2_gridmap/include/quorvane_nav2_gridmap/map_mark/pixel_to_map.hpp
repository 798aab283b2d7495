#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__PIXEL_TO_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__PIXEL_TO_MAP_HPP_

// Zones are drawn in image pixels, rows counted down from the image's top edge; the map's y
// axis points up from the image's bottom edge, which lies at the meta file's origin.

#include <cstdint>

#include "quorvane_nav2_gridmap/map_mark/map_meta.hpp"
#include "quorvane_nav2_gridmap/map_mark/point.hpp"

namespace plane_object
{

struct PixelToMap
{
  MapMeta meta;
  std::uint32_t image_height{0};

  // No half-pixel offset: pixel (0, image_height) is the origin itself.
  Point toMap(double column, double row, double radius_pixels = 0.0) const
  {
    return {
      column * meta.resolution + meta.origin_x,
      meta.origin_y + meta.resolution * (image_height - row),
      radius_pixels * meta.resolution};
  }
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__PIXEL_TO_MAP_HPP_
