// One map update with a full 640 x 480 depth frame on a 0.05 m grid and 20 remembered clouds,
// and the highest-point filter of that update with each cell map that was tried for it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include <rclcpp/clock.hpp>
#include <tf2_ros/buffer.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/highest_point_filter.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"

namespace
{

using costmap_depth_camera::CellHeightMap;
using costmap_depth_camera::CellKey;
using costmap_depth_camera::FrustumObservationRos;
using costmap_depth_camera::FrustumObservationRosOptions;
using costmap_depth_camera::HighestPointFilter;
using costmap_depth_camera::Observation;
using costmap_depth_camera::PointCloud;

constexpr double kResolution = 0.05;
constexpr int kRememberedClouds = 20;

std::uint64_t pack(CellKey key)
{
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.x)) << 32) |
         static_cast<std::uint32_t>(key.y);
}

// Candidate: the standard node-based hash map, with the identity hash of std::hash.
class UnorderedCellMap
{
public:
  explicit UnorderedCellMap(std::size_t expected_cells) {cells_.reserve(expected_cells);}
  bool raise(CellKey key, float z)
  {
    const auto [entry, inserted] = cells_.try_emplace(pack(key), z);
    if (inserted) {
      return true;
    }
    if (z > entry->second) {
      entry->second = z;
      return true;
    }
    return false;
  }
  const float * find(CellKey key) const
  {
    const auto entry = cells_.find(pack(key));
    return entry == cells_.end() ? nullptr : &entry->second;
  }

private:
  std::unordered_map<std::uint64_t, float> cells_;
};

