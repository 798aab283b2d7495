#ifndef QUORVANE_NAV2_GRIDMAP__ZONE_WINDOW_HPP_
#define QUORVANE_NAV2_GRIDMAP__ZONE_WINDOW_HPP_

// The zones under the costmap's window: a byte of coverage bits per window cell and the zone
// cells inside the window, each counted. It follows the window over a ZoneLayer, touching only
// the cells a moving window newly covers, so that an update costs nothing per zone.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "quorvane_nav2_gridmap/zone_layer.hpp"

namespace quorvane_nav2_gridmap
{

class ZoneWindow
{
public:
  // Moves the window of `width` x `height` cells to start at lattice cell (x, y) of `layer`;
  // true when that changed what it covers.
  bool follow(
    const ZoneLayer & layer, std::uint32_t width, std::uint32_t height, std::int64_t x,
    std::int64_t y);
  // Forgets what it covers, as after the layer it followed was replaced.
  void reset();

  // The coverage bits of window cell (mx, my); none outside the window or before it follows one.
  std::uint8_t at(unsigned int mx, unsigned int my) const
  {
    if (cells_.empty() || mx >= width_ || my >= height_) {
      return 0;
    }
    std::int64_t column = ring_x_ + mx;
    std::int64_t row = ring_y_ + my;
    column -= column >= width_ ? width_ : 0;
    row -= row >= height_ ? height_ : 0;
    return cells_[static_cast<std::size_t>(row * width_ + column)];
  }
  std::uint64_t narrowCorridorCells() const {return counts_[ZoneLayer::kNarrowCorridor];}
  std::uint64_t priorityPassageCells() const {return counts_[ZoneLayer::kPriorityPassage];}

private:
  ZoneLayer::Rect rect() const {return {x_, y_, width_, height_};}
  void moveTo(std::int64_t x, std::int64_t y);
  // Copies a part of the window from the layer to its place on the ring.
  void copy(const ZoneLayer & layer, const ZoneLayer::Rect & part);
  void shift(const ZoneLayer & layer, const ZoneLayer::Rect & to);

  bool placed_{false};
  std::int64_t x_{0};
  std::int64_t y_{0};
  std::int64_t width_{0};
  std::int64_t height_{0};
  // Lattice cell (x, y) is kept at (x mod width, y mod height), so that a window that moves
  // moves nothing it keeps: (ring_x_, ring_y_) is where its first cell is.
  std::int64_t ring_x_{0};
  std::int64_t ring_y_{0};
  std::vector<std::uint8_t> cells_;
  ZoneLayer::Counts counts_{0, 0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__ZONE_WINDOW_HPP_
