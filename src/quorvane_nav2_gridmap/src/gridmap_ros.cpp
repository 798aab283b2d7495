#include "quorvane_nav2_gridmap/gridmap_ros.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_util/node_utils.hpp"
#include "nav2_util/robot_utils.hpp"
#include "nav_2d_utils/tf_help.hpp"

#include "quorvane_nav2_gridmap/logger.hpp"

namespace quorvane_nav2_gridmap
{

namespace
{

using SystemClock = std::chrono::system_clock;

constexpr std::chrono::milliseconds kPollPeriod{10};
constexpr int kPollsPerTimeoutLog = 101;
constexpr double kPi = 3.141592653589793;

struct YawPitchRoll
{
  double yaw;
  double pitch;
  double roll;
};

YawPitchRoll toYawPitchRoll(const geometry_msgs::msg::Quaternion & q)
{
  const double norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  const double s = -2.0 * (q.x * q.z - q.w * q.y) / norm;
  YawPitchRoll angles;
  angles.pitch = std::asin(s);
  angles.roll = std::atan2(
    2.0 * (q.y * q.z + q.w * q.x), q.w * q.w - q.x * q.x - q.y * q.y + q.z * q.z);
  angles.yaw = std::atan2(
    2.0 * (q.x * q.y + q.w * q.z), q.w * q.w + q.x * q.x - q.y * q.y - q.z * q.z);
  return angles;
}

geometry_msgs::msg::Quaternion fromRollPitchYaw(double roll, double pitch, double yaw)
{
  const double hr = roll / 2.0;
  const double hp = pitch / 2.0;
  const double hy = yaw / 2.0;
  geometry_msgs::msg::Quaternion q;
  q.x = std::sin(hr) * std::cos(hp) * std::cos(hy) - std::cos(hr) * std::sin(hp) * std::sin(hy);
  q.y = std::cos(hr) * std::sin(hp) * std::cos(hy) + std::sin(hr) * std::cos(hp) * std::sin(hy);
  q.z = std::cos(hr) * std::cos(hp) * std::sin(hy) - std::sin(hr) * std::sin(hp) * std::cos(hy);
  q.w = std::cos(hr) * std::cos(hp) * std::cos(hy) + std::sin(hr) * std::sin(hp) * std::sin(hy);
  return q;
}

// One step of a 100 Hz rate on the system clock: sleeps until the next period, starting afresh
// when it is late by more than a period and tolerating a clock that steps backwards.
void sleepUntilNextPoll(SystemClock::time_point & last)
{
  const auto now = SystemClock::now();
  const auto next = last + kPollPeriod;
  if (now < last) {
    rclcpp::sleep_for(kPollPeriod);
    last += kPollPeriod;
  } else if (next > now) {
    rclcpp::sleep_for(next - now);
    last = next;
  } else {
    last = now > last + 2 * kPollPeriod ? now + kPollPeriod : last + kPollPeriod;
  }
}

}  // namespace

GridMapROS::GridMapROS(const std::string & name, const std::string & ns)
: nav2_util::LifecycleNode(
    name + "_gridmap", nav2_util::add_namespaces(ns, name + "_gridmap"), rclcpp::NodeOptions()),
  plugin_loader_(
    "quorvane_nav2_gridmap", "quorvane_nav2_gridmap::GridMap", "plugin", std::vector<std::string>())
{
  declare_parameter(
    "plugins", rclcpp::ParameterValue(std::vector<std::string>()),
    rcl_interfaces::msg::ParameterDescriptor(), false);
  costmap_ros_ = std::make_shared<nav2_costmap_2d::QuorvaneCostmap2DROS>(
    name + "_costmap", ns, name + "_costmap");
}

GridMapROS::~GridMapROS()
{
  // No plugin callback may run while its plugin is destroyed, and the plugins must go while the
  // loader that created them still exists.
  executor_thread_.reset();
  std::shared_ptr<MultiGridMap> plugins;
  {
    std::lock_guard<std::mutex> lock(holder_mutex_);
    plugins.swap(multi_grid_map_);
  }
  costmap_thread_.reset();
  plugins.reset();
}

nav2_util::CallbackReturn GridMapROS::on_configure(const rclcpp_lifecycle::State &)
{
  const std::vector<std::string> previous_names = plugin_names_;
  const std::vector<std::string> previous_types = plugin_types_;
  // Everything new is built beside the running plugins and replaces them only once complete, so
  // a failure leaves the node as it was. Declared out here: what a failed configure built must
  // outlive the costmap thread.
  std::shared_ptr<MultiGridMap> holder;
  std::vector<std::shared_ptr<GridMap>> created;
  startKeepingMapChanges();
  try {
    configureCostmap();
    startCostmapThread();
    getParameters();
    auto group = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
    holder = std::make_shared<MultiGridMap>(masterCostmap());
    loadPlugins(*holder, group, created);
    created.clear();
    auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
    executor->add_callback_group(group, get_node_base_interface(), true);
    if (!load_map_service_) {
      offerLoadMapService();
    }
    adoptPlugins(std::move(holder), std::move(group), std::move(executor));
  } catch (const std::exception & error) {
    QLOG_ERROR("{} failed to configure: {}", get_name(), error.what());
    plugin_names_ = previous_names;
    plugin_types_ = previous_types;
    stopKeepingMapChanges();
    stopCostmap();
    created.clear();
    holder.reset();
    throw;
  }
  return nav2_util::CallbackReturn::SUCCESS;
}

void GridMapROS::configureCostmap()
{
  // A costmap node that fails its own configure keeps the costmap of an earlier one, but no map
  // or transform reaches it any more.
  if (costmap_ros_->configure().id() != lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE) {
    throw std::runtime_error("costmap node " + costmap_ros_->getName() + " failed to configure");
  }
}

void GridMapROS::startCostmapThread()
{
  // A node is spun by one thread at a time, so the previous thread ends before the new one starts.
  costmap_thread_.reset();
  costmap_thread_ = std::make_unique<nav2_util::QuorvaneNodeThread>(
    costmap_ros_->get_node_base_interface());
}

void GridMapROS::stopCostmap()
{
  costmap_thread_.reset();
  if (costmap_ros_->get_current_state().id() ==
    lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE)
  {
    costmap_ros_->cleanup();
  }
}

void GridMapROS::loadPlugins(
  MultiGridMap & holder, const std::shared_ptr<rclcpp::CallbackGroup> & group,
  std::vector<std::shared_ptr<GridMap>> & created)
{
  nav2_costmap_2d::Costmap2D * master_costmap = masterCostmap();
  for (std::uint32_t i = 0; i < plugin_names_.size(); ++i) {
    created.push_back(plugin_loader_.createUniqueInstance(plugin_types_[i]));
    const std::shared_ptr<GridMap> & plugin = created.back();
    plugin->initialize(
      plugin_names_[i], std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(shared_from_this()),
      costmap_ros_->getGlobalFrameID(), group, master_costmap, costmap_ros_->getTfBuffer());
    holder.addGridMap(plugin);
  }
}

nav2_costmap_2d::Costmap2D * GridMapROS::masterCostmap()
{
  // A costmap node that failed to configure has no costmap to hand to the plugins.
  auto * layered_costmap = costmap_ros_->getLayeredCostmap();
  if (layered_costmap == nullptr || layered_costmap->getCostmap() == nullptr) {
    throw std::runtime_error(
            "costmap node " + costmap_ros_->getName() + " has no costmap after configure");
  }
  return layered_costmap->getCostmap();
}

void GridMapROS::adoptPlugins(
  std::shared_ptr<MultiGridMap> holder, std::shared_ptr<rclcpp::CallbackGroup> group,
  std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor)
{
  // The previous plugins' callbacks stop before those plugins are released.
  executor_thread_.reset();
  std::vector<std::string> kept_map_urls;
  {
    std::lock_guard<std::mutex> lock(holder_mutex_);
    multi_grid_map_.swap(holder);
    keeping_map_changes_ = false;
    kept_map_urls.swap(kept_map_urls_);
  }
  // Requests answered while the new plugins read their map files may have reached only the old.
  for (const std::string & map_url : kept_map_urls) {
    multi_grid_map_->callbackOnMapChange(std::string_view(map_url));
  }
  // The old plugins may go while the costmap node spins: a transform answer for one of their
  // camera filters ends at the filter's gate.
  holder.reset();
  callback_group_ = std::move(group);
  executor_ = std::move(executor);
  executor_thread_ = std::make_unique<nav2_util::QuorvaneNodeThread>(executor_);
}

void GridMapROS::startKeepingMapChanges()
{
  std::lock_guard<std::mutex> lock(holder_mutex_);
  keeping_map_changes_ = true;
  kept_map_urls_.clear();
}

void GridMapROS::stopKeepingMapChanges()
{
  std::lock_guard<std::mutex> lock(holder_mutex_);
  keeping_map_changes_ = false;
  kept_map_urls_.clear();
}

void GridMapROS::offerLoadMapService()
{
  // The service lives as long as the node and outlasts reconfigurations, so a request is never
  // lost to a configure; the handler holds the node only while it runs.
  const std::weak_ptr<GridMapROS> node =
    std::static_pointer_cast<GridMapROS>(shared_from_this());
  service_callback_group_ = create_callback_group(rclcpp::CallbackGroupType::Reentrant, true);
  load_map_service_ = create_service<nav2_msgs::srv::LoadMap>(
    "load_map",
    [node](
      const std::shared_ptr<rmw_request_id_s> header,
      const std::shared_ptr<nav2_msgs::srv::LoadMap::Request> request,
      std::shared_ptr<nav2_msgs::srv::LoadMap::Response> response) {
      if (auto self = node.lock()) {
        self->map_change_callback(header, request, response);
      }
    },
    rmw_qos_profile_services_default, service_callback_group_);
}

nav2_util::CallbackReturn GridMapROS::on_cleanup(const rclcpp_lifecycle::State &)
{
  costmap_ros_->cleanup();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn GridMapROS::on_shutdown(const rclcpp_lifecycle::State &)
{
  costmap_ros_->shutdown();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn GridMapROS::on_activate(const rclcpp_lifecycle::State &)
{
  costmap_ros_->activate();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn GridMapROS::on_deactivate(const rclcpp_lifecycle::State &)
{
  costmap_ros_->deactivate();
  return nav2_util::CallbackReturn::SUCCESS;
}

void GridMapROS::getParameters()
{
  rclcpp::Parameter plugins("plugins", plugin_names_);
  get_parameter("plugins", plugins);
  plugin_names_ = plugins.get_value<std::vector<std::string>>();
  auto node = shared_from_this();
  checkPluginList(node);
  plugin_types_.resize(plugin_names_.size());
  for (size_t i = 0; i < plugin_names_.size(); ++i) {
    plugin_types_[i] = nav2_util::get_plugin_type_param(node, plugin_names_[i]);
  }
}

void GridMapROS::checkPluginList(const std::shared_ptr<nav2_util::LifecycleNode> & node) const
{
  const std::string node_name = node->get_node_base_interface()->get_fully_qualified_name();
  if (plugin_names_.empty()) {
    // The usual cause is a parameter file whose node key is not this node's full name.
    QLOG_WARN(
      "parameter 'plugins' of node {} is empty: no grid map is loaded and every query will throw; "
      "a parameter file lists them under the node key {}", node_name, node_name);
    return;
  }
  for (auto name = plugin_names_.begin(); name != plugin_names_.end(); ++name) {
    // A second instance under the same name would share the first one's parameters and
    // subscribe its cameras a second time.
    if (std::find(plugin_names_.begin(), name, *name) != name) {
      throw std::runtime_error(
              "grid-map plugin '" + *name + "' is listed more than once in parameter 'plugins'");
    }
    // nav2_util::get_plugin_type_param ends the process when the class is missing.
    const std::string class_parameter = *name + ".plugin";
    nav2_util::declare_parameter_if_not_declared(
      node, class_parameter, rclcpp::ParameterType::PARAMETER_STRING);
    rclcpp::Parameter plugin_class;
    if (!node->get_parameter(class_parameter, plugin_class)) {
      throw std::runtime_error(
              "grid-map plugin '" + *name + "' has no class: parameter '" + class_parameter +
              "' of node " + node_name + " is not set");
    }
  }
}

void GridMapROS::waitForCostmap()
{
  auto last = SystemClock::now();
  int countdown = kPollsPerTimeoutLog;
  while (true) {
    auto * layered_costmap = costmap_ros_->getLayeredCostmap();
    if (layered_costmap != nullptr && layered_costmap->isCurrent()) {
      return;
    }
    // Nothing will make the costmap current once ROS has shut down.
    if (!rclcpp::ok()) {
      return;
    }
    sleepUntilNextPoll(last);
    if (--countdown == 0) {
      QLOG_CRITICAL("Timeout waiting for costmap to be valid");
      countdown = kPollsPerTimeoutLog;
    }
  }
}

bool GridMapROS::getRobotPoseInFrameId(
  geometry_msgs::msg::PoseStamped & pose, const std::string & frame)
{
  if (!costmap_ros_->getTfBuffer()) {
    QLOG_ERROR(
      "no robot pose: costmap node {} has no transform buffer until the node is configured",
      costmap_ros_->get_name());
    return false;
  }
  return nav2_util::getCurrentPose(
    pose, *costmap_ros_->getTfBuffer(), frame, costmap_ros_->getBaseFrameID(),
    costmap_ros_->getTransformTolerance(), rclcpp::Time(std::int64_t{0}, RCL_SYSTEM_TIME));
}

bool GridMapROS::getInvertedRobotPose(geometry_msgs::msg::PoseStamped & pose)
{
  if (!costmap_ros_->getTfBuffer()) {
    QLOG_ERROR(
      "no inverted robot pose: costmap node {} has no transform buffer until the node is "
      "configured", costmap_ros_->get_name());
    return false;
  }
  geometry_msgs::msg::PoseStamped robot;
  robot.pose.orientation.w = 1.0;
  getRobotPoseInFrameId(robot, costmap_ros_->getBaseFrameID());
  pose.header = robot.header;
  pose.pose = robot.pose;

  const YawPitchRoll angles = toYawPitchRoll(robot.pose.orientation);
  pose.pose.orientation = fromRollPitchYaw(angles.roll, angles.pitch, angles.yaw + kPi);

  rclcpp::Duration tolerance = rclcpp::Duration::from_seconds(
    costmap_ros_->getTransformTolerance());
  return nav_2d_utils::transformPose(
    costmap_ros_->getTfBuffer(), costmap_ros_->getGlobalFrameID(), pose, pose, tolerance);
}

void GridMapROS::map_change_callback(
  const std::shared_ptr<rmw_request_id_s>,
  const std::shared_ptr<nav2_msgs::srv::LoadMap::Request> request,
  std::shared_ptr<nav2_msgs::srv::LoadMap::Response>)
{
  std::shared_ptr<MultiGridMap> plugins;
  {
    std::lock_guard<std::mutex> lock(holder_mutex_);
    // A copy: a configure may replace the holder while the plugins hear of the map.
    plugins = multi_grid_map_;
    if (keeping_map_changes_) {
      kept_map_urls_.push_back(request->map_url);
    }
  }
  if (plugins) {
    plugins->callbackOnMapChange(std::string_view(request->map_url));
  }
}

}  // namespace quorvane_nav2_gridmap
