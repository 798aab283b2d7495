#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <utility>

#include <pcl_ros/transforms.hpp>
#include <tf2/exceptions.h>
#include <tf2/time.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/elapsed_milliseconds.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/xyz_cloud_check.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{
namespace
{

// Code of a failed transform lookup in the log line, fixed for this site.
constexpr int kTransformErrorCode = 101100016;
// A bufferCloud call at least this slow is reported.
constexpr double kSlowBufferMilliseconds = 100.0;
// Stamps older than this play no part in the rate check.
constexpr double kRateWindowSeconds = 10.0;

// The smallest float f with f >= limit, compared as doubles; NaN stays NaN, so that it drops
// nothing, as the double comparison would.
float smallestFloatNotBelow(double limit)
{
  if (!(limit > -static_cast<double>(std::numeric_limits<float>::max()))) {
    return std::isnan(limit) ? std::numeric_limits<float>::quiet_NaN() :
           -std::numeric_limits<float>::max();
  }
  if (limit > static_cast<double>(std::numeric_limits<float>::max())) {
    return std::numeric_limits<float>::infinity();
  }
  float value = static_cast<float>(limit);
  if (static_cast<double>(value) < limit) {
    value = std::nextafter(value, std::numeric_limits<float>::infinity());
  }
  return value;
}

// The largest float f with f <= limit, compared as doubles.
float largestFloatNotAbove(double limit)
{
  return -smallestFloatNotBelow(-limit);
}

tf2::TimePoint toTimePoint(const builtin_interfaces::msg::Time & stamp)
{
  return tf2::TimePoint(
    tf2::Duration(static_cast<std::int64_t>(stamp.sec) * 1000000000LL + stamp.nanosec));
}

}  // namespace

ObservationBuffer::ObservationBuffer(
  const ObservationBufferOptions & options, const std::string & global_frame,
  tf2_ros::Buffer & tf_buffer, double tf_tolerance, std::shared_ptr<rclcpp::Clock> clock,
  rclcpp::Logger logger, std::shared_ptr<FrustumDetector> detector)
: options_(options),
  global_frame_(global_frame),
  tf_buffer_(tf_buffer),
  tf_tolerance_(tf_tolerance),
  keep_time_(rclcpp::Duration::from_seconds(options.observation_persistence)),
  last_updated_(clock->now()),
  clock_(std::move(clock)),
  latest_clock_reading_(last_updated_.nanoseconds()),
  logger_(std::move(logger)),
  frustum_detector_(std::move(detector))
{
}

