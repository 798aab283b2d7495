// A large site's zone file, 30,000 narrow-corridor and priority-passage zones in block style (some
// 7 MB), loaded as the obstacle-type plugin loads it after a map change, against yaml-cpp parsing
// the same file once; and the plugin's update that reloads those zones against one that does not.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <yaml-cpp/yaml.h>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2_ros/buffer.h"

#include "paired_timing.hpp"
#include "quorvane_nav2_gridmap/grid_obstacle_type.hpp"
#include "quorvane_nav2_gridmap/map_mark/plane_object.hpp"

namespace
{

constexpr int kZones = 30000;
// A 200 m square site at 5 cm, its image's lower left corner at the map's origin.
constexpr int kImagePixels = 4000;
constexpr double kResolution = 0.05;

// Zone i: a polygon of four to six vertices, or every fourth a list of three discs, of either kind,
// a few metres across and scattered over the site.
std::string siteZone(int i)
{
  const double x = 50.5 + i * 37 % (kImagePixels - 150);
  const double y = 50.5 + i * 53 % (kImagePixels - 150);
  const auto point = [](double px, double py) {
      return fmt::format("      - x: {}\n        y: {}\n", px, py);
    };
  std::string zone = fmt::format(
    "  - type: {}\n    id: {}\n", i % 2 == 0 ? "narrow corridor" : "priority passage", 100000 + i);
  if (i % 4 == 3) {
    return zone + "    desctype: circle\n    radius: 8\n    points:\n" + point(x, y) +
           point(x + 12, y + 4) + point(x + 24, y + 8);
  }
  zone += "    desctype: block\n    rectangle:\n" + point(x, y) + point(x + 60, y) +
    point(x + 60, y + 24);
  if (i % 4 > 0) {
    zone += point(x + 40, y + 30);
  }
  if (i % 4 > 1) {
    zone += point(x + 20, y + 30);
  }
  return zone + point(x, y + 24);
}

// A map directory in a temporary directory with one map, "site", whose zone file holds the zones
// of a large site; removed with everything in it.
class SiteMapDirectory
{
public:
  SiteMapDirectory()
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench_site_XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    std::filesystem::create_directories(path_ / "site");
    std::ofstream(path_ / "history.map") << "site\n";
    std::ofstream(path_ / "site" / "map.yaml")
      << "image: map.pgm\nresolution: " << kResolution << "\norigin: [0.0, 0.0, 0.0]\n"
      << "negate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n";
    std::ofstream(path_ / "site" / "map.pgm")
      << "P5\n" << kImagePixels << " " << kImagePixels << "\n255\n";
    std::ofstream zones(zoneFile());
    zones << "editlayout:\n";
    for (int i = 0; i < kZones; ++i) {
      zones << siteZone(i);
    }
  }
  ~SiteMapDirectory() {std::filesystem::remove_all(path_);}
  SiteMapDirectory(const SiteMapDirectory &) = delete;
  SiteMapDirectory & operator=(const SiteMapDirectory &) = delete;

  const std::filesystem::path & path() const {return path_;}
  std::filesystem::path zoneFile() const {return path_ / "site" / "mark.yaml";}

  // Both kinds in one load, as the obstacle-type plugin asks for them.
  std::vector<plane_object::Zones> loadZones() const
  {
    return plane_object::PlaneObjectFactory(
      path_, "history.map", "map.yaml", "mark.yaml",
      {static_cast<std::uint32_t>(plane_object::MarkType::NARROW_CORRIDOR),
        static_cast<std::uint32_t>(plane_object::MarkType::PRIORITY_PASSAGE)});
  }

private:
  std::filesystem::path path_;
};

void zoneFileLoad(benchmark::State & state)
{
  const SiteMapDirectory site;
  const auto zones = site.loadZones();
  if (zones.size() != 2 || zones[0].size() + zones[1].size() != kZones) {
    state.SkipWithError("the site's zone file did not load every zone");
    return;
  }
  state.counters["file_mb"] = static_cast<double>(std::filesystem::file_size(site.zoneFile())) / 1e6;
  quorvane_bench::runPaired(
    state, "zone_file_load_30k",
    [&site]() {benchmark::DoNotOptimize(site.loadZones());},
    [&site]() {benchmark::DoNotOptimize(YAML::LoadFile(site.zoneFile().string()));});
}

// The obstacle-type plugin on a 100 m square window in the site's middle, no camera, reading its
// zones from the site's map directory.
class ObstacleTypeHost
{
public:
  ObstacleTypeHost(const std::string & name, const std::filesystem::path & map_directory)
  : costmap_(2000, 2000, kResolution, 50.0, 50.0)
  {
    rclcpp::NodeOptions options;
    options.parameter_overrides(
      {rclcpp::Parameter("obstacle_type.map_path_str", map_directory.string())});
    node_ = std::make_shared<rclcpp_lifecycle::LifecycleNode>(name, options);
    tf_buffer_ = std::make_shared<tf2_ros::Buffer>(node_->get_clock());
    plugin_.initialize("obstacle_type", node_, "map", nullptr, &costmap_, tf_buffer_);
  }

  quorvane_nav2_gridmap::GridObstacleType & plugin() {return plugin_;}

private:
  nav2_costmap_2d::Costmap2D costmap_;
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  quorvane_nav2_gridmap::GridObstacleType plugin_;
};

void zoneReloadUpdate(benchmark::State & state)
{
  const SiteMapDirectory site;
  ObstacleTypeHost reloading("bench_zone_reload", site.path());
  ObstacleTypeHost steady("bench_zone_steady", site.path());
  reloading.plugin().updateMap();
  steady.plugin().updateMap();
  if (!reloading.plugin().hasPriorityPassage()) {
    state.SkipWithError("the site's zones put no priority passage into the window");
    return;
  }
  quorvane_bench::runPaired(
    state, "zone_reload_update_30k",
    [&reloading]() {reloading.plugin().callbackOnMapChange("");},
    [&reloading]() {reloading.plugin().updateMap();},
    [&steady]() {steady.plugin().updateMap();});
}

// Each load takes seconds: a few pairs give a steady minimum.
BENCHMARK(zoneFileLoad)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(zoneReloadUpdate)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char ** argv)
{
  // Every zone of a load is logged: 30,000 lines a load, some 1 % of its time here, and tens of
  // megabytes of console for the whole run.
  setenv("SPDLOG_STDOUT", "false", 0);
  rclcpp::init(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  rclcpp::shutdown();
  return 0;
}
