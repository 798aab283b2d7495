// The distance map's update as a host calls it, against OpenCV's precise distance transform of the
// same grid, alternating in one loop: once with OpenCV held to one thread for both, once with
// OpenCV's default thread count for both.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include "paired_timing.hpp"
#include "quorvane_nav2_gridmap/grid_distance_map.hpp"

namespace
{

// A costmap with 1 % lethal cells, the rest free.
std::unique_ptr<nav2_costmap_2d::Costmap2D> randomCostmap(unsigned int width, unsigned int height)
{
  auto costmap = std::make_unique<nav2_costmap_2d::Costmap2D>(width, height, 0.05, 0.0, 0.0);
  std::mt19937 random(42);
  std::bernoulli_distribution lethal(0.01);
  unsigned char * cells = costmap->getCharMap();
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    cells[i] = lethal(random) ? 254 : 0;
  }
  return costmap;
}

// The obstacle image OpenCV is given: what the plugin builds from the same costmap.
cv::Mat obstacleImage(const nav2_costmap_2d::Costmap2D & costmap)
{
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  cv::Mat costs(rows, cols, CV_8UC1, costmap.getCharMap());
  cv::Mat image;
  cv::threshold(costs, image, 253, 255, cv::THRESH_BINARY_INV);
  return image;
}

// Restores OpenCV's default thread count however the benchmark ends.
class OpenCvThreads
{
public:
  explicit OpenCvThreads(bool single)
  {
    cv::setNumThreads(single ? 1 : -1);
  }
  ~OpenCvThreads() {cv::setNumThreads(-1);}
  OpenCvThreads(const OpenCvThreads &) = delete;
  OpenCvThreads & operator=(const OpenCvThreads &) = delete;
};

void distanceMapUpdate(benchmark::State & state, bool single_thread)
{
  const auto width = static_cast<unsigned int>(state.range(0));
  const auto height = static_cast<unsigned int>(state.range(1));
  const OpenCvThreads threads(single_thread);
  auto costmap = randomCostmap(width, height);
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
    "bench_distance_map_" + std::to_string(width) + "x" + std::to_string(height) +
    (single_thread ? "_1" : "_n"));
  quorvane_nav2_gridmap::GridDistanceMap map;
  map.initialize("distance", node, "map", nullptr, costmap.get(), nullptr);
  const cv::Mat image = obstacleImage(*costmap);
  cv::Mat distance(image.size(), CV_32FC1);
  const std::string figure = "distance_map_" + std::to_string(width) + "x" +
    std::to_string(height) + (single_thread ? "_1thread" : "_default_threads");
  quorvane_bench::runPaired(
    state, figure,
    [&map]() {
      map.updateMap();
      benchmark::DoNotOptimize(map.getDistance(0, 0));
    },
    [&image, &distance]() {
      cv::distanceTransform(image, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
      benchmark::DoNotOptimize(distance.data);
    });
}

void gridSizes(benchmark::internal::Benchmark * benchmark)
{
  benchmark->ArgNames({"width", "height"});
  benchmark->Args({200, 200});
  benchmark->Args({2000, 2000});
  benchmark->Args({4000, 4000});
  benchmark->Args({6000, 1000});
  benchmark->Args({1000, 6000});
  benchmark->UseManualTime();
  benchmark->MinTime(1.0);
  benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(distanceMapUpdate, one_thread, true)->Apply(gridSizes);
BENCHMARK_CAPTURE(distanceMapUpdate, default_threads, false)->Apply(gridSizes);

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
