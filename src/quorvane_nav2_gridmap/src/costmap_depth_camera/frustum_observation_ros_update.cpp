// The map update of the depth-camera observations: filters the current clouds, marks them and the
// remembered ones into the grid, and clears remembered points the cameras now see through.

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <rclcpp/clock.hpp>

#include "quorvane_nav2_gridmap/categrory_table.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/elapsed_milliseconds.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/highest_point_filter.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/polygon_raster.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{
namespace
{

// Status codes of a remembered point that the camera now sees through.
constexpr std::int32_t kSeenInSameCell = 1;
constexpr std::int32_t kClearedByStrategy = 3;

double toSeconds(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<double>(stamp.sec) + static_cast<double>(stamp.nanosec) * 1e-9;
}

// The time of the oldest current cloud of each source that has one.
template<typename Clouds>
std::vector<std::pair<const ObservationBuffer *, double>> oldestCurrentBySource(
  const Clouds & current)
{
  // A handful of sources: a linear search beats any map.
  std::vector<std::pair<const ObservationBuffer *, double>> oldest;
  for (const auto & cloud : current) {
    const auto known = std::find_if(
      oldest.begin(), oldest.end(), [&cloud](const auto & entry) {
        return entry.first == cloud.source;
      });
    if (known == oldest.end()) {
      oldest.emplace_back(cloud.source, cloud.time);
    } else {
      known->second = std::min(known->second, cloud.time);
    }
  }
  return oldest;
}

// A point of a cloud's matrix in the form the frustum queries take.
struct FloatPoint
{
  float x;
  float y;
  float z;
};

}  // namespace

bool FrustumObservationRos::getMarkingObservations(
  std::vector<Observation> & observations,
  std::vector<std::shared_ptr<FrustumDetector>> & detectors) const
{
  bool current = true;
  for (const auto & buffer : marking_buffers_) {
    std::lock_guard<std::mutex> guard(buffer->lock_);
    if (options_.occlusion_clearing) {
      buffer->getObservationsAndFrustumDetector(
        observations, detectors, options_.enable_frustum_trace);
    } else {
      buffer->getObservations(observations);
    }
    current = buffer->isCurrent() && current;
  }
  return current;
}

bool FrustumObservationRos::updatePointCloud3DMap(
  quorvane_nav2_gridmap::ObsTypeGridMap & grid, double * min_x, double * min_y, double * max_x,
  double * max_y, double robot_x, double robot_y)
{
  const auto started = std::chrono::system_clock::now();
  // One update at a time owns the cache of current clouds.
  std::lock_guard<std::mutex> update_guard(update_mutex_);
  std::vector<std::shared_ptr<const Observation>> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  std::vector<const ObservationBuffer *> observed_by;
  std::vector<CurrentCloudCache::SourceVersion> sources;
  bool current = true;
  for (const auto & buffer : marking_buffers_) {
    std::lock_guard<std::mutex> guard(buffer->lock_);
    const auto buffer_started = std::chrono::system_clock::now();
    buffer->collectObservations(observations);
    observed_by.resize(observations.size(), buffer.get());
    if (options_.occlusion_clearing) {
      buffer->refreshFrustumDetector(detectors, options_.enable_frustum_trace, buffer_started);
    }
    sources.push_back({buffer.get(), buffer->contentVersion()});
    current = buffer->isCurrent() && current;
  }

  const auto collected = std::chrono::system_clock::now();
  std::lock_guard<std::mutex> guard(remembered_clouds_mutex_);
  adoptGridGeometry(grid);
  // Without a new observation the current clouds are those of the last update: filter again
  // only when some marking source stored or dropped one, or the cell size changed.
  if (!current_cache_.valid || current_cache_.sources != sources ||
    current_cache_.resolution != resolution)
  {
    current_cache_.valid = false;
    current_cache_.clouds.clear();
    filterCurrentClouds(observations, observed_by, current_cache_.clouds, current_cache_.cells);
    current_cache_.sources = std::move(sources);
    current_cache_.resolution = resolution;
    current_cache_.valid = true;
  }
  markRememberedAndCurrent(
    grid, CloudList(current_cache_.clouds), current_cache_.cells, detectors, robot_x, robot_y,
    min_x, min_y, max_x, max_y);

  if (options_.enable_frustum_trace) {
    const auto finished = std::chrono::system_clock::now();
    logUpdateTime(started, collected, finished);
    std::vector<Observation> copies;
    copies.reserve(observations.size());
    for (const auto & observation : observations) {
      copies.push_back(*observation);
    }
    publishDebugMarkers(copies, detectors);
  }
  return current;
}

