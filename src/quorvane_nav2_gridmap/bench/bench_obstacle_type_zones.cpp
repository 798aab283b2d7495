// The obstacle-type plugin's update at 2000 x 2000 cells with the demo's narrow-corridor and
// priority-passage zones and no camera, against the same update without zones, alternating in one
// loop: once with a still costmap window, once with a window whose origin moves every update as a
// rolling local costmap's does.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

#include "paired_timing.hpp"
#include "quorvane_nav2_gridmap/grid_obstacle_type.hpp"

namespace
{

constexpr unsigned int kCells = 2000;
constexpr double kResolution = 0.05;
// The window centred on the demo map's middle, (5, 5).
constexpr double kOriginX = 5.0 - kCells * kResolution / 2.0;
constexpr double kOriginY = kOriginX;

// A costmap whose window a benchmark can move without the cell shift of updateOrigin, so that
// only the plugin's own work is timed.
class MovableCostmap : public nav2_costmap_2d::Costmap2D
{
public:
  MovableCostmap()
  : Costmap2D(kCells, kCells, kResolution, kOriginX, kOriginY) {}

  void moveOriginTo(double x, double y)
  {
    origin_x_ = x;
    origin_y_ = y;
  }
};

// One plugin as the grid-map node loads it, reading its zones from `map_directory`.
class ObstacleTypeHost
{
public:
  ObstacleTypeHost(const std::string & name, const std::string & map_directory)
  {
    rclcpp::NodeOptions options;
    options.parameter_overrides({rclcpp::Parameter("obstacle_type.map_path_str", map_directory)});
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(name, options);
    tf_buffer_ = std::make_shared<tf2_ros::Buffer>(node_->get_clock());
    plugin_.initialize("obstacle_type", node_, "map", nullptr, &costmap_, tf_buffer_);
  }

  void update() {plugin_.updateMap();}
  MovableCostmap & costmap() {return costmap_;}
  quorvane_nav2_gridmap::GridObstacleType & plugin() {return plugin_;}

private:
  MovableCostmap costmap_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  quorvane_nav2_gridmap::GridObstacleType plugin_;
};

std::string demoMaps()
{
  return ament_index_cpp::get_package_share_directory("quorvane_nav2_gridmap_demo") + "/maps";
}

void passages(benchmark::State & state, bool moving_window)
{
  std::string maps;
  try {
    maps = demoMaps();
  } catch (const std::exception & error) {
    state.SkipWithError(("the demo's maps are not installed: " + std::string(error.what())).c_str());
    return;
  }
  const std::string suffix = moving_window ? "_moving" : "_static";
  ObstacleTypeHost zones("bench_zones" + suffix, maps);
  const auto empty = std::filesystem::temp_directory_path() / ("bench_no_zones" + suffix);
  std::filesystem::create_directories(empty);
  ObstacleTypeHost no_zones("bench_no_zones" + suffix, empty.string());
  zones.update();
  if (!zones.plugin().hasPriorityPassage()) {
    state.SkipWithError("the demo's zones put no priority passage into the window");
    return;
  }
  // A rolling window steps a cell at a time behind the robot, back and forth here.
  int step = 0;
  const auto move = [&step, moving_window](ObstacleTypeHost & host) {
      if (moving_window) {
        const double shift = (step % 2) * kResolution;
        host.costmap().moveOriginTo(kOriginX + shift, kOriginY + shift);
      }
    };
  quorvane_bench::runPaired(
    state, moving_window ? "passages_moving_window" : "passages_static_window",
    [&zones, &move, &step]() {
      ++step;
      move(zones);
      zones.update();
    },
    [&no_zones, &move]() {
      move(no_zones);
      no_zones.update();
    });
  std::filesystem::remove_all(empty);
}

BENCHMARK_CAPTURE(passages, static_window, false)
->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passages, moving_window, true)
->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rclcpp::shutdown();
  return 0;
}