bool ObservationBuffer::bufferCloud(const quorvane_protocol::msg::SemanticPointCloud & message)
{
  const auto start = std::chrono::system_clock::now();
  const std::string & cloud_frame = message.header.frame_id;
  if (cloud_frame.empty()) {
    QLOG_WARN("Warning: Pointcloud's frame_id is empty!");
    return false;
  }
  // rclcpp::Time cannot hold a time before 1970: stored, such a stamp would make every later
  // purge and detector refill throw for as long as the observation is kept.
  if (message.header.stamp.sec < 0) {
    QLOG_WARN(
      "ObservationBuffer {} refuses the cloud of frame {}: its stamp {} s {} ns lies before 1970",
      options_.source_name, cloud_frame, message.header.stamp.sec, message.header.stamp.nanosec);
    return false;
  }
  // A malformed sub-cloud refuses the whole message before anything is looked up or changed,
  // so a camera driver fault can neither leave a half-built observation nor escape the callback.
  for (std::size_t i = 0; i < message.clouds.size(); ++i) {
    const std::string defect = xyzCloudDefect(message.clouds[i].cloud);
    if (!defect.empty()) {
      QLOG_ERROR(
        "ObservationBuffer {} refuses the cloud of frame {}: sub-cloud {} {}",
        options_.source_name, cloud_frame, i, defect);
      return false;
    }
  }

  geometry_msgs::msg::TransformStamped cloud_to_global;
  geometry_msgs::msg::TransformStamped camera_to_global;
  try {
    cloud_to_global = lookupToGlobal(cloud_frame, message.header.stamp);
    if (frustum_detector_) {
      camera_to_global = lookupToGlobal(frustum_detector_->camera().frame_id, message.header.stamp);
    }
  } catch (const tf2::TransformException & exception) {
    QLOG_ERROR(
      "TF Exception that should never happen for global frame: {}, cloud frame: {}, {}, "
      "error code is {}", global_frame_, cloud_frame, exception.what(), kTransformErrorCode);
    return false;
  }
  Eigen::Matrix4f matrix;
  pcl_ros::transformAsMatrix(cloud_to_global, matrix);
  const Eigen::Matrix3f rotation = matrix.topLeftCorner<3, 3>();
  const Eigen::Vector3f translation = matrix.topRightCorner<3, 1>();

  Observation observation;
  observation.stamp = message.header.stamp;
  observation.frame = global_frame_;
  observation.clouds.reserve(message.clouds.size());
  for (const auto & sub_cloud : message.clouds) {
    observation.clouds.push_back(transformSubCloud(sub_cloud, rotation, translation));
  }

  if (frustum_detector_) {
    camera_transform_ = camera_to_global;
    shape_.points.resize(message.shape.points.size());
    for (std::size_t i = 0; i < shape_.points.size(); ++i) {
      const auto & vertex = message.shape.points[i];
      const Eigen::Vector3f global =
        rotation * Eigen::Vector3f(vertex.x, vertex.y, vertex.z) + translation;
      shape_.points[i].x = global.x();
      shape_.points[i].y = global.y();
      shape_.points[i].z = global.z();
    }
  }
  observation_list_.push_front(std::make_shared<const Observation>(std::move(observation)));
  ++content_version_;

  last_updated_ = clock_->now();
  if (options_.expected_hz > 0) {
    cacheForHZ(last_updated_);
  }
  purgeStaleObservations();

  const double elapsed = millisecondsBetween(start, std::chrono::system_clock::now());
  if (elapsed >= kSlowBufferMilliseconds) {
    QLOG_WARN("ObservationBuffer::bufferCloud deal is slow, use time {:4.3f} ms.", elapsed);
  }
  return true;
}

geometry_msgs::msg::TransformStamped ObservationBuffer::lookupToGlobal(
  const std::string & frame, const builtin_interfaces::msg::Time & stamp) const
{
  return tf_buffer_.lookupTransform(
    global_frame_, frame, toTimePoint(stamp), tf2::durationFromSec(tf_tolerance_));
}

PointCloud ObservationBuffer::transformSubCloud(
  const quorvane_protocol::msg::SemanticCloud & sub_cloud, const Eigen::Matrix3f & rotation,
  const Eigen::Vector3f & translation) const
{
  PointCloud cloud;
  cloud.category = sub_cloud.category;
  cloud.is_polygon = sub_cloud.is_polygon;
  const auto & message_cloud = sub_cloud.cloud;
  // Surplus data beyond height x width points is ignored.
  const auto point_count =
    static_cast<Eigen::Index>(static_cast<std::uint64_t>(message_cloud.height) * message_cloud.width);
  cloud.points.resize(3, point_count);
  Eigen::Index kept = 0;
  if (point_count > 0) {
    kept = filterAndTransform(message_cloud, point_count, rotation, translation, cloud);
  }
  if (kept != point_count) {
    cloud.points.conservativeResize(Eigen::NoChange, kept);
  }
  if (kept == 0) {
    cloud.updateEdge();
  }
  return cloud;
}