void FrustumObservationRos::markObservations(
  quorvane_nav2_gridmap::ObsTypeGridMap & grid, const std::vector<Observation> & observations,
  const std::vector<std::shared_ptr<FrustumDetector>> & detectors, double robot_x,
  double robot_y, double * min_x, double * min_y, double * max_x, double * max_y,
  std::chrono::system_clock::time_point started)
{
  const auto collected = std::chrono::system_clock::now();
  std::lock_guard<std::mutex> update_guard(update_mutex_);
  std::lock_guard<std::mutex> guard(remembered_clouds_mutex_);
  adoptGridGeometry(grid);
  std::vector<const Observation *> sources;
  sources.reserve(observations.size());
  for (const auto & observation : observations) {
    sources.push_back(&observation);
  }
  // Observations handed in without their buffers count as one source's.
  const std::vector<const ObservationBuffer *> observed_by(observations.size(), nullptr);
  CloudList current;
  CellHeightMap cells;
  filterCurrentClouds(sources, observed_by, current, cells);
  markRememberedAndCurrent(
    grid, std::move(current), cells, detectors, robot_x, robot_y, min_x, min_y, max_x, max_y);

  if (options_.enable_frustum_trace) {
    logUpdateTime(started, collected, std::chrono::system_clock::now());
    publishDebugMarkers(observations, detectors);
  }
}

template<typename ObservationPointers>
void FrustumObservationRos::filterCurrentClouds(
  const ObservationPointers & observations,
  const std::vector<const ObservationBuffer *> & observed_by, CloudList & current,
  CellHeightMap & cells)
{
  // A cloud covers no more cells than it has points, nor more than its bounding box holds;
  // the table sized for that stays small enough to be read from the cache.
  double cell_count = 0.0;
  for (const auto & observation : observations) {
    for (const auto & cloud : observation->clouds) {
      const double box_cells = (std::fabs(cloud.max_x - cloud.min_x) / resolution + 2.0) *
        (std::fabs(cloud.max_y - cloud.min_y) / resolution + 2.0);
      cell_count += std::min(static_cast<double>(cloud.points.cols()), box_cells);
    }
  }
  cells.reset(static_cast<std::size_t>(cell_count));
  HighestPointFilter<CellHeightMap> filter(cells, resolution);

  for (std::size_t i = 0; i < observations.size(); ++i) {
    const auto & observation = observations[i];
    const double time = toSeconds(observation->stamp);
    for (const auto & cloud : observation->clouds) {
      SourcedCloud entry;
      entry.source = observed_by[i];
      entry.category = cloud.category;
      entry.is_polygon = cloud.is_polygon;
      entry.time = time;
      // Only the rising points are copied out of the stored cloud.
      filter.takeRisingPoints(cloud.points, entry, filter_scratch_);
      // Newest first; clouds of equal time keep their arrival order.
      const auto older = std::find_if(
        current.begin(), current.end(),
        [time](const SourcedCloud & other) {return other.time < time;});
      current.insert(older, std::move(entry));
    }
  }
  for (auto & entry : current) {
    filter.keepNearHighest(entry);
    // Nothing before their marking changes the current clouds: their bounds and hulls can be
    // settled now, and kept with them while no new observation comes.
    entry.updateEdge();
    updatePolygon(entry);
  }
}

