#ifndef QUORVANE_NAV2_GRIDMAP__GRIDMAP_ROS_HPP_
#define QUORVANE_NAV2_GRIDMAP__GRIDMAP_ROS_HPP_

// The lifecycle node through which a host uses the library: it owns and spins a costmap node,
// loads the configured grid-map plugins into a MultiGridMap, serves their callbacks on a thread
// of its own, offers the load_map service and the robot's pose.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/quorvane_costmap_2d_ros.hpp"
#include "nav2_msgs/srv/load_map.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav2_util/quorvane_node_thread.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap/grid_map.hpp"
#include "quorvane_nav2_gridmap/multi_grid_map.hpp"

namespace quorvane_nav2_gridmap
{

class GridMapROS : public nav2_util::LifecycleNode
{
public:
  // The node is name_gridmap in namespace add_namespaces(ns, name_gridmap); its costmap node is
  // name_costmap. Hosts own it through a std::shared_ptr: configure needs shared_from_this().
  GridMapROS(const std::string & name, const std::string & ns);
  ~GridMapROS() override;

  // Configures and spins the costmap node, loads and initialises the plugins, starts their
  // executor thread and offers load_map. A configure after cleanup loads fresh plugins with the
  // parameter values the node holds by then. A failure (among others a plugin listed twice or
  // without its "<name>.plugin" class) is logged and passes as an exception, leaving the costmap
  // node unconfigured and the previous plugins, executor and service in place.
  nav2_util::CallbackReturn on_configure(const rclcpp_lifecycle::State & state) override;
  // These only forward the transition to the costmap node.
  nav2_util::CallbackReturn on_cleanup(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_shutdown(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_activate(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_deactivate(const rclcpp_lifecycle::State & state) override;

  // Blocks until the costmap is current (or the ROS context shuts down), polling at 100 Hz and
  // logging a CRITICAL line after every 101 failed polls.
  void waitForCostmap();
  // Reads "plugins" and each plugin's "<name>.plugin" type. A name listed twice, or one whose
  // class is not set, throws std::runtime_error naming the plugin; an empty list is a WARN.
  void getParameters();
  // The robot base frame's latest pose in `frame`; false (with an ERROR line) before the costmap
  // node is configured, as it has no transform buffer yet.
  bool getRobotPoseInFrameId(geometry_msgs::msg::PoseStamped & pose, const std::string & frame);
  // The robot pose turned by half a turn about z, in the costmap's global frame; false as above.
  bool getInvertedRobotPose(geometry_msgs::msg::PoseStamped & pose);
  // The load_map handler: tells every plugin of the new map; the response stays as constructed.
  // A request answered while a configure runs also reaches the plugins that configure installs.
  void map_change_callback(
    const std::shared_ptr<rmw_request_id_s> request_header,
    const std::shared_ptr<nav2_msgs::srv::LoadMap::Request> request,
    std::shared_ptr<nav2_msgs::srv::LoadMap::Response> response);

private:
  std::unique_ptr<nav2_util::QuorvaneNodeThread> costmap_thread_;

public:
  std::shared_ptr<nav2_costmap_2d::QuorvaneCostmap2DROS> costmap_ros_;

private:
  std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor_;
  std::unique_ptr<nav2_util::QuorvaneNodeThread> executor_thread_;

public:
  std::shared_ptr<MultiGridMap> multi_grid_map_;

private:
  void configureCostmap();
  void startCostmapThread();
  // Undoes the costmap part of a configure that failed later on.
  void stopCostmap();
  nav2_costmap_2d::Costmap2D * masterCostmap();
  // Throws when the plugin list cannot be loaded as it stands.
  void checkPluginList(const std::shared_ptr<nav2_util::LifecycleNode> & node) const;
  // Every plugin created goes into `created` first, so that the caller decides when one that
  // failed to initialise is destroyed.
  void loadPlugins(
    MultiGridMap & holder, const std::shared_ptr<rclcpp::CallbackGroup> & group,
    std::vector<std::shared_ptr<GridMap>> & created);
  // Replaces the running plugins, their group and executor by those a configure has just built.
  void adoptPlugins(
    std::shared_ptr<MultiGridMap> holder, std::shared_ptr<rclcpp::CallbackGroup> group,
    std::shared_ptr<rclcpp::executors::SingleThreadedExecutor> executor);
  void offerLoadMapService();
  // From here until the new plugins are in place (or the configure fails), load_map requests are
  // kept for them too.
  void startKeepingMapChanges();
  void stopKeepingMapChanges();

  // Guards multi_grid_map_ and the kept map changes between the configuring thread and the
  // load_map handler.
  std::mutex holder_mutex_;
  bool keeping_map_changes_{false};
  std::vector<std::string> kept_map_urls_;

  std::vector<std::string> plugin_names_;
  std::vector<std::string> plugin_types_;
  std::shared_ptr<rclcpp::CallbackGroup> callback_group_;
  pluginlib::ClassLoader<GridMap> plugin_loader_;
  std::shared_ptr<rclcpp::CallbackGroup> service_callback_group_;
  std::shared_ptr<rclcpp::Service<nav2_msgs::srv::LoadMap>> load_map_service_;
};

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__GRIDMAP_ROS_HPP_
