// Copyright (c) 2026 Quorvane
// All rights reserved.

#include "nav2_costmap_2d/quorvane_costmap_2d_ros.hpp"

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_util/node_utils.hpp"
#include "nav2_util/robot_utils.hpp"
#include "tf2_ros/create_timer_ros.h"

namespace nav2_costmap_2d
{

QuorvaneCostmap2DROS::QuorvaneCostmap2DROS(
  const std::string & name,
  const std::string & parent_namespace,
  const std::string & local_namespace,
  const rclcpp::NodeOptions & options)
: nav2_util::LifecycleNode(
    name, nav2_util::add_namespaces(parent_namespace, local_namespace), options),
  name_(name)
{
  declareParameters();
}

QuorvaneCostmap2DROS::~QuorvaneCostmap2DROS()
{
  // The base destructor can only run the base class's transitions; stop our inputs here.
  releaseConnections();
  tf_listener_.reset();
}

nav2_util::CallbackReturn QuorvaneCostmap2DROS::on_configure(
  const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Configuring");
  readParameters();
  createCostmapOnce();
  static_layer_->configure(layer_settings_);
  layered_costmap_->resizeMap(
    static_cast<unsigned int>(width_ / resolution_),
    static_cast<unsigned int>(height_ / resolution_),
    resolution_, origin_x_, origin_y_);
  applyFootprintParameters();
  startTransformListener();
  subscribeToMap();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn QuorvaneCostmap2DROS::on_activate(
  const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Activating");
  static_layer_->activate();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn QuorvaneCostmap2DROS::on_deactivate(
  const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Deactivating");
  static_layer_->deactivate();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn QuorvaneCostmap2DROS::on_cleanup(
  const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Cleaning up");
  releaseConnections();
  static_layer_->reset();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn QuorvaneCostmap2DROS::on_shutdown(
  const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Shutting down");
  releaseConnections();
  tf_listener_.reset();
  if (static_layer_) {
    static_layer_->deactivate();
    static_layer_->reset();
  }
  return nav2_util::CallbackReturn::SUCCESS;
}

bool QuorvaneCostmap2DROS::isCurrent()
{
  return layered_costmap_ && layered_costmap_->isCurrent();
}

bool QuorvaneCostmap2DROS::getRobotPose(geometry_msgs::msg::PoseStamped & global_pose)
{
  if (!tf_buffer_) {
    RCLCPP_ERROR(get_logger(), "Robot pose requested before the costmap was configured");
    return false;
  }
  return nav2_util::getCurrentPose(
    global_pose, *tf_buffer_, global_frame_, robot_base_frame_, transform_tolerance_);
}

std::string QuorvaneCostmap2DROS::getName() const
{
  return name_;
}

double QuorvaneCostmap2DROS::getTransformTolerance() const
{
  return transform_tolerance_;
}

std::string QuorvaneCostmap2DROS::getGlobalFrameID()
{
  return global_frame_;
}

std::string QuorvaneCostmap2DROS::getBaseFrameID()
{
  return robot_base_frame_;
}

LayeredCostmap * QuorvaneCostmap2DROS::getLayeredCostmap()
{
  return layered_costmap_.get();
}

Costmap2D * QuorvaneCostmap2DROS::getCostmap()
{
  return layered_costmap_ ? layered_costmap_->getCostmap() : nullptr;
}

std::shared_ptr<tf2_ros::Buffer> QuorvaneCostmap2DROS::getTfBuffer()
{
  return tf_buffer_;
}

std::vector<geometry_msgs::msg::Point> QuorvaneCostmap2DROS::getRobotFootprint()
{
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return padded_footprint_;
}

std::vector<geometry_msgs::msg::Point> QuorvaneCostmap2DROS::getUnpaddedRobotFootprint()
{
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return unpadded_footprint_;
}

void QuorvaneCostmap2DROS::setRobotFootprint(const std::vector<geometry_msgs::msg::Point> & points)
{
  std::vector<geometry_msgs::msg::Point> padded = points;
  padFootprint(padded, footprint_padding_);
  {
    std::lock_guard<std::mutex> lock(footprint_mutex_);
    unpadded_footprint_ = points;
    padded_footprint_ = padded;
  }
  if (layered_costmap_) {
    layered_costmap_->setFootprint(padded);
  }
}

bool QuorvaneCostmap2DROS::getUseRadius()
{
  std::lock_guard<std::mutex> lock(footprint_mutex_);
  return use_radius_;
}

double QuorvaneCostmap2DROS::getRobotRadius()
{
  return robot_radius_;
}

void QuorvaneCostmap2DROS::declareParameters()
{
  declare_parameter("global_frame", std::string("map"));
  declare_parameter("robot_base_frame", std::string("base_link"));
  declare_parameter("transform_tolerance", 0.3);
  declare_parameter("footprint", std::string("[]"));
  declare_parameter("robot_radius", 0.1);
  declare_parameter("footprint_padding", 0.01);
  declare_parameter("resolution", 0.05);
  declare_parameter("width", 5);
  declare_parameter("height", 5);
  declare_parameter("origin_x", 0.0);
  declare_parameter("origin_y", 0.0);
  declare_parameter("use_static_map", true);
  declare_parameter("map_topic", std::string("map"));
  declare_parameter("track_unknown_space", true);
  declare_parameter("trinary_costmap", false);
  declare_parameter("lethal_cost_threshold", 100);
  declare_parameter("unknown_cost_value", static_cast<int>(NO_INFORMATION));
}

void QuorvaneCostmap2DROS::readParameters()
{
  global_frame_ = get_parameter("global_frame").as_string();
  robot_base_frame_ = get_parameter("robot_base_frame").as_string();
  transform_tolerance_ = get_parameter("transform_tolerance").as_double();
  footprint_param_ = get_parameter("footprint").as_string();
  robot_radius_ = get_parameter("robot_radius").as_double();
  footprint_padding_ = get_parameter("footprint_padding").as_double();
  resolution_ = get_parameter("resolution").as_double();
  width_ = get_parameter("width").as_int();
  height_ = get_parameter("height").as_int();
  origin_x_ = get_parameter("origin_x").as_double();
  origin_y_ = get_parameter("origin_y").as_double();
  map_topic_ = get_parameter("map_topic").as_string();
  layer_settings_.use_static_map = get_parameter("use_static_map").as_bool();
  layer_settings_.track_unknown_space = get_parameter("track_unknown_space").as_bool();
  layer_settings_.trinary_costmap = get_parameter("trinary_costmap").as_bool();
  layer_settings_.lethal_cost_threshold =
    static_cast<int>(get_parameter("lethal_cost_threshold").as_int());
  layer_settings_.unknown_cost_value =
    static_cast<unsigned char>(get_parameter("unknown_cost_value").as_int());

  if (!(resolution_ > 0.0)) {
    throw std::invalid_argument(
            "costmap resolution must be positive, got " + std::to_string(resolution_));
  }
  if (width_ < 0 || height_ < 0) {
    throw std::invalid_argument("costmap width and height must not be negative");
  }
}

void QuorvaneCostmap2DROS::createCostmapOnce()
{
  if (layered_costmap_) {
    // Keep the master costmap where it is; only its contents follow the new parameters.
    layered_costmap_->getCostmap()->setDefaultValue(
      layer_settings_.track_unknown_space ? NO_INFORMATION : FREE_SPACE);
    return;
  }
  layered_costmap_ = std::make_shared<LayeredCostmap>(
    global_frame_, false, layer_settings_.track_unknown_space);
  static_layer_ = std::make_shared<QuorvaneStaticMapLayer>(*layered_costmap_, get_logger());
  layered_costmap_->addPlugin(static_layer_);
}

void QuorvaneCostmap2DROS::startTransformListener()
{
  if (!tf_buffer_) {
    tf_buffer_ = std::make_shared<tf2_ros::Buffer>(get_clock());
    tf_buffer_->setCreateTimerInterface(
      std::make_shared<tf2_ros::CreateTimerROS>(
        get_node_base_interface(), get_node_timers_interface()));
  }
  // Once for the node's life: a listener marks the buffer as served by a dedicated thread with a
  // plain write that camera sources querying the buffer would race with on a reconfigure.
  if (!tf_listener_) {
    tf_listener_ = std::make_unique<tf2_ros::TransformListener>(*tf_buffer_, shared_from_this());
  }
}

void QuorvaneCostmap2DROS::subscribeToMap()
{
  if (!layer_settings_.use_static_map) {
    return;
  }
  // The callback may outlive this node on an executor thread: hold the costmap, not `this`.
  std::weak_ptr<LayeredCostmap> weak_costmap = layered_costmap_;
  std::weak_ptr<QuorvaneStaticMapLayer> weak_layer = static_layer_;
  map_sub_ = create_subscription<nav_msgs::msg::OccupancyGrid>(
    map_topic_, rclcpp::QoS(rclcpp::KeepLast(1)).reliable().transient_local(),
    [weak_costmap, weak_layer](nav_msgs::msg::OccupancyGrid::ConstSharedPtr map) {
      auto costmap = weak_costmap.lock();
      auto layer = weak_layer.lock();
      if (costmap && layer) {
        layer->processMap(*map);
      }
    });
}

void QuorvaneCostmap2DROS::applyFootprintParameters()
{
  std::vector<geometry_msgs::msg::Point> footprint;
  bool use_radius = true;
  if (!footprint_param_.empty() && footprint_param_ != "[]") {
    std::vector<geometry_msgs::msg::Point> parsed;
    if (makeFootprintFromString(footprint_param_, parsed)) {
      footprint = std::move(parsed);
      use_radius = false;
    } else {
      RCLCPP_ERROR(
        get_logger(), "The footprint parameter is invalid: \"%s\", using radius (%lf) instead",
        footprint_param_.c_str(), robot_radius_);
    }
  }
  if (use_radius) {
    footprint = makeFootprintFromRadius(robot_radius_);
  }
  {
    std::lock_guard<std::mutex> lock(footprint_mutex_);
    use_radius_ = use_radius;
  }
  setRobotFootprint(footprint);
}

void QuorvaneCostmap2DROS::releaseConnections()
{
  // The transforms stay: the buffer is shared with camera sources that may still be requesting
  // transforms, and tf2 reads its caches for a request without the lock that clear() takes.
  map_sub_.reset();
}

}  // namespace nav2_costmap_2d
