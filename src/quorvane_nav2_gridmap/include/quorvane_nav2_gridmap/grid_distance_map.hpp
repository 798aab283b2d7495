#ifndef QUORVANE_NAV2_GRIDMAP__GRID_DISTANCE_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__GRID_DISTANCE_MAP_HPP_

// The distance-map plugin: for every costmap cell, the Euclidean distance in cells to the nearest
// cell of cost 254 or more (lethal or unknown), with the graded cost and the risk, danger and
// peril tests the planners ask for.

#include <cstddef>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"

#include "quorvane_nav2_gridmap/anonymous_mapping.hpp"
#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"
#include "quorvane_nav2_gridmap/grid_map.hpp"

namespace quorvane_nav2_gridmap
{

class GridDistanceMap : public GridMap
{
public:
  GridDistanceMap();
  ~GridDistanceMap() override = default;

  void onInitialize() override;
  // Binarises the costmap under its mutex and transforms it; queries read this update's result.
  void updateMap() override;

  // Cells outside the grid (or of a grid without cells) count as obstacles: cost 254 (when
  // enabled), distance 0, in risk, danger and peril.
  unsigned int getCost(unsigned int mx, unsigned int my, bool enable) override;
  bool inRisk(unsigned int mx, unsigned int my, int r) override;
  // Within danger_threshold plus r cells of an obstacle.
  bool inDanger(unsigned int mx, unsigned int my, int r) override;
  // Less than one cell from an obstacle: the cell is itself one.
  bool inPeril(unsigned int mx, unsigned int my, int r) override;
  // In cells.
  double getDistance(unsigned int mx, unsigned int my) override;
  // A costmap of the grid's geometry with 254 where the cell is within the danger (or else the
  // risk) threshold and 0 elsewhere.
  std::shared_ptr<nav2_costmap_2d::Costmap2D> distanceToBiCostmap(bool danger) override;

  // Takes the costmap's size and resolution and rescales the thresholds to cells.
  void resize();
  // Publishes the distances as an occupancy grid when someone listens.
  void publishAsOccupancyGrid();

private:
  // Refuses a threshold that is not a distance on the map, naming the parameter and its value.
  void requireDistance(const std::string & key, double metres) const;
  // Maps new buffers when the cell count changed and re-wraps the images when the shape did.
  void prepareBuffers();
  void releaseBuffers();
  void markObstacles();
  bool inGrid(unsigned int mx, unsigned int my) const
  {
    return mx < static_cast<unsigned int>(distance_.cols) &&
           my < static_cast<unsigned int>(distance_.rows);
  }
  float distanceAt(unsigned int mx, unsigned int my) const
  {
    return distance_.ptr<float>(static_cast<int>(my))[mx];
  }
  static std::int8_t occupancyValue(float distance, double danger_cells, double risk_cells);

  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<nav_msgs::msg::OccupancyGrid>> occupancy_pub_;
  cv::Mat obstacle_mat_;
  cv::Mat distance_;
  AnonymousMapping obstacle_buffer_;
  AnonymousMapping distance_buffer_;
  std::size_t buffer_cells_{0};
  double few_obstacle_distance_cells_{0.0};
  double risk_threshold_{0.0};
  double danger_threshold_{0.0};
  double risk_cells_{0.0};
  double danger_cells_{0.0};
  double few_obstacle_distance_{0.0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__GRID_DISTANCE_MAP_HPP_
