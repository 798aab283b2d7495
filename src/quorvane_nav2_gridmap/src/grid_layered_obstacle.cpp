#include "quorvane_nav2_gridmap/grid_obstacle_type.hpp"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>

#include <fmt/format.h>

#include <opencv2/imgproc.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl_conversions/pcl_conversions.h>

#include <pluginlib/class_list_macros.hpp>
#include <rclcpp/exceptions.hpp>

#include "quorvane_nav2_gridmap/categrory_table.hpp"
#include "quorvane_nav2_gridmap/euclidean_distance_transform.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"
#include "quorvane_nav2_gridmap/semantic_type.hpp"

namespace quorvane_nav2_gridmap
{
namespace
{

constexpr std::uint32_t kNarrowCorridorMark = 4;
constexpr std::uint32_t kPriorityPassageMark = 5;
const char * const kDefaultSourceConfiguration = "observation_source_default_conf";

std::string shapeName(std::uint32_t desc_type)
{
  switch (desc_type) {
    case 1: return "circle";
    case 2: return "block";
    case 3: return "virtualWall";
    default: return "invalid";
  }
}

std::string pointsText(const std::vector<plane_object::Point> & points)
{
  // fmt, not a stream: a large site logs tens of thousands of these in the update after load_map.
  fmt::memory_buffer text;
  for (size_t i = 0; i < points.size(); ++i) {
    fmt::format_to(
      std::back_inserter(text), "{}({:.3f}, {:.3f}", i > 0 ? ", " : "", points[i].x,
      points[i].y);
    if (points[i].r > 0.0) {
      fmt::format_to(std::back_inserter(text), ", r={:.3f}", points[i].r);
    }
    text.push_back(')');
  }
  return fmt::to_string(text);
}

// Clears the map-change flag however the zone reload ends, so that a map directory that makes
// the reload throw fails one update, not every later one.
class MapChangeAcknowledgement
{
public:
  explicit MapChangeAcknowledgement(std::atomic<bool> & flag)
  : flag_(flag) {}
  ~MapChangeAcknowledgement() {flag_.exchange(false);}
  MapChangeAcknowledgement(const MapChangeAcknowledgement &) = delete;
  MapChangeAcknowledgement & operator=(const MapChangeAcknowledgement &) = delete;

private:
  std::atomic<bool> & flag_;
};

}  // namespace

void logPriorityPassageCoordinates(
  const std::string & plugin_name, const GridObstacleType::Zones & zones)
{
  if (zones.empty()) {
    QLOG_INFO(
      "[PriorityPassage] GridObstacleType({}) no converted priority passage coordinates",
      plugin_name);
    return;
  }
  for (const auto & zone : zones) {
    QLOG_INFO(
      "[PriorityPassage] GridObstacleType({}) converted priority passage id: {}, desc_type: {}, "
      "points(map): {}",
      plugin_name, zone->id, shapeName(zone->desc_type),
      pointsText(zone->getPoints()));
  }
}

GridObstacleType::GridObstacleType()
: narrow_corridor_bits_(categrory_table[semantic::SEMANTIC_NARROW_PASSAGE])
{
  type_ = GRIDMAP_TYPE_OBSTACLE;
}

template<typename T>
void GridObstacleType::declareAndGet(const std::string & key, const T & default_value, T & value)
{
  declareParameter(key, rclcpp::ParameterValue(default_value));
  getParameter(key, value);
}

template<typename T>
T GridObstacleType::declareAndGet(const std::string & key, const T & default_value)
{
  T value = default_value;
  declareAndGet(key, default_value, value);
  return value;
}

GridObstacleType::CostmapWindow GridObstacleType::readCostmapWindow() const
{
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap_->getMutex());
  CostmapWindow window;
  window.size_x = costmap_->getSizeInCellsX();
  window.size_y = costmap_->getSizeInCellsY();
  window.resolution = costmap_->getResolution();
  window.origin_x = costmap_->getOriginX();
  window.origin_y = costmap_->getOriginY();
  // The pipeline marks around the centre of the costmap window: the robot of a rolling window.
  window.centre_x = window.origin_x + costmap_->getSizeInMetersX() * 0.5;
  window.centre_y = window.origin_y + costmap_->getSizeInMetersY() * 0.5;
  return window;
}

