// Update time of the distance map beside its parts: a bare OpenCV precise distance transform,
// the library's exact transform, and a memcpy of the same cells, so that the plugin's overhead
// over the transform shows.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"
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

cv::Mat obstacleImage(const nav2_costmap_2d::Costmap2D & costmap)
{
  const int rows = static_cast<int>(costmap.getSizeInCellsY());
  const int cols = static_cast<int>(costmap.getSizeInCellsX());
  cv::Mat costs(rows, cols, CV_8UC1, costmap.getCharMap());
  cv::Mat image;
  cv::threshold(costs, image, 253, 255, cv::THRESH_BINARY_INV);
  return image;
}

void setCells(benchmark::State & state)
{
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

void BM_GridDistanceMapUpdate(benchmark::State & state)
{
  auto costmap = randomCostmap(
    static_cast<unsigned int>(state.range(0)), static_cast<unsigned int>(state.range(1)));
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("bench_distance_map");
  quorvane_nav2_gridmap::GridDistanceMap map;
  map.initialize("distance", node, "map", nullptr, costmap.get(), nullptr);
  for (auto _ : state) {
    map.updateMap();
    benchmark::DoNotOptimize(map.getDistance(0, 0));
  }
  setCells(state);
}

void BM_OpenCvDistanceTransform(benchmark::State & state)
{
  auto costmap = randomCostmap(
    static_cast<unsigned int>(state.range(0)), static_cast<unsigned int>(state.range(1)));
  const cv::Mat image = obstacleImage(*costmap);
  cv::Mat distance(image.size(), CV_32FC1);
  for (auto _ : state) {
    cv::distanceTransform(image, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    benchmark::DoNotOptimize(distance.data);
  }
  setCells(state);
}

void BM_ExactDistanceTransform(benchmark::State & state)
{
  auto costmap = randomCostmap(
    static_cast<unsigned int>(state.range(0)), static_cast<unsigned int>(state.range(1)));
  const cv::Mat image = obstacleImage(*costmap);
  cv::Mat distance(image.size(), CV_32FC1);
  for (auto _ : state) {
    quorvane_nav2_gridmap::euclideanDistanceTransform(image, distance);
    benchmark::DoNotOptimize(distance.data);
  }
  setCells(state);
}

void BM_MemcpyCells(benchmark::State & state)
{
  auto costmap = randomCostmap(
    static_cast<unsigned int>(state.range(0)), static_cast<unsigned int>(state.range(1)));
  const size_t cells = static_cast<size_t>(state.range(0)) * static_cast<size_t>(state.range(1));
  std::vector<unsigned char> copy(cells);
  for (auto _ : state) {
    std::memcpy(copy.data(), costmap->getCharMap(), cells);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  setCells(state);
}

void gridSizes(benchmark::internal::Benchmark * benchmark)
{
  benchmark->ArgNames({"width", "height"});
  benchmark->Args({500, 500});
  benchmark->Args({1000, 1000});
  benchmark->Args({2000, 2000});
  benchmark->Args({6000, 1000});
  benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_GridDistanceMapUpdate)->Apply(gridSizes);
BENCHMARK(BM_OpenCvDistanceTransform)->Apply(gridSizes);
BENCHMARK(BM_ExactDistanceTransform)->Apply(gridSizes);
BENCHMARK(BM_MemcpyCells)->Apply(gridSizes);

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
