#include "quorvane_nav2_gridmap_demo/occupancy_grid_from_map.hpp"

#include <stdexcept>

#include <opencv2/imgcodecs.hpp>

#include "nav2_map_server/map_io.hpp"

namespace quorvane_nav2_gridmap_demo
{
namespace
{

constexpr int8_t kOccupied = 100;
constexpr int8_t kFree = 0;
constexpr int8_t kUnknown = -1;

int8_t occupancyOfPixel(unsigned char pixel, const nav2_map_server::LoadParameters & meta)
{
  const double darkness = meta.negate ? pixel / 255.0 : (255.0 - pixel) / 255.0;
  if (darkness > meta.occupied_thresh) {
    return kOccupied;
  }
  if (darkness < meta.free_thresh) {
    return kFree;
  }
  return kUnknown;
}

}  // namespace

nav_msgs::msg::OccupancyGrid occupancyGridFromMap(
  const std::filesystem::path & meta_file, const std::string & frame_id)
{
  const nav2_map_server::LoadParameters meta = nav2_map_server::loadMapYaml(meta_file.string());
  const cv::Mat image = cv::imread(meta.image_file_name, cv::IMREAD_GRAYSCALE);
  if (image.empty()) {
    throw std::runtime_error("cannot read map image " + meta.image_file_name);
  }

  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = frame_id;
  grid.info.resolution = static_cast<float>(meta.resolution);
  grid.info.width = static_cast<uint32_t>(image.cols);
  grid.info.height = static_cast<uint32_t>(image.rows);
  grid.info.origin.position.x = meta.origin[0];
  grid.info.origin.position.y = meta.origin[1];
  grid.info.origin.orientation.w = 1.0;
  grid.data.resize(static_cast<size_t>(image.cols) * static_cast<size_t>(image.rows));

  // The image's top row is the map's far edge: grid row 0 is the image's bottom row.
  for (int row = 0; row < image.rows; ++row) {
    const size_t grid_row = static_cast<size_t>(image.rows - 1 - row);
    for (int col = 0; col < image.cols; ++col) {
      grid.data[grid_row * grid.info.width + static_cast<size_t>(col)] =
        occupancyOfPixel(image.at<unsigned char>(row, col), meta);
    }
  }
  return grid;
}

}  // namespace quorvane_nav2_gridmap_demo