void GridObstacleType::onInitialize()
{
  const CostmapWindow window = readCostmapWindow();
  obs_type_grid_map_ = std::make_shared<ObsTypeGridMap>(
    static_cast<int>(window.size_x), static_cast<int>(window.size_y), window.resolution,
    window.origin_x, window.origin_y);
  auto node = node_.lock();

  declareAndGet("enable_trace_merge_map", false, enable_trace_merge_map_);
  if (enable_trace_merge_map_) {
    rclcpp::PublisherOptions options;
    options.callback_group = callback_group_;
    trace_merge_pub_ = node->create_publisher<nav_msgs::msg::OccupancyGrid>(
      "trace_merge_occupancy", rclcpp::QoS(1).reliable().transient_local(), options);
    trace_merge_pub_->on_activate();
  }

  costmap_depth_camera::FrustumObservationRosOptions options;
  options.name = "";
  options.enable_frustum_trace = false;
  options.global_frame = "";
  options.transform_tolerance = 0.2;
  options.percentage_reduction_map_size = 0.2;
  options.dilation_size = 0.0;
  getOptions(options);

  const CostmapWindow pipeline_window = readCostmapWindow();
  frustum_observation_ = std::make_shared<costmap_depth_camera::FrustumObservationRos>(
    node_, options, *tf_buffer_, pipeline_window.size_x, pipeline_window.size_y,
    pipeline_window.resolution, pipeline_window.origin_x, pipeline_window.origin_y);
  getSourceParametersAndCreateObservation(frustum_observation_);
  frustum_observation_->activate();

  readMapDirectoryParameters();
  loadZones(readCostmapWindow());
  QLOG_INFO(
    "GridObstacleType::updateMap set narrow_corridor_objs_ size {}, priority_passage_objs_ size {}",
    narrow_corridor_objs_.size(), priority_passage_objs_.size());
  logPriorityPassageCoordinates(name_, priority_passage_objs_);

  mark_objs_pub_ = node->create_publisher<sensor_msgs::msg::PointCloud2>(
    "mark_objs", rclcpp::QoS(1));
}

void GridObstacleType::getOptions(costmap_depth_camera::FrustumObservationRosOptions & options)
{
  declareAndGet("enable_near_blocked_protection", true, options.enable_near_blocked_protection);
  declareAndGet(
    "number_points_considered_as_blocked", 5, options.number_points_considered_as_blocked);
  declareAndGet("forced_clearing_distance", 0.1, options.forced_clearing_distance);
  options.global_frame = global_frame_;
  declareAndGet("transform_tolerance", 0.2, options.transform_tolerance);
  declareAndGet("enable_frustum_trace", false, options.enable_frustum_trace);
  declareAndGet("decay_time", 5.0, options.decay_time);
  declareAndGet("local_cache_distance", 3.0, options.local_cache_distance);
  declareAndGet("occlusion_clearing", true, options.occlusion_clearing);
  declareAndGet("clearing_min_point_cloud", 3, options.clearing_min_point_cloud);
  declareAndGet("percentage_reduction_map_size", 0.2, options.percentage_reduction_map_size);
}

