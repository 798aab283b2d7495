#include "nav2_costmap_2d/layer.hpp"

#include <string>
#include <vector>

#include "nav2_costmap_2d/layered_costmap.hpp"

namespace nav2_costmap_2d
{

Layer::Layer()
: layered_costmap_(nullptr), name_(), tf_(nullptr), current_(false), enabled_(false)
{
}

void Layer::initialize(
  LayeredCostmap * parent, std::string name, tf2_ros::Buffer * tf,
  const std::weak_ptr<nav2_util::LifecycleNode> & node,
  std::shared_ptr<rclcpp::CallbackGroup> callback_group)
{
  layered_costmap_ = parent;
  name_ = name;
  tf_ = tf;
  node_ = node;
  callback_group_ = callback_group;
  onInitialize();
}

const std::vector<geometry_msgs::msg::Point> & Layer::getFootprint() const
{
  return layered_costmap_->getFootprint();
}

std::string Layer::getFullName(const std::string & param_name)
{
  return name_ + "." + param_name;
}

}  // namespace nav2_costmap_2d
