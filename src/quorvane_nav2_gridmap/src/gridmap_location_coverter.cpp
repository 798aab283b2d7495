#include "quorvane_nav2_gridmap/gridmap_location_coverter.hpp"

#include <utility>

namespace quorvane_nav2_gridmap
{

GridmapLocationCoverter::GridmapLocationCoverter(
  std::shared_ptr<GridMapROS> first, std::shared_ptr<GridMapROS> second)
: first_gridmap_(std::move(first)),
  second_gridmap_(std::move(second))
{
  updateOrigin();
}

void GridmapLocationCoverter::updateOrigin()
{
  const nav2_costmap_2d::Costmap2D & first = *first_gridmap_->multi_grid_map_->costmap_;
  const double first_resolution = first.getResolution();
  first_size_x_ = static_cast<std::int32_t>(first.getSizeInCellsX());
  first_size_y_ = static_cast<std::int32_t>(first.getSizeInCellsY());
  const double first_origin_x = first.getOriginX();
  const double first_origin_y = first.getOriginY();

  const nav2_costmap_2d::Costmap2D & second = *second_gridmap_->multi_grid_map_->costmap_;
  const double second_resolution = second.getResolution();
  second_size_x_ = static_cast<std::int32_t>(second.getSizeInCellsX());
  second_size_y_ = static_cast<std::int32_t>(second.getSizeInCellsY());
  const double second_origin_x = second.getOriginX();
  const double second_origin_y = second.getOriginY();

  first_to_second_scale_ = first_resolution / second_resolution;
  first_to_second_offset_x_ = (first_origin_x - second_origin_x) / second_resolution;
  first_to_second_offset_y_ = (first_origin_y - second_origin_y) / second_resolution;
  second_to_first_scale_ = second_resolution / first_resolution;
  second_to_first_offset_x_ = (second_origin_x - first_origin_x) / first_resolution;
  second_to_first_offset_y_ = (second_origin_y - first_origin_y) / first_resolution;
}

bool GridmapLocationCoverter::firstToSecondMap(
  unsigned int mx, unsigned int my, unsigned int & out_x, unsigned int & out_y)
{
  return convert(
    first_to_second_scale_, first_to_second_offset_x_, first_to_second_offset_y_, second_size_x_,
    second_size_y_, mx, my, out_x, out_y);
}

bool GridmapLocationCoverter::secondToFirstMap(
  unsigned int mx, unsigned int my, unsigned int & out_x, unsigned int & out_y)
{
  return convert(
    second_to_first_scale_, second_to_first_offset_x_, second_to_first_offset_y_, first_size_x_,
    first_size_y_, mx, my, out_x, out_y);
}

bool GridmapLocationCoverter::convert(
  double scale, double offset_x, double offset_y, std::int32_t target_size_x,
  std::int32_t target_size_y, unsigned int mx, unsigned int my, unsigned int & out_x,
  unsigned int & out_y)
{
  const double x = mx * scale + offset_x;
  const double y = my * scale + offset_y;
  out_x = static_cast<unsigned int>(static_cast<std::int64_t>(x));
  out_y = static_cast<unsigned int>(static_cast<std::int64_t>(y));
  if (x < 0 || y < 0) {
    return false;
  }
  // Strictly below the size: a coordinate equal to it lies past the last cell.
  return x < target_size_x && y < target_size_y;
}

}  // namespace quorvane_nav2_gridmap