bool GridObstacleType::getObservationSourceConfig(
  const std::string & source, const costmap_depth_camera::FrustumObservationOptions & defaults,
  costmap_depth_camera::FrustumObservationOptions & options)
{
  const auto & base = defaults.buffer_options;
  auto & buffer = options.buffer_options;
  const std::string prefix = source + ".";
  buffer.source_name = name_ + "." + source;

  declareAndGet(prefix + "topic", base.topic, buffer.topic);
  declareAndGet(prefix + "msg_type", defaults.msg_type, options.msg_type);
  declareAndGet(prefix + "sensor_frame", defaults.sensor_frame, options.sensor_frame);
  declareAndGet(prefix + "camera_info_topic", base.camera_info_topic, buffer.camera_info_topic);
  declareAndGet(
    prefix + "observation_persistence", base.observation_persistence,
    buffer.observation_persistence);
  declareAndGet(
    prefix + "expected_update_rate", base.expected_update_rate, buffer.expected_update_rate);
  declareAndGet(
    prefix + "min_obstacle_height", base.min_obstacle_height, buffer.min_obstacle_height);
  declareAndGet(
    prefix + "max_obstacle_height", base.max_obstacle_height, buffer.max_obstacle_height);
  declareAndGet(
    prefix + "min_detect_distance", base.min_detect_distance, buffer.min_detect_distance);
  declareAndGet(
    prefix + "max_detect_distance", base.max_detect_distance, buffer.max_detect_distance);
  declareAndGet(
    prefix + "frustum_theta_resolution", base.frustum_theta_resolution,
    buffer.frustum_theta_resolution);
  declareAndGet(
    prefix + "frustum_obstruct_theta_tolerance", base.frustum_obstruct_theta_tolerance,
    buffer.frustum_obstruct_theta_tolerance);
  declareAndGet(
    prefix + "frustum_r_resolution", base.frustum_r_resolution, buffer.frustum_r_resolution);
  declareAndGet(prefix + "marking", defaults.marking, options.marking);

  // A source reads its own strategy keys only when it asks to; otherwise it inherits them whole.
  if (!declareAndGet(prefix + "frustum_strategy_enable", false)) {
    buffer.frustum_strategy = base.frustum_strategy;
    return true;
  }
  const std::string strategy = source + ".frustum_strategy.";
  const auto & from = base.frustum_strategy;
  auto & to = buffer.frustum_strategy;
  to.no_reference_point = declareAndGet(strategy + "no_reference_point", from.no_reference_point);
  to.out_of_theta = declareAndGet(strategy + "out_of_theta", from.out_of_theta);
  to.near_range_without_point =
    declareAndGet(strategy + "near_range_without_point", from.near_range_without_point);
  to.near_range_with_point =
    declareAndGet(strategy + "near_range_with_point", from.near_range_with_point);
  to.far_range_without_point =
    declareAndGet(strategy + "far_range_without_point", from.far_range_without_point);
  to.far_range_with_point =
    declareAndGet(strategy + "far_range_with_point", from.far_range_with_point);
  to.inside_without_point =
    declareAndGet(strategy + "inside_without_point", from.inside_without_point);
  to.inside_with_point = declareAndGet(strategy + "inside_with_point", from.inside_with_point);
  return true;
}

void GridObstacleType::getSourceParametersAndCreateObservation(
  std::shared_ptr<costmap_depth_camera::FrustumObservationRos> frustum_observation)
{
  const auto sources = declareAndGet("observation_sources", std::string());
  const costmap_depth_camera::FrustumObservationOptions built_in{};
  costmap_depth_camera::FrustumObservationOptions shared_defaults = built_in;
  getObservationSourceConfig(kDefaultSourceConfiguration, built_in, shared_defaults);

  std::istringstream words(sources);
  std::string source;
  // Each source owns its keys: a name listed twice, or the default configuration listed as a
  // source, is refused as a key declared twice would be.
  std::set<std::string> listed{kDefaultSourceConfiguration};
  while (words >> source) {
    if (!listed.insert(source).second) {
      throw rclcpp::exceptions::ParameterAlreadyDeclaredException(
              "parameter '" + fullParameterName(source + ".topic") +
              "' has already been declared");
    }
    costmap_depth_camera::FrustumObservationOptions options = built_in;
    getObservationSourceConfig(source, shared_defaults, options);
    checkFrustumSettings(source, options.buffer_options);
    frustum_observation->addObservationBufferListen(options);
  }
}

