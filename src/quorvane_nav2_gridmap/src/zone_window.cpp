#include "quorvane_nav2_gridmap/zone_window.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace quorvane_nav2_gridmap
{

namespace
{

using Rect = ZoneLayer::Rect;

// The cells of `from` outside `to`, for two overlapping windows: the rows `to` does not share,
// then the columns `to` does not share within the shared rows.
struct Difference
{
  std::array<Rect, 4> parts;
  std::size_t size{0};

  Difference(const Rect & from, const Rect & to)
  {
    const std::int64_t top = std::max(from.y, to.y);
    const std::int64_t bottom = std::min(from.y + from.height, to.y + to.height);
    const std::int64_t left = std::max(from.x, to.x);
    const std::int64_t right = std::min(from.x + from.width, to.x + to.width);
    addIfAny({from.x, from.y, from.width, top - from.y});
    addIfAny({from.x, bottom, from.width, from.y + from.height - bottom});
    addIfAny({from.x, top, left - from.x, bottom - top});
    addIfAny({right, top, from.x + from.width - right, bottom - top});
  }

  void addIfAny(const Rect & part)
  {
    if (part.width > 0 && part.height > 0) {
      parts[size++] = part;
    }
  }
  const Rect * begin() const {return parts.data();}
  const Rect * end() const {return parts.data() + size;}
};

// Where lattice cell `cell` lies on a ring of `size` cells.
std::int64_t ringOf(std::int64_t cell, std::int64_t size)
{
  const std::int64_t ring = cell % size;
  return ring < 0 ? ring + size : ring;
}

}  // namespace

bool ZoneWindow::follow(
  const ZoneLayer & layer, std::uint32_t width, std::uint32_t height, std::int64_t x,
  std::int64_t y)
{
  if (layer.empty()) {
    const bool covered = !cells_.empty();
    reset();
    return covered;
  }
  const Rect to{x, y, width, height};
  const bool same_size = placed_ && to.width == width_ && to.height == height_;
  if (same_size && x == x_ && y == y_) {
    return false;
  }
  if (same_size && std::abs(x - x_) < width_ && std::abs(y - y_) < height_) {
    shift(layer, to);
    return true;
  }
  width_ = width;
  height_ = height;
  moveTo(x, y);
  cells_.assign(static_cast<std::size_t>(width_ * height_), 0);
  copy(layer, rect());
  counts_ = layer.count(rect());
  placed_ = true;
  return true;
}

void ZoneWindow::reset()
{
  placed_ = false;
  cells_.clear();
  cells_.shrink_to_fit();
  counts_ = {0, 0};
}

void ZoneWindow::moveTo(std::int64_t x, std::int64_t y)
{
  x_ = x;
  y_ = y;
  ring_x_ = ringOf(x, width_);
  ring_y_ = ringOf(y, height_);
}

void ZoneWindow::copy(const ZoneLayer & layer, const Rect & part)
{
  // The part, split where the ring wraps round, each piece copied to its place on the ring.
  const std::int64_t column = ringOf(part.x, width_);
  const std::int64_t row = ringOf(part.y, height_);
  const std::int64_t left = std::min(part.width, width_ - column);
  const std::int64_t lower = std::min(part.height, height_ - row);
  const Rect pieces[] = {
    {part.x, part.y, left, lower}, {part.x + left, part.y, part.width - left, lower},
    {part.x, part.y + lower, left, part.height - lower},
    {part.x + left, part.y + lower, part.width - left, part.height - lower}};
  for (const Rect & piece : pieces) {
    if (piece.width > 0 && piece.height > 0) {
      layer.copyCoverage(
        piece, cells_.data() + ringOf(piece.y, height_) * width_ + ringOf(piece.x, width_),
        static_cast<std::size_t>(width_));
    }
  }
}

void ZoneWindow::shift(const ZoneLayer & layer, const Rect & to)
{
  // The cells both windows cover stay where they are on the ring; the cells the window leaves
  // make room for those it newly covers.
  const Rect from = rect();
  for (const Rect & leaving : Difference(from, to)) {
    const ZoneLayer::Counts gone = layer.count(leaving);
    counts_[0] -= gone[0];
    counts_[1] -= gone[1];
  }
  moveTo(to.x, to.y);
  for (const Rect & entering : Difference(to, from)) {
    const ZoneLayer::Counts come = layer.count(entering);
    counts_[0] += come[0];
    counts_[1] += come[1];
    copy(layer, entering);
  }
}

}  // namespace quorvane_nav2_gridmap
