#ifndef QUORVANE_NAV2_GRIDMAP__GRID_OBSTACLE_TYPE_HPP_
#define QUORVANE_NAV2_GRIDMAP__GRID_OBSTACLE_TYPE_HPP_

// The obstacle-type grid map plugin: every update rebuilds a grid of obstacle-category bits from
// the depth cameras' observations and the current map's narrow-corridor and priority-passage zones.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

#include "nav_msgs/msg/occupancy_grid.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp_lifecycle/lifecycle_publisher.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros_options.hpp"
#include "quorvane_nav2_gridmap/grid_map.hpp"
#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"
#include "quorvane_nav2_gridmap/zone_layer.hpp"
#include "quorvane_nav2_gridmap/zone_window.hpp"

namespace quorvane_nav2_gridmap
{

class GridObstacleType : public GridMap
{
public:
  using Zones = std::vector<std::shared_ptr<plane_object::Base>>;

  GridObstacleType();
  ~GridObstacleType() override = default;

  void onInitialize() override;
  void updateMap() override;

  // A cell outside the grid answers as an empty cell: no bits, in no passage, distance 0, and
  // getObstacleType false.
  bool inNarrowPassage(unsigned int mx, unsigned int my, int r) override;
  bool inPriorityPassage(unsigned int mx, unsigned int my, int r) override;
  bool hasPriorityPassage() override;
  float getPriorityPassageBoundaryDist(unsigned int mx, unsigned int my) override;
  bool getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap & bits) const override;
  // Only records the change: the next update reloads the zones of the map the map directory names.
  bool callbackOnMapChange(std::string_view map_url) override;

  // Fills the pipeline-wide options from the plugin's parameters.
  void getOptions(costmap_depth_camera::FrustumObservationRosOptions & options);
  // Fills one source's options from its parameters, each defaulting to the value in `defaults`.
  bool getObservationSourceConfig(
    const std::string & source, const costmap_depth_camera::FrustumObservationOptions & defaults,
    costmap_depth_camera::FrustumObservationOptions & options);
  // Reads "observation_sources" and hands every listed source to the pipeline.
  void getSourceParametersAndCreateObservation(
    std::shared_ptr<costmap_depth_camera::FrustumObservationRos> frustum_observation);

private:
  // The costmap's window as one consistent reading: the costmap thread may resize it meanwhile.
  struct CostmapWindow
  {
    unsigned int size_x;
    unsigned int size_y;
    double resolution;
    double origin_x;
    double origin_y;
    double centre_x;
    double centre_y;
  };
  CostmapWindow readCostmapWindow() const;

  template<typename T>
  void declareAndGet(const std::string & key, const T & default_value, T & value);
  template<typename T>
  T declareAndGet(const std::string & key, const T & default_value);

  // Says at configure what the camera's frustum will make of one listed source's settings, and
  // refuses those it can make nothing of.
  void checkFrustumSettings(
    const std::string & source,
    const costmap_depth_camera::ObservationBufferOptions & options) const;
  // Reads the map directory's parameters and warns when the directory does not exist.
  void readMapDirectoryParameters();
  // Loads the zones of the map the map directory names and draws them onto a layer on the
  // window's lattice.
  void loadZones(const CostmapWindow & window);
  void addToZoneLayer(plane_object::Base & zone);
  // Moves the zone window with the costmap's, drawing the layer again when the window has left
  // its lattice.
  void followZones(const CostmapWindow & window);
  bool isInsideGrid(unsigned int mx, unsigned int my) const;
  // The bits the zones give a cell of the grid, and the cell's bits with them.
  ObsTypeBitMap zoneBitsAt(unsigned int mx, unsigned int my) const;
  ObsTypeBitMap cellBits(unsigned int mx, unsigned int my) const;
  // Calls `visit(mx, my, wx, wy)` for every zone cell whose centre lies on the grid.
  template<typename Visitor>
  void walkZoneCells(const Zones & zones, Visitor && visit) const;
  void computePassageDistances();
  // The passage cells' bounding box grown by one cell, within the grid.
  cv::Rect passageBox(int rows, int cols) const;

  void publishZoneCloud() const;
  void publishGridView();

  std::shared_ptr<costmap_depth_camera::FrustumObservationRos> frustum_observation_;
  Zones narrow_corridor_objs_;
  Zones priority_passage_objs_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<nav_msgs::msg::OccupancyGrid>>
  trace_merge_pub_;
  bool enable_trace_merge_map_{false};
  std::shared_ptr<ObsTypeGridMap> obs_type_grid_map_;
  bool grid_updated_{false};
  bool has_priority_passage_{false};
  cv::Mat priority_passage_dist_map_;
  std::filesystem::path map_path_str_;
  std::filesystem::path map_id_file_;
  std::filesystem::path map_mark_yaml_file_;
  std::filesystem::path map_meta_yaml_file_;
  std::shared_ptr<rclcpp::Publisher<sensor_msgs::msg::PointCloud2>> mark_objs_pub_;
  std::atomic<bool> map_changed_{false};
  // The bits of semantic category 500, which narrow corridors give their cells.
  ObsTypeBitMap narrow_corridor_bits_;
  ZoneLayer zone_layer_;
  ZoneWindow zone_window_;
  // Working state of the passage distances, kept so that a distance query after an update that
  // changed neither the zones nor the window recomputes nothing and one after an update that did
  // allocates nothing new.
  bool passage_distances_stale_{true};
  std::vector<cv::Point> passage_cells_;
  cv::Rect passage_box_;
  std::vector<std::uint8_t> passage_mask_buffer_;
};

// Logs the map coordinates of every priority-passage zone, one line per zone.
void logPriorityPassageCoordinates(
  const std::string & plugin_name, const GridObstacleType::Zones & zones);

}  // namespace quorvane_nav2_gridmap

#endif  // QUORVANE_NAV2_GRIDMAP__GRID_OBSTACLE_TYPE_HPP_