void GridObstacleType::checkFrustumSettings(
  const std::string & source,
  const costmap_depth_camera::ObservationBufferOptions & options) const
{
  // The camera's frustum gives a bin size that is not positive its default and settles view
  // distances that contradict each other, but only when the camera's first frame arrives: the
  // host hears of it here, where it set them. A bin size that is no number, or infinite, has no
  // meaning at all.
  const auto key = [this, &source](const char * name) {
      return fullParameterName(source + "." + name);
    };
  const costmap_depth_camera::ObservationBufferOptions defaults;
  const std::tuple<const char *, double, double, const char *> bins[] = {
    {"frustum_theta_resolution", options.frustum_theta_resolution,
      defaults.frustum_theta_resolution, "rad"},
    {"frustum_r_resolution", options.frustum_r_resolution, defaults.frustum_r_resolution, "m"}};
  for (const auto & [name, value, fallback, unit] : bins) {
    if (std::isnan(value) || value == std::numeric_limits<double>::infinity()) {
      throw std::invalid_argument(
              fmt::format("parameter {} is {}: it must be a finite bin size", key(name), value));
    }
    if (!(value > 0.0)) {
      QLOG_WARN(
        "parameter {} is {}: the camera's frustum uses {} {} instead", key(name), value, fallback,
        unit);
    }
  }
  double near = options.min_detect_distance;
  if (!(near >= 0.0 && std::isfinite(near))) {
    QLOG_WARN(
      "parameter {} is {}: the camera's frustum starts at 0 m instead", key("min_detect_distance"),
      near);
    near = 0.0;
  }
  const double far = options.max_detect_distance;
  if (!(std::isfinite(far) && far >= near)) {
    QLOG_WARN(
      "parameter {} is {} with {} {}: the camera's frustum ends where it starts, so the camera "
      "clears nothing", key("max_detect_distance"), far, key("min_detect_distance"),
      options.min_detect_distance);
  }
}

void GridObstacleType::readMapDirectoryParameters()
{
  const std::vector<std::pair<std::string, std::string>> keys{
    {"map_id_file", "history.map"}, {"map_mark_yaml_file", "mark.yaml"},
    {"map_meta_yaml_file", "map.yaml"}, {"map_path_str", "/opt/quorvane/data/resource/map/"}};
  for (const auto & [key, default_value] : keys) {
    declareParameter(key, rclcpp::ParameterValue(default_value));
  }
  std::vector<std::string> values;
  for (const auto & [key, default_value] : keys) {
    std::string value = default_value;
    getParameter(key, value);
    values.push_back(value);
  }
  map_id_file_ = values[0];
  map_mark_yaml_file_ = values[1];
  map_meta_yaml_file_ = values[2];
  map_path_str_ = values[3];
  // The history file's own error lines do not say where the directory was looked for.
  std::error_code error;
  if (!std::filesystem::is_directory(map_path_str_, error)) {
    QLOG_WARN(
      "GridObstacleType({}) finds no map directory {} (parameter {}): no zones until it exists "
      "and a map is loaded", name_, map_path_str_.string(), fullParameterName("map_path_str"));
  }
}

void GridObstacleType::loadZones(const CostmapWindow & window)
{
  // The last map's zones go first: they never belong to the next map, and a large site's zones
  // would otherwise be held twice while the next ones load.
  narrow_corridor_objs_.clear();
  priority_passage_objs_.clear();
  zone_layer_ = ZoneLayer(window.resolution, window.origin_x, window.origin_y);
  zone_window_.reset();
  // One reading of the zone file for both kinds, each zone drawn onto the layer as it is kept.
  auto zones = plane_object::PlaneObjectFactory(
    map_path_str_, map_id_file_, map_meta_yaml_file_, map_mark_yaml_file_,
    {kNarrowCorridorMark, kPriorityPassageMark},
    [this](plane_object::Base & zone) {addToZoneLayer(zone);});
  narrow_corridor_objs_ = std::move(zones[0]);
  priority_passage_objs_ = std::move(zones[1]);
}

