// The obstacle-type plugin's update at 2000 x 2000 cells with no camera, with zones against the
// same update without zones, alternating in one loop: once with a still costmap window, once with
// a window whose origin moves a cell every update as a rolling local costmap's does. The zones
// are the demo's few, then a large site's 30,000.

#include <benchmark/benchmark.h>

#include <exception>
#include <filesystem>
#include <string>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "rclcpp/rclcpp.hpp"

#include "large_site.hpp"
#include "obstacle_type_host.hpp"
#include "paired_timing.hpp"

namespace
{

using quorvane_bench::kWindowCells;
using quorvane_bench::kWindowResolution;
using quorvane_bench::ObstacleTypeHost;

// Times the update of `zones` against that of `no_zones`, both with their windows at (origin_x,
// origin_y) and, for a moving window, stepping a cell back and forth from there.
void pairUpdates(
  benchmark::State & state, const std::string & figure, ObstacleTypeHost & zones,
  ObstacleTypeHost & no_zones, double origin_x, double origin_y, bool moving_window)
{
  zones.update();
  if (!zones.plugin().hasPriorityPassage()) {
    state.SkipWithError("the zones put no priority passage into the window");
    return;
  }
  int step = 0;
  const auto move = [&step, moving_window, origin_x, origin_y](ObstacleTypeHost & host) {
      if (moving_window) {
        const double shift = (step % 2) * kWindowResolution;
        host.costmap().moveOriginTo(origin_x + shift, origin_y + shift);
      }
    };
  quorvane_bench::runPaired(
    state, figure,
    [&zones, &move, &step]() {
      ++step;
      move(zones);
      zones.update();
    },
    [&no_zones, &move]() {
      move(no_zones);
      no_zones.update();
    });
}

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
    const std::string reason = "the demo's maps are not installed: " + std::string(error.what());
    state.SkipWithError(reason.c_str());
    return;
  }
  // The window centred on the demo map's middle, (5, 5).
  const double origin = 5.0 - kWindowCells * kWindowResolution / 2.0;
  const std::string suffix = moving_window ? "_moving" : "_static";
  ObstacleTypeHost zones("bench_zones" + suffix, maps, origin, origin);
  const auto empty = std::filesystem::temp_directory_path() / ("bench_no_zones" + suffix);
  std::filesystem::create_directories(empty);
  ObstacleTypeHost no_zones("bench_no_zones" + suffix, empty.string(), origin, origin);
  pairUpdates(
    state, moving_window ? "passages_moving_window" : "passages_static_window", zones, no_zones,
    origin, origin, moving_window);
  std::filesystem::remove_all(empty);
}

// A 100 m square window in the middle of the site's 200 m.
void largeSite(benchmark::State & state, bool moving_window)
{
  const quorvane_bench::LargeSite site;
  const double origin = 50.0;
  const std::string suffix = moving_window ? "_moving" : "_static";
  // Both start alike, on the bare map; then one loads the site, as after load_map.
  site.select("bare");
  ObstacleTypeHost zones("bench_site" + suffix, site.path().string(), origin, origin);
  ObstacleTypeHost no_zones("bench_bare" + suffix, site.path().string(), origin, origin);
  site.select("site");
  zones.plugin().callbackOnMapChange("");
  pairUpdates(
    state, moving_window ? "zones_30k_moving_window" : "zones_30k_static_window", zones, no_zones,
    origin, origin, moving_window);
}

BENCHMARK_CAPTURE(passages, static_window, false)
->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(passages, moving_window, true)
->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(largeSite, static_window, false)
->UseManualTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(largeSite, moving_window, true)
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