void FrustumObservationRos::markRememberedAndCurrent(
  quorvane_nav2_gridmap::ObsTypeGridMap & grid, CloudList current, CellHeightMap & cells,
  const std::vector<std::shared_ptr<FrustumDetector>> & detectors, double robot_x,
  double robot_y, double * min_x, double * min_y, double * max_x, double * max_y)
{
  HighestPointFilter<CellHeightMap> filter(cells, resolution);
  // Ages compare with the clouds' header stamps, so they are taken on the same clock.
  const double now = nodeNow().seconds();
  // A remembered cloud stamped no earlier than the oldest current cloud of its own source (than
  // now when that source has none) is one of its current observations again, or is stamped after
  // the time the clock went back to; another source's older view (a slow or silent camera's)
  // never supersedes it.
  const auto oldest_current = oldestCurrentBySource(current);
  const auto supersededFrom = [&oldest_current, now](const ObservationBuffer * source) {
      const auto known = std::find_if(
        oldest_current.begin(), oldest_current.end(),
        [source](const auto & entry) {return entry.first == source;});
      return known == oldest_current.end() ? now : known->second;
    };

  for (auto entry = remembered_clouds_.begin(); entry != remembered_clouds_.end(); ) {
    const Eigen::Index point_total = entry->points.cols();
    if (options_.decay_time > 0.0 && now - entry->time > options_.decay_time) {
      // The list is newest first: everything from here on is older still.
      for (auto decayed = entry; decayed != remembered_clouds_.end(); ++decayed) {
        markAndTouch(grid, *decayed, min_x, min_y, max_x, max_y);
      }
      remembered_clouds_.erase(entry, remembered_clouds_.end());
      break;
    }
    const double reach = options_.local_cache_distance;
    const bool far_in_x = std::fabs(entry->min_x - robot_x) > reach &&
      std::fabs(entry->max_x - robot_x) > reach;
    const bool far_in_y = std::fabs(entry->min_y - robot_y) > reach &&
      std::fabs(entry->max_y - robot_y) > reach;
    const bool superseded = entry->time >= supersededFrom(entry->source);
    if ((reach > 0.0 && (far_in_x || far_in_y)) || superseded) {
      markAndTouch(grid, *entry, min_x, min_y, max_x, max_y);
      entry = remembered_clouds_.erase(entry);
      continue;
    }
    if (!options_.occlusion_clearing) {
      ++entry;
      continue;
    }
    markAndTouch(grid, *entry, min_x, min_y, max_x, max_y);
    Eigen::Index left = filter.keepUncovered(*entry, point_total);
    left = clearThroughFrusta(*entry, left, detectors);
    if (left <= options_.clearing_min_point_cloud) {
      entry = remembered_clouds_.erase(entry);
      continue;
    }
    if (left != point_total) {
      entry->points.conservativeResize(Eigen::NoChange, left);
    }
    entry->updateEdge();
    const Eigen::Index removed = point_total - left;
    if (entry->is_polygon && removed > 2 &&
      static_cast<double>(removed) / static_cast<double>(point_total) >
      options_.percentage_reduction_map_size)
    {
      updatePolygon(*entry);
    }
    markAndTouch(grid, *entry, min_x, min_y, max_x, max_y);
    ++entry;
  }

  for (auto & entry : current) {
    markAndTouch(grid, entry, min_x, min_y, max_x, max_y);
  }
  remembered_clouds_.splice(remembered_clouds_.begin(), current);
}

void FrustumObservationRos::logUpdateTime(
  std::chrono::system_clock::time_point started, std::chrono::system_clock::time_point collected,
  std::chrono::system_clock::time_point finished) const
{
  QLOG_INFO(
    "FrustumObservationRos name {} updatePointCloud3DMap use total time {:4.3f} ms, prepare time "
    "{:4.3f} ms, core time {:4.3f} ms.", options_.name, millisecondsBetween(started, finished),
    millisecondsBetween(started, collected), millisecondsBetween(collected, finished));
}

rclcpp::Time FrustumObservationRos::nodeNow() const
{
  if (const auto node = node_.lock()) {
    return node->now();
  }
  return rclcpp::Clock(RCL_ROS_TIME).now();
}

void FrustumObservationRos::adoptGridGeometry(const quorvane_nav2_gridmap::ObsTypeGridMap & grid)
{
  size_x = grid.getWidth();
  size_y = grid.getHeight();
  resolution = grid.getResolution();
  origin_x = grid.getOriginX();
  origin_y = grid.getOriginY();
}

