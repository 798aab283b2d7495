// Copyright (c) 2026 Quorvane
// All rights reserved.

#ifndef NAV2_COSTMAP_2D__QUORVANE_STATIC_MAP_LAYER_HPP_
#define NAV2_COSTMAP_2D__QUORVANE_STATIC_MAP_LAYER_HPP_

#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layer.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/logger.hpp"

namespace nav2_costmap_2d
{

// The costmap node's static-map layer: turns an OccupancyGrid into costs the way nav2's static
// layer does, gives the master costmap the map's size, resolution and origin, and is current
// while active with a map (or while active at all when no static map is wanted).
class QuorvaneStaticMapLayer : public Layer
{
public:
  struct Settings
  {
    bool use_static_map{true};
    bool track_unknown_space{true};
    bool trinary_costmap{false};
    int lethal_cost_threshold{100};
    unsigned char unknown_cost_value{NO_INFORMATION};
  };

  QuorvaneStaticMapLayer(LayeredCostmap & layered_costmap, const rclcpp::Logger & logger);

  // Takes new settings and forgets the map held so far.
  void configure(const Settings & settings);

  // Interprets the map and writes it into the master costmap at once; a malformed map is
  // logged and ignored. Safe to call from an executor thread while the host reads the costmap.
  void processMap(const nav_msgs::msg::OccupancyGrid & map);

  // The cost nav2's static layer gives an occupancy value (as the unsigned byte of the int8).
  unsigned char interpretValue(unsigned char value) const;

  void activate() override;
  void deactivate() override;
  void reset() override;
  bool isClearable() override;
  void updateBounds(
    double robot_x, double robot_y, double robot_yaw,
    double * min_x, double * min_y, double * max_x, double * max_y) override;
  void updateCosts(Costmap2D & master_grid, int min_i, int min_j, int max_i, int max_j) override;

private:
  bool isWellFormed(const nav_msgs::msg::OccupancyGrid & map) const;
  void matchMasterToMap(const nav_msgs::msg::OccupancyGrid & map);
  void refreshCurrent();
  Costmap2D::mutex_t & masterMutex();

  LayeredCostmap & layered_;
  rclcpp::Logger log_;
  // Everything below is guarded by the master costmap's mutex, which every writer holds anyway.
  Settings settings_;
  bool active_{false};
  bool has_map_{false};
  nav_msgs::msg::MapMetaData map_info_;
  std::vector<unsigned char> costs_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__QUORVANE_STATIC_MAP_LAYER_HPP_