void GridObstacleType::addToZoneLayer(plane_object::Base & zone)
{
  const auto grid = zone.getGrid(zone_layer_.resolution());
  if (!grid) {
    return;
  }
  zone_layer_.add(
    *grid, zone.type == kPriorityPassageMark ?
    ZoneLayer::kPriorityPassage : ZoneLayer::kNarrowCorridor);
  // The layer holds the cells from here on. An empty grid stays, so that a zone that draws
  // nothing says so once, as before.
  if (grid->cellCount() > 0) {
    zone.grid.reset();
  }
}

void GridObstacleType::followZones(const CostmapWindow & window)
{
  std::optional<std::pair<std::int64_t, std::int64_t>> start =
    zone_layer_.place(window.resolution, window.origin_x, window.origin_y);
  if (!start) {
    // Another resolution, or an origin off the lattice (a new static map): the zones are drawn
    // again, onto the window's own lattice.
    zone_layer_ = ZoneLayer(window.resolution, window.origin_x, window.origin_y);
    zone_window_.reset();
    for (const Zones * zones : {&narrow_corridor_objs_, &priority_passage_objs_}) {
      for (const auto & zone : *zones) {
        addToZoneLayer(*zone);
      }
    }
    start.emplace(0, 0);
  }
  if (zone_window_.follow(zone_layer_, window.size_x, window.size_y, start->first, start->second)) {
    passage_distances_stale_ = true;
  }
}

void GridObstacleType::updateMap()
{
  const CostmapWindow window = readCostmapWindow();
  obs_type_grid_map_->resize(
    static_cast<int>(window.size_x), static_cast<int>(window.size_y), window.resolution,
    window.origin_x, window.origin_y);
  obs_type_grid_map_->resetGrid();
  double min_x = std::numeric_limits<double>::max();
  double min_y = std::numeric_limits<double>::max();
  double max_x = 0.0;
  double max_y = 0.0;
  frustum_observation_->updatePointCloud3DMap(
    *obs_type_grid_map_, &min_x, &min_y, &max_x, &max_y, window.centre_x, window.centre_y);

  if (map_changed_.load()) {
    const MapChangeAcknowledgement acknowledgement(map_changed_);
    loadZones(window);
    QLOG_INFO(
      "GridObstacleType::updateMap set narrow_corridor_objs_ size {}, priority_passage_objs_ "
      "size {}", narrow_corridor_objs_.size(), priority_passage_objs_.size());
    logPriorityPassageCoordinates(name_, priority_passage_objs_);
  }

  // The zones are not written into the grid: the queries read them beside it, so that a window
  // that stays where it was costs nothing and one that moves costs the cells it newly covers.
  followZones(window);
  QLOG_DEBUG(
    "GridObstacleType::updateMap set SEMANTIC_NARROW_PASSAGE count {}",
    zone_window_.narrowCorridorCells());
  const std::uint64_t passage_cells = zone_window_.priorityPassageCells();
  QLOG_INFO(
    "[PriorityPassage] GridObstacleType loaded priority passage objects: {}, cells: {}",
    priority_passage_objs_.size(), passage_cells);
  if (!priority_passage_objs_.empty() && passage_cells == 0) {
    QLOG_WARN(
      "[PriorityPassage] GridObstacleType found priority passage objects, but no cells were "
      "written to gridmap");
  }
  has_priority_passage_ = passage_cells > 0;
  if (!has_priority_passage_) {
    // Without passage cells there is nothing to measure; the matrix is released.
    priority_passage_dist_map_ = cv::Mat();
  }

  publishZoneCloud();
  grid_updated_ = true;
  publishGridView();
}