Eigen::Index FrustumObservationRos::clearThroughFrusta(
  PointCloudWithTime & cloud, Eigen::Index count,
  const std::vector<std::shared_ptr<FrustumDetector>> & detectors) const
{
  // The entry's bounds stay those it had before clearing began until the caller updates them, so
  // every detector judges the same box.
  for (const auto & detector : detectors) {
    if (!isDetectorUsable(*detector, cloud) || count == 0) {
      continue;
    }
    Eigen::Index kept = 0;
    for (Eigen::Index i = 0; i < count; ++i) {
      const FloatPoint point{cloud.points(0, i), cloud.points(1, i), cloud.points(2, i)};
      const std::int32_t status = detector->checkPointFrustumStatus(point, false);
      if (status == kSeenInSameCell || status == kClearedByStrategy) {
        continue;
      }
      if (kept != i) {
        cloud.points.col(kept) = cloud.points.col(i);
      }
      ++kept;
    }
    count = kept;
  }
  return count;
}

bool FrustumObservationRos::isDetectorUsable(
  const FrustumDetector & detector, const PointCloudWithTime & cloud) const
{
  if (!detector.isCrossFrustum(cloud.min_x, cloud.max_x, cloud.min_y, cloud.max_y)) {
    return false;
  }
  // A camera that binned almost nothing may be blocked right in front of its lens.
  return !options_.enable_near_blocked_protection ||
         detector.points_used() > options_.number_points_considered_as_blocked;
}

void FrustumObservationRos::markAndTouch(
  quorvane_nav2_gridmap::ObsTypeGridMap & grid, const PointCloudWithTime & cloud, double * min_x,
  double * min_y, double * max_x, double * max_y)
{
  markCloudInGrid(grid, cloud);
  touch(cloud.min_x, cloud.min_y, min_x, min_y, max_x, max_y);
  touch(cloud.max_x, cloud.max_y, min_x, min_y, max_x, max_y);
}

void FrustumObservationRos::touch(
  double x, double y, double * min_x, double * min_y, double * max_x, double * max_y)
{
  *min_x = std::min(x, *min_x);
  *min_y = std::min(y, *min_y);
  *max_x = std::max(x, *max_x);
  *max_y = std::max(y, *max_y);
}

void FrustumObservationRos::updatePolygon(PointCloudWithTime & cloud)
{
  cloud.polygon.clear();
  if (!cloud.is_polygon || cloud.points.cols() == 0) {
    return;
  }
  std::vector<cv::Point2f> outline;
  outline.reserve(static_cast<std::size_t>(cloud.points.cols()));
  for (Eigen::Index i = 0; i < cloud.points.cols(); ++i) {
    outline.emplace_back(cloud.points(0, i), cloud.points(1, i));
  }
  cv::convexHull(outline, cloud.polygon, false, true);
}

void FrustumObservationRos::polygonOutlineCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells)
{
  PolygonRaster(size_x).outlineCells(polygon, cells);
}

void FrustumObservationRos::convexFillCells(
  const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells)
{
  PolygonRaster(size_x).convexFillCells(polygon, cells);
}

void FrustumObservationRos::markCloudInGrid(
  quorvane_nav2_gridmap::ObsTypeGridMap & grid, const PointCloudWithTime & cloud)
{
  // setCost's bits, looked up once per cloud rather than once per point.
  const quorvane_nav2_gridmap::ObsTypeBitMap bits = quorvane_nav2_gridmap::categrory_table[
    static_cast<semantic::SemanticType>(static_cast<int>(cloud.category))];
  const unsigned int width = grid.getWidth();
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!cloud.is_polygon) {
    for (Eigen::Index i = 0; i < cloud.points.cols(); ++i) {
      if (grid.worldToMap(cloud.points(0, i), cloud.points(1, i), mx, my)) {
        grid.merge(my * width + mx, bits);
      }
    }
    return;
  }
  std::vector<MapLocation> vertices;
  vertices.reserve(cloud.polygon.size());
  for (const auto & vertex : cloud.polygon) {
    // A hull that leaves the grid cannot be filled correctly, so it is not filled at all.
    if (!grid.worldToMap(vertex.x, vertex.y, mx, my)) {
      return;
    }
    vertices.push_back(MapLocation{mx, my});
  }
  std::vector<MapLocation> cells;
  convexFillCells(vertices, cells);
  for (const auto & cell : cells) {
    grid.merge(cell.y * width + cell.x, bits);
  }
}

}  // namespace costmap_depth_camera
