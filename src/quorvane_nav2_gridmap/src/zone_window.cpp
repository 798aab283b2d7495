#include "quorvane_nav2_gridmap/zone_window.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

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
  x_ = x;
  y_ = y;
  width_ = width;
  height_ = height;
  copyWhole(layer);
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

void ZoneWindow::copyWhole(const ZoneLayer & layer)
{
  cells_.assign(static_cast<std::size_t>(width_ * height_), 0);
  layer.copyCoverage(rect(), cells_.data(), static_cast<std::size_t>(width_));
  counts_ = layer.count(rect());
}

void ZoneWindow::shift(const ZoneLayer & layer, const Rect & to)
{
  const Rect from = rect();
  for (const Rect & leaving : Difference(from, to)) {
    const ZoneLayer::Counts gone = layer.count(leaving);
    counts_[0] -= gone[0];
    counts_[1] -= gone[1];
  }
  const Difference entering(to, from);
  for (const Rect & part : entering) {
    const ZoneLayer::Counts come = layer.count(part);
    counts_[0] += come[0];
    counts_[1] += come[1];
  }
  // The cells both windows cover move by the shift, row by row in the order that reads each row
  // before it is overwritten.
  const std::int64_t dx = to.x - from.x;
  const std::int64_t dy = to.y - from.y;
  const auto kept_width = static_cast<std::size_t>(width_ - std::abs(dx));
  const auto move_row = [this, dx, dy, kept_width](std::int64_t row) {
      const std::int64_t source = row + dy;
      if (source < 0 || source >= height_) {
        return;
      }
      std::memmove(
        cells_.data() + row * width_ + std::max<std::int64_t>(0, -dx),
        cells_.data() + source * width_ + std::max<std::int64_t>(0, dx), kept_width);
    };
  if (dy >= 0) {
    for (std::int64_t row = 0; row < height_; ++row) {
      move_row(row);
    }
  } else {
    for (std::int64_t row = height_ - 1; row >= 0; --row) {
      move_row(row);
    }
  }
  x_ = to.x;
  y_ = to.y;
  for (const Rect & part : entering) {
    layer.copyCoverage(
      part, cells_.data() + (part.y - y_) * width_ + (part.x - x_),
      static_cast<std::size_t>(width_));
  }
}

}  // namespace quorvane_nav2_gridmap
