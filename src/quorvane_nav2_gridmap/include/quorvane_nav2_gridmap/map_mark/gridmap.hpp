#ifndef QUORVANE_NAV2_GRIDMAP__MAP_MARK__GRIDMAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__MAP_MARK__GRIDMAP_HPP_

// A small row-major grid over a rectangle of the map, as a zone is rasterised into it.
// Cell (col, row) covers [origin + col * resolution, origin + (col + 1) * resolution) in x.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace semantic_map
{

template<typename T>
class Gridmap
{
public:
  Gridmap(
    std::uint32_t width, std::uint32_t height, double resolution, double origin_x,
    double origin_y)
  : width_(width), height_(height), resolution_(resolution), origin_x_(origin_x),
    origin_y_(origin_y)
  {
    const std::size_t count = cellCount();
    if (count > 0) {
      cells_ = std::make_unique<T[]>(count);
      std::fill_n(cells_.get(), count, default_value_);
    }
  }

  std::uint32_t width() const {return width_;}
  std::uint32_t height() const {return height_;}
  double resolution() const {return resolution_;}
  double originX() const {return origin_x_;}
  double originY() const {return origin_y_;}
  std::size_t cellCount() const {return static_cast<std::size_t>(width_) * height_;}

  // Row-major cells, row * width + col; null for a grid without cells.
  const T * cells() const {return cells_.get();}

  bool contains(std::int64_t col, std::int64_t row) const
  {
    return col >= 0 && row >= 0 && col < width_ && row < height_;
  }

  T at(std::uint32_t col, std::uint32_t row) const {return cells_[index(col, row)];}

  // Writes outside the grid are dropped: rasterisers clip by calling this for every sample.
  void set(std::int64_t col, std::int64_t row, T value)
  {
    if (contains(col, row)) {
      cells_[index(static_cast<std::uint32_t>(col), static_cast<std::uint32_t>(row))] = value;
    }
  }

  // The cell holding a map position; false when the position lies outside the grid.
  bool worldToMap(double wx, double wy, std::uint32_t & col, std::uint32_t & row) const
  {
    const double fx = (wx - origin_x_) / resolution_;
    const double fy = (wy - origin_y_) / resolution_;
    // Written so that NaN fails every test.
    if (!(wx >= origin_x_ && wy >= origin_y_ && fx < width_ && fy < height_)) {
      return false;
    }
    col = static_cast<std::uint32_t>(fx);
    row = static_cast<std::uint32_t>(fy);
    return true;
  }

  void mapToWorld(std::uint32_t col, std::uint32_t row, double & wx, double & wy) const
  {
    wx = (col + 0.5) * resolution_ + origin_x_;
    wy = (row + 0.5) * resolution_ + origin_y_;
  }

private:
  std::size_t index(std::uint32_t col, std::uint32_t row) const
  {
    return static_cast<std::size_t>(row) * width_ + col;
  }

  std::uint32_t width_;
  std::uint32_t height_;
  double resolution_;
  double origin_x_;
  double origin_y_;
  std::unique_ptr<T[]> cells_;
  T default_value_{};
};

}  // namespace semantic_map

#endif  // QUORVANE_NAV2_GRIDMAP__MAP_MARK__GRIDMAP_HPP_
