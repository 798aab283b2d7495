// Copyright (c) 2026 Quorvane
// All rights reserved.

#ifndef NAV2_COSTMAP_2D__QUORVANE_COSTMAP_2D_ROS_HPP_
#define NAV2_COSTMAP_2D__QUORVANE_COSTMAP_2D_ROS_HPP_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav2_costmap_2d/quorvane_static_map_layer.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"

namespace nav2_costmap_2d
{

// A costmap lifecycle node in the manner of nav2's Costmap2DROS: a master Costmap2D inside a
// LayeredCostmap, filled by a static-map layer from an OccupancyGrid topic, with the robot's
// frames, footprint and a TF buffer for the grid-map plugins that share it.
//
// Parameters (declared by the constructor, read by configure):
//   global_frame "map", robot_base_frame "base_link", transform_tolerance 0.3 (s),
//   footprint "[]" ("[[x, y], ...]"; when empty or invalid a circle of robot_radius is used),
//   robot_radius 0.1, footprint_padding 0.01, resolution 0.05, width 5 and height 5 (integer
//   metres), origin_x 0.0, origin_y 0.0, use_static_map true, map_topic "map" (relative to the
//   node's namespace), track_unknown_space true, trinary_costmap false,
//   lethal_cost_threshold 100, unknown_cost_value 255.
//
// The map topic is subscribed reliable and transient local, so a map published before
// configure still arrives. The map callback runs on whatever spins this node (for example a
// QuorvaneNodeThread); TF arrives through a listener with its own thread.
//
// The LayeredCostmap, and so the master costmap, is created by the first configure and kept
// until the node is destroyed: grid-map plugins keep a plain pointer to the master costmap.
class QuorvaneCostmap2DROS : public nav2_util::LifecycleNode
{
public:
  // The node is `name` in namespace add_namespaces(parent_namespace, local_namespace).
  // `options` adds parameter overrides and the like; the global ROS arguments still apply.
  QuorvaneCostmap2DROS(
    const std::string & name,
    const std::string & parent_namespace,
    const std::string & local_namespace,
    const rclcpp::NodeOptions & options = rclcpp::NodeOptions());
  ~QuorvaneCostmap2DROS() override;

  nav2_util::CallbackReturn on_configure(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_activate(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_deactivate(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_cleanup(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_shutdown(const rclcpp_lifecycle::State & state) override;

  // False until configured, then whatever the layered costmap says.
  bool isCurrent();
  // The robot base frame's origin in the global frame, waiting up to the transform tolerance.
  bool getRobotPose(geometry_msgs::msg::PoseStamped & global_pose);

  std::string getName() const;
  double getTransformTolerance() const;
  std::string getGlobalFrameID();
  std::string getBaseFrameID();
  // Null until the first configure.
  LayeredCostmap * getLayeredCostmap();
  Costmap2D * getCostmap();
  std::shared_ptr<tf2_ros::Buffer> getTfBuffer();

  // The padded footprint, in the robot base frame.
  std::vector<geometry_msgs::msg::Point> getRobotFootprint();
  std::vector<geometry_msgs::msg::Point> getUnpaddedRobotFootprint();
  // Replaces the footprint; the padding of the last configure is applied.
  void setRobotFootprint(const std::vector<geometry_msgs::msg::Point> & points);
  bool getUseRadius();
  double getRobotRadius();

private:
  void declareParameters();
  void readParameters();
  // The costmap's size in cells for the size and resolution parameters; empty, after an ERROR
  // naming the parameters, where they give no costmap the master costmap's cell indices address.
  std::optional<std::pair<unsigned int, unsigned int>> sizeInCells() const;
  void createCostmapOnce();
  void startTransformListener();
  void subscribeToMap();
  void applyFootprintParameters();
  void releaseConnections();

  const std::string name_;

  std::string global_frame_;
  std::string robot_base_frame_;
  double transform_tolerance_{0.3};
  std::string footprint_param_;
  double robot_radius_{0.1};
  double footprint_padding_{0.01};
  double resolution_{0.05};
  int64_t width_{5};
  int64_t height_{5};
  double origin_x_{0.0};
  double origin_y_{0.0};
  std::string map_topic_;
  QuorvaneStaticMapLayer::Settings layer_settings_;

  // Shared with the map callback, so a callback still running on an executor thread keeps
  // them alive while the node goes away.
  std::shared_ptr<LayeredCostmap> layered_costmap_;
  std::shared_ptr<QuorvaneStaticMapLayer> static_layer_;

  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::unique_ptr<tf2_ros::TransformListener> tf_listener_;
  rclcpp::Subscription<nav_msgs::msg::OccupancyGrid>::SharedPtr map_sub_;

  std::mutex footprint_mutex_;
  bool use_radius_{true};
  std::vector<geometry_msgs::msg::Point> unpadded_footprint_;
  std::vector<geometry_msgs::msg::Point> padded_footprint_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__QUORVANE_COSTMAP_2D_ROS_HPP_