Eigen::Index ObservationBuffer::filterAndTransform(
  const sensor_msgs::msg::PointCloud2 & message_cloud, Eigen::Index point_count,
  const Eigen::Matrix3f & rotation, const Eigen::Vector3f & translation, PointCloud & cloud) const
{
  const XyzOffsets offsets = xyzOffsets(message_cloud);
  const std::size_t step = message_cloud.point_step;
  const std::uint8_t * point = message_cloud.data.data();
  const std::uint8_t * const end = point + static_cast<std::size_t>(point_count) * step;
  // The height band compares the float z with double limits; these float limits keep exactly
  // the same points with a float comparison.
  const float lowest = smallestFloatNotBelow(options_.min_obstacle_height);
  const float highest = largestFloatNotAbove(options_.max_obstacle_height);
  float * out = cloud.points.data();
  // The bounds start from +-infinity, which any finite point replaces; the first point sets
  // them, as updateEdge's strict comparisons do.
  float min_x = std::numeric_limits<float>::infinity();
  float min_y = min_x;
  float max_x = -min_x;
  float max_y = -min_x;
  for (; point != end; point += step) {
    const float x = loadFloat(point + offsets.x);
    const float y = loadFloat(point + offsets.y);
    const float z = loadFloat(point + offsets.z);
    // x - x is 0 for a finite x and NaN otherwise; one test covers all three coordinates.
    if (!((x - x) + (y - y) + (z - z) == 0.0f) || z < lowest || z > highest) {
      continue;
    }
    const Eigen::Vector3f global = rotation * Eigen::Vector3f(x, y, z) + translation;
    min_x = std::min(min_x, global.x());
    max_x = std::max(max_x, global.x());
    min_y = std::min(min_y, global.y());
    max_y = std::max(max_y, global.y());
    out[0] = global.x();
    out[1] = global.y();
    out[2] = global.z();
    out += 3;
  }
  const auto kept = static_cast<Eigen::Index>((out - cloud.points.data()) / 3);
  // A first point that the transform took beyond float range (a NaN) fixes updateEdge's
  // bounds; only then do they differ from the running ones, and only then are they recomputed.
  if (kept > 0 && std::isfinite(cloud.points(0, 0)) && std::isfinite(cloud.points(1, 0))) {
    cloud.min_x = min_x;
    cloud.max_x = max_x;
    cloud.min_y = min_y;
    cloud.max_y = max_y;
  } else {
    cloud.points.conservativeResize(Eigen::NoChange, kept);
    cloud.updateEdge();
  }
  return kept;
}

void ObservationBuffer::purgeStaleObservations()
{
  forgetWhatFollowsABackwardJump();
  if (observation_list_.empty()) {
    return;
  }
  if (keep_time_ == rclcpp::Duration(0, 0)) {
    if (observation_list_.size() > 1) {
      observation_list_.erase(std::next(observation_list_.begin()), observation_list_.end());
      ++content_version_;
    }
    return;
  }
  for (auto it = observation_list_.begin(); it != observation_list_.end(); ++it) {
    const rclcpp::Duration age = clock_->now() - rclcpp::Time((*it)->stamp, RCL_ROS_TIME);
    if (age > keep_time_) {
      observation_list_.erase(it, observation_list_.end());
      ++content_version_;
      return;
    }
  }
}

void ObservationBuffer::forgetWhatFollowsABackwardJump()
{
  const std::int64_t now = clock_->now().nanoseconds();
  const bool went_back = now < latest_clock_reading_;
  latest_clock_reading_ = now;
  if (!went_back) {
    return;
  }
  // As tf2 clears its buffer: what was observed after the time the clock went back to belongs to
  // a run that is over (a bag played in a loop, a simulation reset), and would never age.
  const std::size_t kept_before = observation_list_.size();
  observation_list_.remove_if(
    [now](const std::shared_ptr<const Observation> & observation) {
      return rclcpp::Time(observation->stamp).nanoseconds() > now;
    });
  if (observation_list_.size() != kept_before) {
    ++content_version_;
  }
}

bool ObservationBuffer::isCurrent() const
{
  return true;
}

void ObservationBuffer::resetLastUpdated()
{
  last_updated_ = clock_->now();
}

void ObservationBuffer::cleanHZCache()
{
  // Recursive: the rate operations call this with the mutex already held.
  std::lock_guard<std::recursive_mutex> guard(hz_mutex_);
  if (hz_cache_.empty()) {
    return;
  }
  const rclcpp::Time now = clock_->now();
  const auto window = rclcpp::Duration::from_seconds(kRateWindowSeconds);
  if (now - hz_cache_.front() > window) {
    hz_cache_.remove_if([&](const rclcpp::Time & stamp) {return now - stamp > window;});
  }
}

void ObservationBuffer::cacheForHZ(rclcpp::Time stamp)
{
  std::lock_guard<std::recursive_mutex> guard(hz_mutex_);
  cleanHZCache();
  hz_cache_.push_back(stamp);
}

