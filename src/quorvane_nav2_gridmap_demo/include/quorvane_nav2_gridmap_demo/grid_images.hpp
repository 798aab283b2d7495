#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__GRID_IMAGES_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__GRID_IMAGES_HPP_

// Pictures of the grid maps as a host sees them through its queries, +y up, each with a title,
// the map frame's axes in metres, the map origin and a scale bar.

#include <filesystem>
#include <string>

#include <opencv2/core.hpp>

#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

namespace quorvane_nav2_gridmap_demo
{

// Distance to the nearest lethal or unknown costmap cell, red at 0 m to blue at `saturation_m`,
// with a colour bar.
cv::Mat distanceImage(
  quorvane_nav2_gridmap::MultiGridMap & maps, double saturation_m, const std::string & title);
// One colour per obstacle category and zone, with a legend naming them.
cv::Mat obstacleTypeImage(
  const quorvane_nav2_gridmap::MultiGridMap & maps, const std::string & title);
// Both images side by side.
cv::Mat sideBySide(const cv::Mat & distance, const cv::Mat & obstacle_types);
// Writes a PNG, creating the folder; throws std::runtime_error when OpenCV cannot write it.
void writePng(const std::filesystem::path & file, const cv::Mat & image);

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__GRID_IMAGES_HPP_
