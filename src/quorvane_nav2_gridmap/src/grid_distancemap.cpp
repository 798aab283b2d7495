#include "quorvane_nav2_gridmap/grid_distance_map.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "nav2_costmap_2d/cost_values.hpp"
#include "pluginlib/class_list_macros.hpp"

#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/occupancy_grid_view.hpp"
#include "quorvane_nav2_gridmap/parallel_for.hpp"

namespace quorvane_nav2_gridmap
{

namespace
{

constexpr unsigned char kObstacleCost = nav2_costmap_2d::LETHAL_OBSTACLE;
constexpr std::uint8_t kObstaclePixel = 0;
constexpr std::uint8_t kFreePixel = 255;
// Small grids are marked in one go: a task costs more than marking this many cells.
constexpr std::size_t kCellsPerMarkingTask = 1 << 18;

}  // namespace

GridDistanceMap::GridDistanceMap()
{
  type_ = GRIDMAP_TYPE_DISTANCE;
}

void GridDistanceMap::onInitialize()
{
  auto node = lockNode();
  declareParameter("risk_threshold", 0.48);
  declareParameter("danger_threshold", 0.3);
  declareParameter("few_obstacle_distance", 2.5);
  getParameter("risk_threshold", risk_threshold_);
  getParameter("danger_threshold", danger_threshold_);
  getParameter("few_obstacle_distance", few_obstacle_distance_);
  QLOG_INFO("few_obstacle_distance={}", few_obstacle_distance_);
  requireDistance("risk_threshold", risk_threshold_);
  requireDistance("danger_threshold", danger_threshold_);
  requireDistance("few_obstacle_distance", few_obstacle_distance_);

  declareParameter("publish_as_occupancy", rclcpp::ParameterValue(false));
  bool publish_as_occupancy = false;
  getParameter("publish_as_occupancy", publish_as_occupancy);
  if (publish_as_occupancy) {
    occupancy_pub_ = node->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "publish_as_occupancy", rclcpp::QoS(1));
    // The view is for debugging: it publishes from the first update, whatever the node's state.
    occupancy_pub_->on_activate();
  }
  // The costmap thread may be resizing the costmap to a map that has just arrived.
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap_->getMutex());
  resize();
}

void GridDistanceMap::requireDistance(const std::string & key, double metres) const
{
  // The thresholds are distances on the map. A negative or NaN one would configure a map in
  // which a cell beside a wall costs nothing and is in no risk, and an infinite one a cost of NaN.
  if (!(metres >= 0.0 && std::isfinite(metres))) {
    throw std::invalid_argument(
            fmt::format(
              "parameter {} is {}: it must be a finite distance in metres, 0 or more",
              fullParameterName(key), metres));
  }
}

void GridDistanceMap::resize()
{
  size_y_ = costmap_->getSizeInCellsY();
  size_x_ = costmap_->getSizeInCellsX();
  resolution_ = costmap_->getResolution();
  // Held finite, so that the graded cost of a far-reaching threshold stays a number.
  few_obstacle_distance_cells_ =
    std::min(few_obstacle_distance_ / resolution_, std::numeric_limits<double>::max());
  risk_cells_ = risk_threshold_ / resolution_;
  danger_cells_ = danger_threshold_ / resolution_;
}

void GridDistanceMap::updateMap()
{
  {
    // The geometry is read under the lock too, so the cells copied match the sizes taken.
    std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap_->getMutex());
    origin_x_ = costmap_->getOriginX();
    origin_y_ = costmap_->getOriginY();
    resize();
    prepareBuffers();
    if (buffer_cells_ == 0) {
      return;
    }
    markObstacles();
  }
  euclideanDistanceTransform(obstacle_mat_, distance_);
  publishAsOccupancyGrid();
}

void GridDistanceMap::prepareBuffers()
{
  const std::size_t cells = static_cast<std::size_t>(size_y_) * size_x_;
  if (cells != buffer_cells_) {
    releaseBuffers();
    // Both mappings exist before either is kept, so a failure leaves the plugin without buffers.
    AnonymousMapping obstacles(cells);
    AnonymousMapping distances(cells * sizeof(float));
    obstacle_buffer_ = std::move(obstacles);
    distance_buffer_ = std::move(distances);
    buffer_cells_ = cells;
  }
  if (buffer_cells_ == 0) {
    return;
  }
  const int rows = static_cast<int>(size_y_);
  const int cols = static_cast<int>(size_x_);
  if (obstacle_mat_.data != obstacle_buffer_.data() || obstacle_mat_.rows != rows ||
    obstacle_mat_.cols != cols)
  {
    obstacle_mat_ = cv::Mat(rows, cols, CV_8UC1, obstacle_buffer_.data());
    distance_ = cv::Mat(rows, cols, CV_32FC1, distance_buffer_.data());
  }
}