template<typename Visitor>
void GridObstacleType::walkZoneCells(const Zones & zones, Visitor && visit) const
{
  // The grid took the costmap's resolution at the start of this update.
  const double resolution = obs_type_grid_map_->getResolution();
  for (const auto & zone : zones) {
    const auto grid = zone->getGrid(resolution);
    if (!grid) {
      continue;
    }
    for (std::uint32_t row = 0; row < grid->height(); ++row) {
      for (std::uint32_t col = 0; col < grid->width(); ++col) {
        if (!grid->at(col, row)) {
          continue;
        }
        double wx = 0.0;
        double wy = 0.0;
        grid->mapToWorld(col, row, wx, wy);
        unsigned int mx = 0;
        unsigned int my = 0;
        if (obs_type_grid_map_->worldToMap(wx, wy, mx, my)) {
          visit(mx, my, wx, wy);
        }
      }
    }
  }
}

void GridObstacleType::computePassageDistances()
{
  passage_distances_stale_ = false;
  const int rows = static_cast<int>(obs_type_grid_map_->getHeight());
  const int cols = static_cast<int>(obs_type_grid_map_->getWidth());
  // The passage cells follow from the zones and the window alone (no camera category carries the
  // passage bit).
  passage_cells_.clear();
  for (int my = 0; my < rows; ++my) {
    for (int mx = 0; mx < cols; ++mx) {
      if (zone_window_.at(mx, my) & ZoneLayer::kPriorityPassageBit) {
        passage_cells_.emplace_back(mx, my);
      }
    }
  }
  if (priority_passage_dist_map_.rows != rows || priority_passage_dist_map_.cols != cols) {
    priority_passage_dist_map_ = cv::Mat::zeros(rows, cols, CV_32FC1);
  } else {
    priority_passage_dist_map_(passage_box_).setTo(0.0f);
  }
  passage_box_ = passageBox(rows, cols);
  // Inside the box, the cells outside every passage are the zero pixels the distances are
  // measured to. A zero cell outside the box is never nearer than its projection onto the box's
  // border ring, which holds no passage cell (where the box is clipped by the grid, there is no
  // cell beyond it), so the box alone gives the exact distances.
  passage_mask_buffer_.assign(static_cast<size_t>(passage_box_.area()), 0);
  cv::Mat mask(passage_box_.size(), CV_8UC1, passage_mask_buffer_.data());
  for (const cv::Point & cell : passage_cells_) {
    mask.at<std::uint8_t>(cell - passage_box_.tl()) = 255;
  }
  cv::Mat distances = priority_passage_dist_map_(passage_box_);
  euclideanDistanceTransform(mask, distances);
}

cv::Rect GridObstacleType::passageBox(int rows, int cols) const
{
  cv::Rect box = cv::boundingRect(passage_cells_);
  box.x -= 1;
  box.y -= 1;
  box.width += 2;
  box.height += 2;
  return box & cv::Rect(0, 0, cols, rows);
}

void GridObstacleType::publishZoneCloud() const
{
  if (!mark_objs_pub_ || mark_objs_pub_->get_subscription_count() == 0) {
    return;
  }
  // Both views are stamped on the node's clock (simulated time under use_sim_time).
  const auto node = node_.lock();
  if (!node) {
    return;
  }
  pcl::PointCloud<pcl::PointXYZ> cloud;
  const auto add_point = [&cloud](unsigned int, unsigned int, double wx, double wy) {
      cloud.push_back(pcl::PointXYZ(static_cast<float>(wx), static_cast<float>(wy), 0.0f));
    };
  walkZoneCells(narrow_corridor_objs_, add_point);
  walkZoneCells(priority_passage_objs_, add_point);
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(cloud, message);
  message.header.frame_id = global_frame_;
  message.header.stamp = node->now();
  mark_objs_pub_->publish(message);
}

