#ifndef QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_HOST_HPP_
#define QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_HOST_HPP_

// The example host: what a navigation module does with the library, from constructing the
// grid-map node to announcing a new map, with a report of every answer it got.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "nav2_msgs/srv/load_map.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "quorvane_nav2_gridmap/gridmap_ros.hpp"
#include "rclcpp/rclcpp.hpp"

#include "quorvane_nav2_gridmap_demo/demo_report.hpp"
#include "quorvane_nav2_gridmap_demo/simulated_depth_camera.hpp"
#include "quorvane_nav2_gridmap_demo/spinning_executor.hpp"
#include "quorvane_nav2_gridmap_demo/working_map_directory.hpp"

namespace quorvane_nav2_gridmap_demo
{

struct DemoOptions
{
  std::filesystem::path output{"out/demo"};
  std::chrono::milliseconds update_duration{3000};
  bool verbose{false};
  // "--ros-args" and what follows it on the host's command line.
  std::vector<std::string> ros_arguments;
};

class DemoHost
{
public:
  // Needs rclcpp initialised with the demo's parameters. Prints a few lines of summary on
  // `console` and writes the full report to report.txt in the output folder.
  DemoHost(DemoOptions options, WorkingMapDirectory & maps, std::ostream & console);
  // Stops the camera and the executor and takes the node down its lifecycle.
  ~DemoHost();

  DemoHost(const DemoHost &) = delete;
  DemoHost & operator=(const DemoHost &) = delete;

  // Runs the whole demo; true when every answer the report promises was obtained. Throws on
  // failures of the ROS plumbing.
  bool run();

private:
  void startGridMapNode();
  void publishMap(const std::string & map_id);
  std::vector<std::string> loadedPlugins() const;
  std::vector<double> updateFor(std::chrono::milliseconds duration);
  bool reportCollisionAnswers();
  void reportFailure(const std::string & what);
  void writeImages(const std::string & map_id);
  void waitUntilCostmapHasObstacleAt(double x, double y, std::chrono::milliseconds limit);
  void announceMap(const std::filesystem::path & meta_file);
  bool switchMapAndReportZones(const std::string & next_map_id);
  void stopNode();

  DemoOptions options_;
  std::filesystem::path output_folder_;
  WorkingMapDirectory & maps_;
  std::ofstream report_;
  std::ostream & console_;
  std::vector<NamedPoint> named_points_;
  rclcpp::Node::SharedPtr host_node_;
  rclcpp::Node::SharedPtr camera_node_;
  rclcpp::Publisher<nav_msgs::msg::OccupancyGrid>::SharedPtr map_pub_;
  rclcpp::Client<nav2_msgs::srv::LoadMap>::SharedPtr load_map_client_;
  std::shared_ptr<quorvane_nav2_gridmap::GridMapROS> gridmap_;
  std::unique_ptr<SpinningExecutor> executor_;
  std::unique_ptr<SimulatedDepthCamera> camera_;
};

}  // namespace quorvane_nav2_gridmap_demo

#endif  // QUORVANE_NAV2_GRIDMAP_DEMO__DEMO_HOST_HPP_
