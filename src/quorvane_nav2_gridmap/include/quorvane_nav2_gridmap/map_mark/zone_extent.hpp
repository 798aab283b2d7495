#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_EXTENT_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_EXTENT_HPP_

// The bounding box of a zone's elements and the grid that covers it, so that a zone grid spans
// only its own zone and never the whole map.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "quorvane_nav2_gridmap/map_mark/gridmap.hpp"
#include "quorvane_nav2_gridmap/map_mark/point.hpp"

namespace plane_object
{

struct ZoneExtent
{
  // A hand-edited zone file can hold any number; beyond this many cells (256 MiB of bools, a
  // square of about 800 m at 5 cm) a zone is taken as corrupt rather than allocated and drawn.
  static constexpr double kMaxCells = 268435456.0;

  double min_x{0.0};
  double min_y{0.0};
  double max_x{0.0};
  double max_y{0.0};
  // False when an element holds an infinite or NaN coordinate: such a zone has no grid.
  bool finite{true};

  // The box of the discs; discs of negative or NaN radius draw nothing and are left out.
  static std::optional<ZoneExtent> ofDiscs(const std::vector<Point> & discs)
  {
    std::optional<ZoneExtent> extent;
    for (const Point & disc : discs) {
      if (disc.r >= 0.0) {
        extent = widened(
          extent, disc.x - disc.r, disc.y - disc.r, disc.x + disc.r, disc.y + disc.r);
      }
    }
    return extent;
  }

  static std::optional<ZoneExtent> ofVertices(const std::vector<Point> & vertices)
  {
    std::optional<ZoneExtent> extent;
    for (const Point & vertex : vertices) {
      extent = widened(extent, vertex.x, vertex.y, vertex.x, vertex.y);
    }
    return extent;
  }

  // A box without area: its grid would hold no polygon. A non-finite box is not flat but
  // beyond any grid, which makeGrid reports.
  bool isFlat() const
  {
    return finite && !(min_x < max_x && min_y < max_y);
  }

  // True when the two boxes share a point (their borders included).
  bool overlaps(const ZoneExtent & other) const
  {
    return min_x <= other.max_x && other.min_x <= max_x && min_y <= other.max_y &&
           other.min_y <= max_y;
  }

  // True when this box lies inside `other` (their borders may touch).
  bool within(const ZoneExtent & other) const
  {
    return min_x >= other.min_x && max_x <= other.max_x && min_y >= other.min_y &&
           max_y <= other.max_y;
  }

  // The size and place of a grid over the box.
  struct GridShape
  {
    std::uint32_t columns;
    std::uint32_t rows;
    double origin_x;
    double origin_y;

    std::size_t cells() const {return static_cast<std::size_t>(columns) * rows;}
  };

  // The grid over the box at `resolution`, with one cell of margin below and at least one above;
  // empty when the resolution or the box makes that grid meaningless or oversized. With `clip`,
  // only the cells of that grid that meet the clip box are kept: the cells keep their places on
  // the map, and the cost stays bounded by the clip box, however far the zone reaches beyond it.
  std::optional<GridShape> gridShape(
    double resolution, const std::optional<ZoneExtent> & clip = std::nullopt) const
  {
    if (!finite || !(resolution > 0.0) || !std::isfinite(resolution)) {
      return std::nullopt;
    }
    const double columns = std::trunc((max_x - min_x) / resolution) + 3.0;
    const double rows = std::trunc((max_y - min_y) / resolution) + 3.0;
    const double origin_x = min_x - resolution;
    const double origin_y = min_y - resolution;
    if (!std::isfinite(columns) || !std::isfinite(rows)) {
      return std::nullopt;
    }
    double first_column = 0.0;
    double last_column = columns - 1.0;
    double first_row = 0.0;
    double last_row = rows - 1.0;
    if (clip) {
      first_column = std::max(first_column, std::floor((clip->min_x - origin_x) / resolution));
      last_column = std::min(last_column, std::floor((clip->max_x - origin_x) / resolution));
      first_row = std::max(first_row, std::floor((clip->min_y - origin_y) / resolution));
      last_row = std::min(last_row, std::floor((clip->max_y - origin_y) / resolution));
      if (!(first_column <= last_column && first_row <= last_row)) {
        return GridShape{0, 0, 0.0, 0.0};
      }
    }
    const double kept_columns = last_column - first_column + 1.0;
    const double kept_rows = last_row - first_row + 1.0;
    if (kept_columns * kept_rows > kMaxCells) {
      return std::nullopt;
    }
    return GridShape{
      static_cast<std::uint32_t>(kept_columns), static_cast<std::uint32_t>(kept_rows),
      origin_x + first_column * resolution, origin_y + first_row * resolution};
  }

  // An all-false grid of gridShape(); null where that is empty.
  std::shared_ptr<semantic_map::Gridmap<bool>> makeGrid(
    double resolution, const std::optional<ZoneExtent> & clip = std::nullopt) const
  {
    const std::optional<GridShape> shape = gridShape(resolution, clip);
    if (!shape) {
      return nullptr;
    }
    return std::make_shared<semantic_map::Gridmap<bool>>(
      shape->columns, shape->rows, resolution, shape->origin_x, shape->origin_y);
  }

private:
  static ZoneExtent widened(
    const std::optional<ZoneExtent> & extent, double low_x, double low_y, double high_x,
    double high_y)
  {
    const bool finite = std::isfinite(low_x) && std::isfinite(low_y) && std::isfinite(high_x) &&
      std::isfinite(high_y);
    if (!extent) {
      return {low_x, low_y, high_x, high_y, finite};
    }
    return {
      std::min(extent->min_x, low_x), std::min(extent->min_y, low_y),
      std::max(extent->max_x, high_x), std::max(extent->max_y, high_y),
      extent->finite && finite};
  }
};

}  // namespace plane_object

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__ZONE_EXTENT_HPP_
