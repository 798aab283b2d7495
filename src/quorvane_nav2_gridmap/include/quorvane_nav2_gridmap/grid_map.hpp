#ifndef QUORVANE_NAV2_GRIDMAP__GRID_MAP_HPP_
#define QUORVANE_NAV2_GRIDMAP__GRID_MAP_HPP_

// The plugin interface of every grid map derived from the costmap: GridMapROS creates each
// configured plugin through pluginlib, hands it its context here and MultiGridMap routes the
// host's per-cell questions to it.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/callback_group.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

#include "quorvane_nav2_gridmap/obs_type_bit_map.hpp"

namespace quorvane_nav2_gridmap
{

constexpr int GRIDMAP_TYPE_DISTANCE = 2;
constexpr int GRIDMAP_TYPE_OBSTACLE = 3;

class GridMap
{
public:
  GridMap() = default;
  // Plugins are destroyed through this interface by the plugin loader's deleter.
  virtual ~GridMap() = default;

  GridMap(const GridMap &) = delete;
  GridMap & operator=(const GridMap &) = delete;

  // Stores the plugin's context, then lets the plugin initialise itself; what onInitialize throws
  // reaches the caller.
  void initialize(
    std::string name, const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
    std::string global_frame, std::shared_ptr<rclcpp::CallbackGroup> callback_group,
    nav2_costmap_2d::Costmap2D * costmap, std::shared_ptr<tf2_ros::Buffer> tf_buffer);

  virtual void onInitialize() = 0;
  virtual void updateMap() = 0;

  // Queries; a plugin answers those of its kind, the others keep these defaults. Cell arguments
  // are (column, row) of the costmap.
  virtual unsigned int getCost(unsigned int mx, unsigned int my, bool enable);
  virtual bool inRisk(unsigned int mx, unsigned int my, int r);
  virtual bool inDanger(unsigned int mx, unsigned int my, int r);
  virtual bool inNarrowPassage(unsigned int mx, unsigned int my, int r);
  virtual bool inPriorityPassage(unsigned int mx, unsigned int my, int r);
  virtual bool hasPriorityPassage();
  virtual float getPriorityPassageBoundaryDist(unsigned int mx, unsigned int my);
  virtual bool inPeril(unsigned int mx, unsigned int my, int r);
  virtual double getDistance(unsigned int mx, unsigned int my);
  virtual bool getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap & bits) const;
  virtual std::shared_ptr<nav2_costmap_2d::Costmap2D> distanceToBiCostmap(bool danger);
  // Called from the node's service thread beside updateMap: an override only records the change.
  virtual bool callbackOnMapChange(std::string_view map_url);

  // Declares the plugin's parameter `name_`.`param` on the node unless the node has it already:
  // a plugin created again by a later configure reads the value the node holds by then.
  // rclcpp's exceptions pass.
  template<typename T>
  void declareParameter(const std::string & param, const T & default_value)
  {
    auto node = lockNode();
    const std::string name = fullParameterName(param);
    if (node->has_parameter(name)) {
      return;
    }
    node->declare_parameter(name, default_value, rcl_interfaces::msg::ParameterDescriptor(), false);
  }

  // Reads the plugin's parameter `name_`.`param` into `value`; an unset parameter leaves it as is.
  template<typename T>
  void getParameter(const std::string & param, T & value)
  {
    lockNode()->get_parameter(fullParameterName(param), value);
  }

  int getType() const {return type_;}
  const std::string & getName() const {return name_;}

protected:
  // The node, or std::runtime_error "Failed to lock node" once it is gone.
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> lockNode() const;
  std::string fullParameterName(const std::string & param) const {return name_ + "." + param;}

  nav2_costmap_2d::Costmap2D * costmap_{nullptr};
  std::shared_ptr<rclcpp::CallbackGroup> callback_group_;
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::string name_;
  std::string global_frame_;
  std::int32_t type_{0};
  std::uint32_t size_y_{0};
  std::uint32_t size_x_{0};
  double resolution_{0.01};
  double origin_x_{0.0};
  double origin_y_{0.0};
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__GRID_MAP_HPP_