// Candidate: one slot per cell of the current clouds' key rectangle, NaN for an empty cell.
class DenseCellMap
{
public:
  DenseCellMap(CellKey low, CellKey high)
  : low_(low), width_(high.x - low.x + 1), height_(high.y - low.y + 1),
    heights_(
      static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
      std::numeric_limits<float>::quiet_NaN())
  {}
  bool raise(CellKey key, float z)
  {
    float & slot = heights_[index(key)];
    if (std::isnan(slot) || z > slot) {
      slot = z;
      return true;
    }
    return false;
  }
  const float * find(CellKey key) const
  {
    if (key.x < low_.x || key.y < low_.y || key.x - low_.x >= width_ ||
      key.y - low_.y >= height_)
    {
      return nullptr;
    }
    const float & slot = heights_[index(key)];
    return std::isnan(slot) ? nullptr : &slot;
  }

private:
  std::size_t index(CellKey key) const
  {
    return static_cast<std::size_t>(key.y - low_.y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(key.x - low_.x);
  }

  CellKey low_;
  std::int32_t width_;
  std::int32_t height_;
  std::vector<float> heights_;
};

// A frame of a camera 0.5 m up looking along +x: the floor with a few boxes, 0.5 m to 8 m ahead.
PointCloud depthFrame()
{
  PointCloud cloud;
  cloud.category = 300;
  cloud.points.resize(3, 640 * 480);
  Eigen::Index column = 0;
  for (int v = 0; v < 480; ++v) {
    for (int u = 0; u < 640; ++u) {
      const float x = 0.5f + 7.5f * static_cast<float>(v) / 480.0f;
      const float y = -3.0f + 6.0f * static_cast<float>(u) / 640.0f;
      const bool on_box = std::fmod(x, 2.0f) < 0.3f && std::fmod(y + 3.0f, 1.5f) < 0.4f;
      const float z = on_box ? 0.8f : 0.01f * std::sin(7.0f * x + 3.0f * y);
      cloud.points.col(column++) << x, y, z;
    }
  }
  cloud.updateEdge();
  return cloud;
}

// Small clouds of 2000 points as the remembered ones, partly inside the new frame's area.
PointCloud rememberedCloud(int index)
{
  PointCloud cloud;
  cloud.category = 103;
  cloud.points.resize(3, 2000);
  for (Eigen::Index i = 0; i < 2000; ++i) {
    const float x = -4.0f + 0.6f * static_cast<float>(index) + 0.002f * static_cast<float>(i);
    const float y = -5.0f + 0.005f * static_cast<float>(i);
    cloud.points.col(i) << x, y, 0.3f;
  }
  cloud.updateEdge();
  return cloud;
}

Observation observationAt(double seconds, PointCloud cloud)
{
  Observation observation;
  observation.stamp.sec = static_cast<std::int32_t>(seconds);
  observation.stamp.nanosec = static_cast<std::uint32_t>((seconds - std::floor(seconds)) * 1e9);
  observation.frame = "map";
  observation.clouds.push_back(std::move(cloud));
  return observation;
}

double secondsNow()
{
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

class BenchFrontEnd : public FrustumObservationRos
{
public:
  using FrustumObservationRos::FrustumObservationRos;
  using FrustumObservationRos::markObservations;
};

struct UpdateSetting
{
  UpdateSetting()
  {
    options.occlusion_clearing = true;
  }

  void update(const std::vector<Observation> & observations)
  {
    double min_x = std::numeric_limits<double>::max();
    double min_y = min_x;
    double max_x = 0.0;
    double max_y = 0.0;
    grid.resetGrid();
    front_end->markObservations(
      grid, observations, {}, 0.0, 0.0, &min_x, &min_y, &max_x, &max_y,
      std::chrono::system_clock::now());
  }

  // A fresh front end that remembers 20 older clouds.
  void rememberTwentyClouds()
  {
    front_end = std::make_unique<BenchFrontEnd>(
      std::weak_ptr<rclcpp_lifecycle::LifecycleNode>(), options, tf_buffer, 400, 400, kResolution,
      -10.0, -10.0);
    const double start = secondsNow() - 100.0;
    for (int i = 0; i < kRememberedClouds; ++i) {
      update({observationAt(start + i, rememberedCloud(i))});
    }
  }

  FrustumObservationRosOptions options;
  tf2_ros::Buffer tf_buffer{std::make_shared<rclcpp::Clock>()};
  quorvane_nav2_gridmap::ObsTypeGridMap grid{400, 400, kResolution, -10.0, -10.0};
  std::unique_ptr<BenchFrontEnd> front_end;
};

void BM_UpdatePointCloud3DMap(benchmark::State & state)
{
  UpdateSetting setting;
  const std::vector<Observation> frame{observationAt(secondsNow(), depthFrame())};
  for (auto _ : state) {
    state.PauseTiming();
    setting.rememberTwentyClouds();
    state.ResumeTiming();
    setting.update(frame);
  }
}
BENCHMARK(BM_UpdatePointCloud3DMap)->Unit(benchmark::kMillisecond);

template<class CellMap>
CellMap makeMap(const std::vector<PointCloud> & clouds);

template<>
CellHeightMap makeMap<CellHeightMap>(const std::vector<PointCloud> & clouds)
{
  return CellHeightMap(static_cast<std::size_t>(clouds.front().points.cols()) / 8);
}

template<>
UnorderedCellMap makeMap<UnorderedCellMap>(const std::vector<PointCloud> & clouds)
{
  return UnorderedCellMap(static_cast<std::size_t>(clouds.front().points.cols()) / 8);
}

template<>
DenseCellMap makeMap<DenseCellMap>(const std::vector<PointCloud> & clouds)
{
  // The key rectangle has to be found first: one more pass over the points.
  CellKey low{std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max()};
  CellKey high{std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min()};
  for (const auto & cloud : clouds) {
    for (Eigen::Index i = 0; i < cloud.points.cols(); ++i) {
      const auto x = static_cast<std::int32_t>(std::trunc(cloud.points(0, i) / kResolution));
      const auto y = static_cast<std::int32_t>(std::trunc(cloud.points(1, i) / kResolution));
      low = CellKey{std::min(low.x, x), std::min(low.y, y)};
      high = CellKey{std::max(high.x, x), std::max(high.y, y)};
    }
  }
  return DenseCellMap(low, high);
}

// The part of one update that depends on the cell map: both filter passes over the frame and
// the covered-point removal over the 20 remembered clouds.
template<class CellMap>
void BM_HighestPointFilter(benchmark::State & state)
{
  const std::vector<PointCloud> frame{depthFrame()};
  std::vector<PointCloud> remembered;
  for (int i = 0; i < kRememberedClouds; ++i) {
    remembered.push_back(rememberedCloud(i));
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<PointCloud> current = frame;
    std::vector<PointCloud> old = remembered;
    state.ResumeTiming();
    CellMap cells = makeMap<CellMap>(current);
    HighestPointFilter<CellMap> filter(cells, kResolution);
    for (auto & cloud : current) {
      filter.keepRisingPoints(cloud);
    }
    for (auto & cloud : current) {
      filter.keepNearHighest(cloud);
    }
    for (auto & cloud : old) {
      benchmark::DoNotOptimize(filter.keepUncovered(cloud, cloud.points.cols()));
    }
    benchmark::DoNotOptimize(current.front().points.cols());
  }
}
// CellHeightMap, the one the update uses, is open addressing.
BENCHMARK_TEMPLATE(BM_HighestPointFilter, CellHeightMap)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HighestPointFilter, DenseCellMap)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_HighestPointFilter, UnorderedCellMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
