#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include "quorvane_nav2_gridmap/categrory_table.hpp"
#include "quorvane_nav2_gridmap/occupancy_grid_view.hpp"

namespace quorvane_nav2_gridmap
{

ObsTypeGridMap::ObsTypeGridMap()
: mutex_(std::make_unique<std::recursive_mutex>())
{
}

ObsTypeGridMap::ObsTypeGridMap(
  int width, int height, double resolution, double origin_x, double origin_y)
: ObsTypeGridMap()
{
  resize(width, height, resolution, origin_x, origin_y);
}

void ObsTypeGridMap::resize(
  int width, int height, double resolution, double origin_x, double origin_y)
{
  std::lock_guard<std::recursive_mutex> lock(*mutex_);
  resolution_ = resolution;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  const bool same_shape = grid_ && static_cast<unsigned int>(width) == width_ &&
    static_cast<unsigned int>(height) == height_;
  if (same_shape) {
    return;
  }
  grid_.reset();
  width_ = 0;
  height_ = 0;
  // A negative extent, or a cell count beyond what a 32-bit int holds, cannot be allocated; the
  // grid then stays empty rather than claiming a size without cells behind it.
  const std::int64_t cells = static_cast<std::int64_t>(width) * height;
  if (width < 0 || height < 0 || cells > std::numeric_limits<std::int32_t>::max()) {
    throw std::bad_array_new_length();
  }
  grid_ = std::make_unique<ObsTypeBitMap[]>(static_cast<size_t>(cells));
  width_ = static_cast<unsigned int>(width);
  height_ = static_cast<unsigned int>(height);
  resetGrid();
}

void ObsTypeGridMap::resetGrid()
{
  std::lock_guard<std::recursive_mutex> lock(*mutex_);
  if (grid_) {
    std::fill_n(grid_.get(), static_cast<size_t>(width_) * height_, ObsTypeBitMap{});
  }
}

void ObsTypeGridMap::setCost(int type, unsigned int mx, unsigned int my)
{
  grid_[index(mx, my)].merge(categrory_table[static_cast<semantic::SemanticType>(type)]);
}

bool ObsTypeGridMap::worldToMap(double wx, double wy, unsigned int & mx, unsigned int & my) const
{
  // Compared before any conversion: a NaN, an infinity or a driver's sentinel such as 1e30 has no
  // cell, and converting it to unsigned would name an arbitrary one.
  const double cell_x = (wx - origin_x_) / resolution_;
  const double cell_y = (wy - origin_y_) / resolution_;
  if (!(wx >= origin_x_ && wy >= origin_y_)) {
    return false;
  }
  constexpr double kUnsignedRange = 4294967296.0;
  if (!(cell_x < kUnsignedRange && cell_y < kUnsignedRange)) {
    return false;
  }
  mx = static_cast<unsigned int>(cell_x);
  my = static_cast<unsigned int>(cell_y);
  return mx < width_ && my < height_;
}

void ObsTypeGridMap::mapToWorld(unsigned int mx, unsigned int my, double & wx, double & wy) const
{
  wx = (mx + 0.5) * resolution_ + origin_x_;
  wy = (my + 0.5) * resolution_ + origin_y_;
}

std::unique_ptr<nav_msgs::msg::OccupancyGrid> ObsTypeGridMap::changeToOccupancyGrid(
  std::string frame_id, rclcpp::Time stamp) const
{
  auto grid = makeOccupancyGridView(
    std::move(frame_id), stamp, resolution_, width_, height_, origin_x_, origin_y_);
  for (size_t i = 0; i < grid->data.size(); ++i) {
    grid->data[i] = occupancyValue(grid_[i]);
  }
  return grid;
}

std::int8_t ObsTypeGridMap::occupancyValue(const ObsTypeBitMap & bits)
{
  if (bits.any(0x4)) {
    return 100;
  }
  if (bits.any(0x8)) {
    return 127;
  }
  return bits.any() ? 98 : 0;
}

}  // namespace quorvane_nav2_gridmap
