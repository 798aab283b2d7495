// Copyright (c) 2026 Quorvane
// All rights reserved.

#include "nav2_costmap_2d/quorvane_static_map_layer.hpp"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "nav2_costmap_2d/cost_values.hpp"
#include "rclcpp/logging.hpp"

namespace nav2_costmap_2d
{

QuorvaneStaticMapLayer::QuorvaneStaticMapLayer(
  LayeredCostmap & layered_costmap, const rclcpp::Logger & logger)
: layered_(layered_costmap), log_(logger)
{
  enabled_ = true;
  current_ = false;
}

void QuorvaneStaticMapLayer::configure(const Settings & settings)
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  settings_ = settings;
  settings_.lethal_cost_threshold = std::clamp(settings.lethal_cost_threshold, 0, 100);
  has_map_ = false;
  costs_.clear();
  refreshCurrent();
}

void QuorvaneStaticMapLayer::processMap(const nav_msgs::msg::OccupancyGrid & map)
{
  if (!isWellFormed(map)) {
    return;
  }
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  if (!settings_.use_static_map) {
    return;
  }
  costs_.resize(map.data.size());
  std::transform(
    map.data.begin(), map.data.end(), costs_.begin(),
    [this](int8_t value) {return interpretValue(static_cast<unsigned char>(value));});
  map_info_ = map.info;
  matchMasterToMap(map);
  // Map rows run along x from the origin, one row per y: the same order as the costmap's cells.
  std::copy(costs_.begin(), costs_.end(), layered_.getCostmap()->getCharMap());
  has_map_ = true;
  refreshCurrent();
  RCLCPP_INFO(
    log_, "Static map received: %u x %u cells at %.3f m, origin (%.3f, %.3f)",
    map.info.width, map.info.height, map.info.resolution,
    map.info.origin.position.x, map.info.origin.position.y);
}

unsigned char QuorvaneStaticMapLayer::interpretValue(unsigned char value) const
{
  if (value == settings_.unknown_cost_value) {
    return settings_.track_unknown_space ? NO_INFORMATION : FREE_SPACE;
  }
  if (value >= settings_.lethal_cost_threshold) {
    return LETHAL_OBSTACLE;
  }
  if (settings_.trinary_costmap) {
    return FREE_SPACE;
  }
  const double scale = static_cast<double>(value) / settings_.lethal_cost_threshold;
  return static_cast<unsigned char>(scale * LETHAL_OBSTACLE);
}

void QuorvaneStaticMapLayer::activate()
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  active_ = true;
  refreshCurrent();
}

void QuorvaneStaticMapLayer::deactivate()
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  active_ = false;
  refreshCurrent();
}

void QuorvaneStaticMapLayer::reset()
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  has_map_ = false;
  costs_.clear();
  refreshCurrent();
}

bool QuorvaneStaticMapLayer::isClearable()
{
  return false;
}

void QuorvaneStaticMapLayer::updateBounds(
  double /*robot_x*/, double /*robot_y*/, double /*robot_yaw*/,
  double * min_x, double * min_y, double * max_x, double * max_y)
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  if (!has_map_) {
    return;
  }
  const double x0 = map_info_.origin.position.x;
  const double y0 = map_info_.origin.position.y;
  *min_x = std::min(*min_x, x0);
  *min_y = std::min(*min_y, y0);
  *max_x = std::max(*max_x, x0 + map_info_.width * map_info_.resolution);
  *max_y = std::max(*max_y, y0 + map_info_.height * map_info_.resolution);
}

void QuorvaneStaticMapLayer::updateCosts(
  Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j)
{
  std::lock_guard<Costmap2D::mutex_t> lock(masterMutex());
  if (!has_map_ || master_grid.getSizeInCellsX() != map_info_.width ||
    master_grid.getSizeInCellsY() != map_info_.height)
  {
    return;
  }
  const int size_x = static_cast<int>(map_info_.width);
  const int size_y = static_cast<int>(map_info_.height);
  for (int j = std::max(min_j, 0); j < std::min(max_j, size_y); ++j) {
    for (int i = std::max(min_i, 0); i < std::min(max_i, size_x); ++i) {
      master_grid.setCost(i, j, costs_[j * size_x + i]);
    }
  }
}

bool QuorvaneStaticMapLayer::isWellFormed(const nav_msgs::msg::OccupancyGrid & map) const
{
  const auto & info = map.info;
  if (info.width == 0 || info.height == 0) {
    RCLCPP_ERROR(log_, "Ignoring a static map of %u x %u cells", info.width, info.height);
    return false;
  }
  if (!(std::isfinite(info.resolution) && info.resolution > 0.0f)) {
    RCLCPP_ERROR(log_, "Ignoring a static map with resolution %f", info.resolution);
    return false;
  }
  if (!std::isfinite(info.origin.position.x) || !std::isfinite(info.origin.position.y)) {
    RCLCPP_ERROR(log_, "Ignoring a static map with a non-finite origin");
    return false;
  }
  const size_t expected = static_cast<size_t>(info.width) * info.height;
  if (map.data.size() != expected) {
    RCLCPP_ERROR(
      log_, "Ignoring a static map of %u x %u cells that carries %zu values",
      info.width, info.height, map.data.size());
    return false;
  }
  return true;
}

void QuorvaneStaticMapLayer::matchMasterToMap(const nav_msgs::msg::OccupancyGrid & map)
{
  const Costmap2D & master = *layered_.getCostmap();
  const auto & info = map.info;
  if (master.getSizeInCellsX() != info.width || master.getSizeInCellsY() != info.height ||
    master.getResolution() != info.resolution ||
    master.getOriginX() != info.origin.position.x ||
    master.getOriginY() != info.origin.position.y)
  {
    layered_.resizeMap(
      info.width, info.height, info.resolution,
      info.origin.position.x, info.origin.position.y, true);
  }
}

void QuorvaneStaticMapLayer::refreshCurrent()
{
  current_ = active_ && (has_map_ || !settings_.use_static_map);
}

Costmap2D::mutex_t & QuorvaneStaticMapLayer::masterMutex()
{
  return *layered_.getCostmap()->getMutex();
}

}  // namespace nav2_costmap_2d