void GridObstacleType::publishGridView()
{
  if (!enable_trace_merge_map_ || !trace_merge_pub_) {
    return;
  }
  auto node = node_.lock();
  if (!node) {
    // The view is stamped with the node's clock; without the node there is nothing to stamp.
    return;
  }
  // The view shows the zones as the queries see them.
  const unsigned int width = obs_type_grid_map_->getWidth();
  for (unsigned int my = 0; my < obs_type_grid_map_->getHeight(); ++my) {
    for (unsigned int mx = 0; mx < width; ++mx) {
      const ObsTypeBitMap zone_bits = zoneBitsAt(mx, my);
      if (zone_bits.any()) {
        obs_type_grid_map_->merge(my * width + mx, zone_bits);
      }
    }
  }
  trace_merge_pub_->publish(obs_type_grid_map_->changeToOccupancyGrid(global_frame_, node->now()));
}

bool GridObstacleType::isInsideGrid(unsigned int mx, unsigned int my) const
{
  return obs_type_grid_map_ && mx < obs_type_grid_map_->getWidth() &&
         my < obs_type_grid_map_->getHeight();
}

ObsTypeBitMap GridObstacleType::zoneBitsAt(unsigned int mx, unsigned int my) const
{
  const std::uint8_t coverage = zone_window_.at(mx, my);
  ObsTypeBitMap bits;
  bits.reset();
  if (coverage & ZoneLayer::kNarrowCorridorBit) {
    bits.merge(narrow_corridor_bits_);
  }
  if (coverage & ZoneLayer::kPriorityPassageBit) {
    bits.or_with(OBS_TYPE_PRIORITY_PASSAGE);
  }
  return bits;
}

ObsTypeBitMap GridObstacleType::cellBits(unsigned int mx, unsigned int my) const
{
  ObsTypeBitMap bits = obs_type_grid_map_->get(mx, my);
  bits.merge(zoneBitsAt(mx, my));
  return bits;
}

bool GridObstacleType::inNarrowPassage(unsigned int mx, unsigned int my, int)
{
  return isInsideGrid(mx, my) && cellBits(mx, my).any(OBS_TYPE_NARROW_PASSAGE);
}

bool GridObstacleType::inPriorityPassage(unsigned int mx, unsigned int my, int)
{
  return isInsideGrid(mx, my) && cellBits(mx, my).any(OBS_TYPE_PRIORITY_PASSAGE);
}

bool GridObstacleType::hasPriorityPassage()
{
  return has_priority_passage_;
}

float GridObstacleType::getPriorityPassageBoundaryDist(unsigned int mx, unsigned int my)
{
  // Measured when first asked for after the window or the zones changed: a moving window would
  // otherwise pay a distance transform in every update, asked for or not.
  if (has_priority_passage_ && passage_distances_stale_) {
    computePassageDistances();
  }
  const cv::Mat & distances = priority_passage_dist_map_;
  if (distances.empty() || mx >= static_cast<unsigned int>(distances.cols) ||
    my >= static_cast<unsigned int>(distances.rows))
  {
    return 0.0f;
  }
  return distances.at<float>(static_cast<int>(my), static_cast<int>(mx));
}

bool GridObstacleType::getObstacleType(unsigned int mx, unsigned int my, ObsTypeBitMap & bits) const
{
  if (!isInsideGrid(mx, my)) {
    bits.reset();
    return false;
  }
  bits = cellBits(mx, my);
  return grid_updated_;
}

bool GridObstacleType::callbackOnMapChange(std::string_view)
{
  map_changed_.exchange(true);
  return true;
}

}  // namespace quorvane_nav2_gridmap

PLUGINLIB_EXPORT_CLASS(quorvane_nav2_gridmap::GridObstacleType, quorvane_nav2_gridmap::GridMap)