void GridDistanceMap::releaseBuffers()
{
  obstacle_mat_ = cv::Mat();
  distance_ = cv::Mat();
  obstacle_buffer_ = AnonymousMapping();
  distance_buffer_ = AnonymousMapping();
  buffer_cells_ = 0;
}

void GridDistanceMap::markObstacles()
{
  const unsigned char * costs = costmap_->getCharMap();
  auto * pixels = static_cast<std::uint8_t *>(obstacle_buffer_.data());
  // Shared out like the transform that follows, so the costmap is held no longer than need be.
  const std::size_t cells = buffer_cells_;
  const int parts = static_cast<int>(std::min<std::size_t>(
      (cells + kCellsPerMarkingTask - 1) / kCellsPerMarkingTask, 1024));
  parallelFor(
    cv::Range(0, parts), [costs, pixels, cells, parts](const cv::Range & range) {
      const std::size_t begin = cells * range.start / parts;
      const std::size_t end = cells * range.end / parts;
      for (std::size_t i = begin; i < end; ++i) {
        pixels[i] = costs[i] >= kObstacleCost ? kObstaclePixel : kFreePixel;
      }
    });
}

unsigned int GridDistanceMap::getCost(unsigned int mx, unsigned int my, bool enable)
{
  if (!enable) {
    return 0;
  }
  if (!inGrid(mx, my)) {
    return kObstacleCost;
  }
  const double distance = distanceAt(mx, my);
  if (distance >= few_obstacle_distance_cells_) {
    return 0;
  }
  return static_cast<unsigned int>(
    (few_obstacle_distance_cells_ - distance) / few_obstacle_distance_cells_ * 254.0);
}

bool GridDistanceMap::inPeril(unsigned int mx, unsigned int my, int)
{
  return !inGrid(mx, my) || distanceAt(mx, my) < 1.0f;
}

bool GridDistanceMap::inRisk(unsigned int mx, unsigned int my, int)
{
  return !inGrid(mx, my) || static_cast<double>(distanceAt(mx, my)) < risk_cells_;
}

bool GridDistanceMap::inDanger(unsigned int mx, unsigned int my, int r)
{
  return !inGrid(mx, my) || static_cast<double>(distanceAt(mx, my)) < r + danger_cells_;
}

double GridDistanceMap::getDistance(unsigned int mx, unsigned int my)
{
  return inGrid(mx, my) ? static_cast<double>(distanceAt(mx, my)) : 0.0;
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> GridDistanceMap::distanceToBiCostmap(bool danger)
{
  const unsigned int cols = static_cast<unsigned int>(distance_.cols);
  const unsigned int rows = static_cast<unsigned int>(distance_.rows);
  auto bi_costmap = std::make_shared<nav2_costmap_2d::Costmap2D>(
    cols, rows, resolution_, origin_x_, origin_y_, 0);
  const double threshold = danger ? danger_cells_ : risk_cells_;
  for (unsigned int my = 0; my < rows; ++my) {
    for (unsigned int mx = 0; mx < cols; ++mx) {
      if (distanceAt(mx, my) < threshold) {
        bi_costmap->setCost(mx, my, kObstacleCost);
      }
    }
  }
  return bi_costmap;
}

void GridDistanceMap::publishAsOccupancyGrid()
{
  if (!occupancy_pub_ || occupancy_pub_->get_subscription_count() == 0) {
    return;
  }
  // Stamped on the node's clock, which a simulator or a bag replay drives: a viewer places the
  // view by that time. Without the node there is no clock to stamp it with.
  const auto node = node_.lock();
  if (!node) {
    return;
  }
  auto grid = makeOccupancyGridView(
    global_frame_, node->now(), resolution_, size_x_, size_y_, origin_x_, origin_y_);
  // resize() is public: the sizes may have moved on since the buffers were last filled.
  const std::size_t cells = std::min(grid->data.size(), buffer_cells_);
  const auto * distances = static_cast<const float *>(distance_buffer_.data());
  for (std::size_t i = 0; i < cells; ++i) {
    grid->data[i] = occupancyValue(distances[i], danger_cells_, risk_cells_);
  }
  occupancy_pub_->publish(std::move(grid));
}

std::int8_t GridDistanceMap::occupancyValue(float distance, double danger_cells, double risk_cells)
{
  if (distance < 0.0f) {
    return 100;
  }
  const double capped = std::min(static_cast<double>(distance), 100.0);
  const int whole_cells = static_cast<int>(capped);
  if (whole_cells == 0) {
    return 100;
  }
  if (capped < danger_cells) {
    return 99;
  }
  if (capped < risk_cells) {
    return 127;
  }
  return static_cast<std::int8_t>(100 - whole_cells);
}

}  // namespace quorvane_nav2_gridmap

PLUGINLIB_EXPORT_CLASS(quorvane_nav2_gridmap::GridDistanceMap, quorvane_nav2_gridmap::GridMap)
