#include "quorvane_nav2_gridmap/grid_map.hpp"

#include <utility>

namespace quorvane_nav2_gridmap
{

namespace
{

[[noreturn]] void throwNotImplemented()
{
  throw std::runtime_error("Not Implemented");
}

}  // namespace

void GridMap::initialize(
  std::string name, const std::weak_ptr<rclcpp_lifecycle::LifecycleNode> & node,
  std::string global_frame, std::shared_ptr<rclcpp::CallbackGroup> callback_group,
  nav2_costmap_2d::Costmap2D * costmap, std::shared_ptr<tf2_ros::Buffer> tf_buffer)
{
  name_ = std::move(name);
  tf_buffer_ = std::move(tf_buffer);
  node_ = node;
  global_frame_ = std::move(global_frame);
  callback_group_ = std::move(callback_group);
  costmap_ = costmap;
  onInitialize();
}

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> GridMap::lockNode() const
{
  auto node = node_.lock();
  if (!node) {
    throw std::runtime_error("Failed to lock node");
  }
  return node;
}

unsigned int GridMap::getCost(unsigned int, unsigned int, bool)
{
  throwNotImplemented();
}

bool GridMap::inRisk(unsigned int, unsigned int, int)
{
  throwNotImplemented();
}

bool GridMap::inDanger(unsigned int, unsigned int, int)
{
  throwNotImplemented();
}

bool GridMap::inNarrowPassage(unsigned int, unsigned int, int)
{
  throwNotImplemented();
}

bool GridMap::inPriorityPassage(unsigned int, unsigned int, int)
{
  throwNotImplemented();
}

bool GridMap::hasPriorityPassage()
{
  return false;
}

float GridMap::getPriorityPassageBoundaryDist(unsigned int, unsigned int)
{
  return 0.0f;
}

bool GridMap::inPeril(unsigned int, unsigned int, int)
{
  throwNotImplemented();
}

double GridMap::getDistance(unsigned int, unsigned int)
{
  return 0.0;
}

bool GridMap::getObstacleType(unsigned int, unsigned int, ObsTypeBitMap &) const
{
  return false;
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> GridMap::distanceToBiCostmap(bool)
{
  throwNotImplemented();
}

bool GridMap::callbackOnMapChange(std::string_view)
{
  return true;
}

}  // namespace quorvane_nav2_gridmap