bool ObservationBuffer::checkHZ(double & hz)
{
  if (options_.expected_hz < 1) {
    hz = -1.0;
    return true;
  }
  std::lock_guard<std::recursive_mutex> guard(hz_mutex_);
  cleanHZCache();
  if (hz_cache_.empty()) {
    hz = 0.0;
    return false;
  }
  const double span = (clock_->now() - hz_cache_.front()).seconds();
  if (span < 0.001) {
    hz = 0.0;
    return false;
  }
  hz = static_cast<double>(hz_cache_.size()) / span;
  return !(options_.expected_hz > hz);
}

void ObservationBuffer::getObservations(std::vector<Observation> & observations)
{
  purgeStaleObservations();
  for (const auto & observation : observation_list_) {
    observations.push_back(*observation);
  }
}

void ObservationBuffer::collectObservations(
  std::vector<std::shared_ptr<const Observation>> & observations)
{
  purgeStaleObservations();
  observations.insert(observations.end(), observation_list_.begin(), observation_list_.end());
}

void ObservationBuffer::getObservationsAndFrustumDetector(
  std::vector<Observation> & observations,
  std::vector<std::shared_ptr<FrustumDetector>> & detectors, bool trace)
{
  const auto started = std::chrono::system_clock::now();
  getObservations(observations);
  refreshFrustumDetector(detectors, trace, started);
}

void ObservationBuffer::refreshFrustumDetector(
  std::vector<std::shared_ptr<FrustumDetector>> & detectors, bool trace,
  std::chrono::system_clock::time_point started)
{
  const auto t1 = std::chrono::system_clock::now();
  if (!frustum_detector_) {
    refilled_detector_.reset();
    return;
  }
  // Built after the last stored message, the detector has no pose yet: placed by the transform
  // of another camera frame, or none at all, it would clear where its camera does not look.
  if (camera_transform_.child_frame_id != frustum_detector_->camera().frame_id) {
    return;
  }
  auto t2 = t1;
  // The refill depends only on the stored points, the camera transform and the shape, all of
  // which change only with the content: an unchanged buffer leaves the detector as it is.
  if (frustum_detector_ != refilled_detector_ || content_version_ != refilled_version_) {
    // The detector is refilled from the stored points themselves, never from copies.
    std::vector<std::reference_wrapper<const PointCloud>> clouds;
    for (const auto & observation : observation_list_) {
      clouds.insert(clouds.end(), observation->clouds.begin(), observation->clouds.end());
    }
    t2 = std::chrono::system_clock::now();

    FrustumDetector & detector = *frustum_detector_;
    detector.clear();
    detector.setTrans(camera_transform_);
    reportOversizedGrid(detector);
    detector.setShape(shape_);
    for (const PointCloud & cloud : clouds) {
      detector.accumulateDepthGrid(cloud.points);
    }
    detector.fixSetting();
    refilled_detector_ = frustum_detector_;
    refilled_version_ = content_version_;
  }
  detectors.push_back(frustum_detector_);
  const auto t3 = std::chrono::system_clock::now();

  if (trace) {
    QLOG_INFO(
      "ObservationBuffer::getObservationsAndFrustumDetector use time {:4.3f} ms, time1: {:4.3f} ms, "
      "time2: {:4.3f} ms, time3: {:4.3f} ms", millisecondsBetween(started, t3),
      millisecondsBetween(started, t1), millisecondsBetween(t1, t2), millisecondsBetween(t2, t3));
  }
}

void ObservationBuffer::reportOversizedGrid(const FrustumDetector & detector)
{
  const FrustumDetector::OversizedGrid & oversized = detector.oversized_grid();
  if (!oversized || oversized_grid_reported_) {
    return;
  }
  // A tilting camera may pass in and out of such poses with every frame: said once.
  oversized_grid_reported_ = true;
  QLOG_ERROR(
    "ObservationBuffer {}: the frustum of camera frame {} needs {} range by {} azimuth bins in "
    "this pose, more than {:.0f} cells, so the camera clears nothing while posed so; a coarser "
    "frustum_theta_resolution (now {}) or frustum_r_resolution (now {}) lets it",
    options_.source_name, detector.camera().frame_id, oversized.rows, oversized.columns,
    FrustumDetector::kMaxGridCells, options_.frustum_theta_resolution,
    options_.frustum_r_resolution);
}

}  // namespace costmap_depth_camera
