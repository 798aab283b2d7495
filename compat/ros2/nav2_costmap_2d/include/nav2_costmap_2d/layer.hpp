#ifndef NAV2_COSTMAP_2D__LAYER_HPP_
#define NAV2_COSTMAP_2D__LAYER_HPP_

// Base class of the costmap layers a LayeredCostmap combines. This core carries the part of the
// interface that needs no ROS node (bounds and cost updates, currency, footprint changes);
// the node and TF handles are passed through as opaque pointers for layers built on a node.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace rclcpp
{
class CallbackGroup;
}  // namespace rclcpp

namespace nav2_util
{
class LifecycleNode;
}  // namespace nav2_util

namespace tf2_ros
{
class Buffer;
}  // namespace tf2_ros

namespace nav2_costmap_2d
{

class LayeredCostmap;

class Layer
{
public:
  Layer();
  virtual ~Layer() {}

  void initialize(
    LayeredCostmap * parent, std::string name, tf2_ros::Buffer * tf,
    const std::weak_ptr<nav2_util::LifecycleNode> & node,
    std::shared_ptr<rclcpp::CallbackGroup> callback_group);

  virtual void deactivate() {}
  virtual void activate() {}
  virtual void reset() = 0;
  virtual bool isClearable() = 0;

  // Grows the bounds to cover the area this layer wants to change this cycle.
  virtual void updateBounds(
    double robot_x, double robot_y, double robot_yaw, double * min_x, double * min_y,
    double * max_x, double * max_y) = 0;

  // Writes this layer's costs into master_grid within [min_i, max_i) x [min_j, max_j).
  virtual void updateCosts(
    Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j) = 0;

  virtual void matchSize() {}
  virtual void onFootprintChanged() {}
  virtual void onInitialize() {}

  std::string getName() const {return name_;}
  bool isCurrent() const {return current_;}
  bool isEnabled() const {return enabled_;}
  const std::vector<geometry_msgs::msg::Point> & getFootprint() const;

  // "<layer name>.<param_name>"
  std::string getFullName(const std::string & param_name);

protected:
  LayeredCostmap * layered_costmap_;
  std::string name_;
  tf2_ros::Buffer * tf_;
  std::shared_ptr<rclcpp::CallbackGroup> callback_group_;
  std::weak_ptr<nav2_util::LifecycleNode> node_;

  // Whether the layer's inputs are up to date; LayeredCostmap::isCurrent() ands these.
  // Written by the layer on its node's thread, read by hosts polling isCurrent() from theirs.
  std::atomic<bool> current_;
  bool enabled_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__LAYER_HPP_
