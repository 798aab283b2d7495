// The obstacle-type plugin as the grid-map node loads it, on a costmap of 2000 x 2000 cells of
// 5 cm whose window a benchmark can move, reading its zones from a map directory. Only the
// plugin's own work is timed: the window moves without the cell shift of updateOrigin.

#ifndef QUORVANE_NAV2_GRIDMAP__BENCH__OBSTACLE_TYPE_HOST_HPP_
#define QUORVANE_NAV2_GRIDMAP__BENCH__OBSTACLE_TYPE_HOST_HPP_

#include <memory>
#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

#include "quorvane_nav2_gridmap/grid_obstacle_type.hpp"

namespace quorvane_bench
{

constexpr unsigned int kWindowCells = 2000;
constexpr double kWindowResolution = 0.05;

class MovableCostmap : public nav2_costmap_2d::Costmap2D
{
public:
  MovableCostmap(double origin_x, double origin_y)
  : Costmap2D(kWindowCells, kWindowCells, kWindowResolution, origin_x, origin_y) {}

  void moveOriginTo(double x, double y)
  {
    origin_x_ = x;
    origin_y_ = y;
  }
};

class ObstacleTypeHost
{
public:
  ObstacleTypeHost(
    const std::string & name, const std::string & map_directory, double origin_x,
    double origin_y)
  : costmap_(origin_x, origin_y)
  {
    rclcpp::NodeOptions options;
    options.parameter_overrides({rclcpp::Parameter("obstacle_type.map_path_str", map_directory)});
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(name, options);
    tf_buffer_ = std::make_shared<tf2_ros::Buffer>(node_->get_clock());
    plugin_.initialize("obstacle_type", node_, "map", nullptr, &costmap_, tf_buffer_);
  }

  void update() {plugin_.updateMap();}
  MovableCostmap & costmap() {return costmap_;}
  quorvane_nav2_gridmap::GridObstacleType & plugin() {return plugin_;}

private:
  MovableCostmap costmap_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  quorvane_nav2_gridmap::GridObstacleType plugin_;
};

}  // namespace quorvane_bench

#endif  // QUORVANE_NAV2_GRIDMAP__BENCH__OBSTACLE_TYPE_HOST_HPP_
