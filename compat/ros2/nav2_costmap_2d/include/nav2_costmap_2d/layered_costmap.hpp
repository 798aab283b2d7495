#ifndef NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
#define NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_

// The master costmap and the layers (and filters) that write into it, plus the robot footprint
// every layer shares. Layers are added by the costmap node that owns this object.

#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/layer.hpp"

namespace nav2_costmap_2d
{

class LayeredCostmap
{
public:
  // Both costmaps start empty with default NO_INFORMATION when tracking unknown space, else
  // FREE_SPACE; radii are 0.1 / 1.0 until a footprint is set.
  LayeredCostmap(std::string global_frame, bool rolling_window, bool track_unknown);
  ~LayeredCostmap();

  // One update cycle: recentres a rolling window, collects the layers' bounds and lets each
  // layer write its costs into that area.
  void updateMap(double robot_x, double robot_y, double robot_yaw);

  std::string getGlobalFrameID() const {return global_frame_;}

  void resizeMap(
    unsigned int size_x, unsigned int size_y, double resolution, double origin_x,
    double origin_y, bool size_locked = false);

  void getUpdatedBounds(double & minx, double & miny, double & maxx, double & maxy)
  {
    minx = minx_;
    miny = miny_;
    maxx = maxx_;
    maxy = maxy_;
  }

  // True when every enabled layer and filter is current (so with none at all).
  bool isCurrent();

  Costmap2D * getCostmap() {return &combined_costmap_;}
  bool isRolling() {return rolling_window_;}
  bool isTrackingUnknown() {return combined_costmap_.getDefaultValue() == NO_INFORMATION;}

  std::vector<std::shared_ptr<Layer>> * getPlugins() {return &plugins_;}
  std::vector<std::shared_ptr<Layer>> * getFilters() {return &filters_;}
  void addPlugin(std::shared_ptr<Layer> plugin);
  void addFilter(std::shared_ptr<Layer> filter);

  bool isSizeLocked() {return size_locked_;}

  void getBounds(unsigned int * x0, unsigned int * xn, unsigned int * y0, unsigned int * yn)
  {
    *x0 = bx0_;
    *xn = bxn_;
    *y0 = by0_;
    *yn = byn_;
  }

  bool isInitialized() {return initialized_;}

  // Stores the footprint, recomputes the radii and tells every layer.
  void setFootprint(const std::vector<geometry_msgs::msg::Point> & footprint_spec);
  const std::vector<geometry_msgs::msg::Point> & getFootprint() {return footprint_;}
  double getCircumscribedRadius() {return circumscribed_radius_;}
  double getInscribedRadius() {return inscribed_radius_;}

  bool isOutofBounds(double robot_x, double robot_y);

private:
  void collectBounds(
    std::vector<std::shared_ptr<Layer>> & layers, double robot_x, double robot_y,
    double robot_yaw);

  // Layers write into primary_costmap_ when filters exist; filters then adjust a copy of it
  // in combined_costmap_, which is what users read.
  Costmap2D primary_costmap_;
  Costmap2D combined_costmap_;
  std::string global_frame_;
  bool rolling_window_;
  bool current_;
  double minx_, miny_, maxx_, maxy_;
  unsigned int bx0_, bxn_, by0_, byn_;
  std::vector<std::shared_ptr<Layer>> plugins_;
  std::vector<std::shared_ptr<Layer>> filters_;
  bool initialized_;
  bool size_locked_;
  double circumscribed_radius_;
  double inscribed_radius_;
  std::vector<geometry_msgs::msg::Point> footprint_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__LAYERED_COSTMAP_HPP_
