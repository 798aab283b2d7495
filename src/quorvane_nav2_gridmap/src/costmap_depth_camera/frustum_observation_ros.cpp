#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <iterator>
#include <map>
#include <stdexcept>
#include <thread>

#include <opencv2/imgproc.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <pcl_conversions/pcl_conversions.h>
#include <rclcpp/clock.hpp>
#include <rclcpp/qos.hpp>
#include <rclcpp/subscription_options.hpp>
#include <rclcpp/wait_for_message.hpp>
#include <rmw/types.h>
#include <std_msgs/msg/color_rgba.hpp>
#include <tf2/time.h>

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

constexpr char kSemanticPointCloudType[] = "SemanticPointCloud";
constexpr std::uint32_t kFilterQueueSize = 5;
constexpr double kFilterTimeoutSeconds = 0.2;
// The callback holds its buffer's lock while it waits, which delays the map update: keep it short.
constexpr double kCameraInfoWaitSeconds = 0.1;
constexpr double kDilationThreshold = 0.0001;
constexpr double kSummaryPeriodSeconds = 5.0;
constexpr double kStampedThreshold = 1e-06;
// Status codes of a remembered point that the camera now sees through.
constexpr std::int32_t kSeenInSameCell = 1;
constexpr std::int32_t kClearedByStrategy = 3;

rmw_qos_profile_t semanticCloudQos()
{
  rmw_qos_profile_t qos = rmw_qos_profile_default;
  qos.history = RMW_QOS_POLICY_HISTORY_KEEP_LAST;
  qos.depth = 10;
  qos.reliability = RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT;
  qos.durability = RMW_QOS_POLICY_DURABILITY_VOLATILE;
  qos.deadline = rmw_time_t{0, 0};
  qos.lifespan = rmw_time_t{0, 0};
  qos.liveliness = RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT;
  qos.liveliness_lease_duration = rmw_time_t{0, 0};
  qos.avoid_ros_namespace_conventions = false;
  return qos;
}

double toSeconds(const builtin_interfaces::msg::Time & stamp)
{
  return static_cast<double>(stamp.sec) + static_cast<double>(stamp.nanosec) * 1e-9;
}

double systemSeconds()
{
  return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(
           std::chrono::system_clock::now().time_since_epoch()).count()) * 1e-9;
}

std_msgs::msg::ColorRGBA colour(float red, float green, float blue, float alpha)
{
  std_msgs::msg::ColorRGBA result;
  result.r = red / 255.0f;
  result.g = green / 255.0f;
  result.b = blue / 255.0f;
  result.a = alpha;
  return result;
}

// Denser clouds show more opaque, saturating at 100 points.
float cloudAlpha(Eigen::Index point_count)
{
  return static_cast<float>(
    (std::min(100.0, static_cast<double>(point_count)) * 0.4) / 100.0 + 0.1);
}

visualization_msgs::msg::Marker cubeMarker(
  const std::string & ns, std::int32_t id, const std::string & frame_id,
  const rclcpp::Time & stamp)
{
  visualization_msgs::msg::Marker marker;
  marker.header.frame_id = frame_id;
  marker.header.stamp = stamp;
  marker.ns = ns;
  marker.id = id;
  marker.type = visualization_msgs::msg::Marker::CUBE;
  marker.action = visualization_msgs::msg::Marker::ADD;
  return marker;
}

// A flat box over a cloud's x/y bounds at height `z`, its sides `extent` times the bounds'
// (float arithmetic, as the bounds are floats), more opaque the more points it has.
visualization_msgs::msg::Marker cloudBox(
  const std::string & ns, std::int32_t id, const std::string & frame_id,
  const rclcpp::Time & stamp, const PointCloud & cloud, double z, float extent,
  const std::array<float, 3> & rgb)
{
  auto box = cubeMarker(ns, id, frame_id, stamp);
  box.pose.position.x = (cloud.min_x + cloud.max_x) / 2;
  box.pose.position.y = (cloud.min_y + cloud.max_y) / 2;
  box.pose.position.z = z;
  box.scale.x = (cloud.max_x - cloud.min_x) * extent;
  box.scale.y = (cloud.max_y - cloud.min_y) * extent;
  box.scale.z = 0.05;
  box.color = colour(rgb[0], rgb[1], rgb[2], cloudAlpha(cloud.points.cols()));
  return box;
}

// Half extent of the view from the principal point to the far image edge at depth `distance`.
double frustumHalfWidth(float edge, float focal, float principal, float distance)
{
  return static_cast<double>((edge - principal) * distance / focal + 1e-06f);
}

void appendPoints(const PointCloud & cloud, pcl::PointCloud<pcl::PointXYZ> & points)
{
  for (Eigen::Index i = 0; i < cloud.points.cols(); ++i) {
    points.push_back(pcl::PointXYZ(cloud.points(0, i), cloud.points(1, i), cloud.points(2, i)));
  }
}

sensor_msgs::msg::PointCloud2 toMessage(
  pcl::PointCloud<pcl::PointXYZ> & points, const std::string & frame_id)
{
  points.width = static_cast<std::uint32_t>(points.size());
  points.height = 1;
  points.is_dense = false;
  sensor_msgs::msg::PointCloud2 message;
  pcl::toROSMsg(points, message);
  message.header.frame_id = frame_id;
  message.header.stamp = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  return message;
}

// Subscribers whose rclcpp subscription an executor may still be running: that callback uses the
// subscriber, so a retired subscriber is kept until its subscription is gone.
class RetiredSubscribers
{
public:
  static void keep(
    std::weak_ptr<rclcpp::SubscriptionBase> subscription, std::shared_ptr<void> subscriber)
  {
    static RetiredSubscribers retired;
    std::lock_guard<std::mutex> guard(retired.mutex_);
    retired.entries_.erase(
      std::remove_if(
        retired.entries_.begin(), retired.entries_.end(),
        [](const Entry & entry) {return entry.subscription.expired();}),
      retired.entries_.end());
    retired.entries_.push_back(Entry{std::move(subscription), std::move(subscriber)});
  }

private:
  struct Entry
  {
    std::weak_ptr<rclcpp::SubscriptionBase> subscription;
    std::shared_ptr<void> subscriber;
  };

  std::mutex mutex_;
  std::vector<Entry> entries_;
};

// A point of a cloud's matrix in the form the frustum queries take.
struct FloatPoint
{
  float x;
  float y;
  float z;
};

}  // namespace

// Lets the destructor wait for the callbacks that other threads run on this object; a callback
// that comes later finds the gate closed and leaves the object alone.
class FrustumObservationRos::CallbackGate
{
public:
  // Held by a callback for as long as it uses the object.
  class Pass
  {
public:
    explicit Pass(std::shared_ptr<CallbackGate> gate)
    : gate_(std::move(gate)), entered_(gate_->enter()) {}
    ~Pass()
    {
      if (entered_) {
        gate_->leave();
      }
    }
    Pass(const Pass &) = delete;
    Pass & operator=(const Pass &) = delete;
    explicit operator bool() const {return entered_;}

private:
    std::shared_ptr<CallbackGate> gate_;
    bool entered_;
  };

  // Returns once no other thread is inside; a callback that tears the object down itself is not
  // waited for.
  void close()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    open_ = false;
    const auto self = std::this_thread::get_id();
    idle_.wait(
      lock, [this, self] {
        return std::all_of(
          inside_.begin(), inside_.end(), [self](std::thread::id id) {return id == self;});
      });
  }

private:
  bool enter()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_) {
      return false;
    }
    inside_.push_back(std::this_thread::get_id());
    return true;
  }

  void leave()
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      inside_.erase(std::find(inside_.begin(), inside_.end(), std::this_thread::get_id()));
    }
    idle_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable idle_;
  bool open_{true};
  std::vector<std::thread::id> inside_;
};

struct FrustumObservationRos::CameraInfoWait
{
  std::shared_ptr<rclcpp::Subscription<sensor_msgs::msg::CameraInfo>> subscription;
  std::shared_ptr<rclcpp::Context> context;
};

namespace util
{

template<typename NodePtrT>
bool get_cam_para(
  NodePtrT node, const std::string & topic, sensor_msgs::msg::CameraInfo & info, double wait_time)
{
  if (topic.empty()) {
    return false;
  }
  if (!node) {
    throw std::invalid_argument("node cannot be nullptr");
  }
  // In a group that no executor takes: an executor spinning the node would take the message first.
  rclcpp::SubscriptionOptions options;
  options.callback_group =
    node->create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  auto subscription = node->template create_subscription<sensor_msgs::msg::CameraInfo>(
    topic, rclcpp::QoS(1), [](std::shared_ptr<const sensor_msgs::msg::CameraInfo>) {}, options);
  const auto wait = std::chrono::nanoseconds(static_cast<std::int64_t>(wait_time * 1e9));
  return rclcpp::wait_for_message(info, subscription, node->get_node_options().context(), wait);
}

template bool get_cam_para<std::shared_ptr<rclcpp_lifecycle::LifecycleNode>>(
  std::shared_ptr<rclcpp_lifecycle::LifecycleNode> node, const std::string & topic,
  sensor_msgs::msg::CameraInfo & info, double wait_time);

}  // namespace util

FrustumObservationRos::FrustumObservationRos(
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node, FrustumObservationRosOptions & options,
  tf2_ros::Buffer & tf_buffer, unsigned int size_x, unsigned int size_y, double resolution,
  double origin_x, double origin_y)
: MapProcessBase(size_x, size_y, resolution, origin_x, origin_y),
  node_(std::move(node)),
  options_(options),
  tf_buffer_(tf_buffer),
  callback_gate_(std::make_shared<CallbackGate>())
{
  if (options_.enable_frustum_trace) {
    createDebugPublishers();
  }
}

FrustumObservationRos::~FrustumObservationRos()
{
  callback_gate_->close();
  unhookSources();
}

void FrustumObservationRos::unhookSources()
{
  std::vector<std::weak_ptr<rclcpp::SubscriptionBase>> subscriptions;
  for (const auto & subscriber : observation_subscribers_) {
    subscriptions.emplace_back(subscriber ? subscriber->getSubscriber() : nullptr);
    if (subscriber) {
      subscriber->unsubscribe();
    }
  }
  // A filter leaves its subscriber only once a message the subscriber is passing on has been
  // delivered, so the filters go while the subscribers exist.
  observation_filters_.clear();
  for (std::size_t i = 0; i < observation_subscribers_.size(); ++i) {
    if (!subscriptions[i].expired()) {
      RetiredSubscribers::keep(subscriptions[i], observation_subscribers_[i]);
    }
  }
  observation_subscribers_.clear();
}

void FrustumObservationRos::createDebugPublishers()
{
  auto node = node_.lock();
  if (!node) {
    throw std::invalid_argument("node cannot be nullptr");
  }
  frustum_markers_pub_ = node->create_publisher<visualization_msgs::msg::MarkerArray>(
    "frustum_debug_markers", rclcpp::QoS(1));
  combined_pcl_pub_ =
    node->create_publisher<sensor_msgs::msg::PointCloud2>("combined_pcl", rclcpp::QoS(1));
  cluster_pcl_pub_ =
    node->create_publisher<sensor_msgs::msg::PointCloud2>("cluster_pcl", rclcpp::QoS(1));
  // The node gives its plugins no activate call: the debug topics follow the trace option.
  frustum_markers_pub_->on_activate();
  combined_pcl_pub_->on_activate();
  cluster_pcl_pub_->on_activate();
}

std::shared_ptr<FrustumObservationRos::CameraInfoWait> FrustumObservationRos::prepareCameraInfoWait(
  rclcpp_lifecycle::LifecycleNode & node, const FrustumObservationOptions & source)
{
  auto wait = std::make_shared<CameraInfoWait>();
  const std::string & topic = source.buffer_options.camera_info_topic;
  if (!options_.occlusion_clearing || topic.empty()) {
    return wait;
  }
  if (!camera_info_group_) {
    camera_info_group_ =
      node.create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  }
  rclcpp::SubscriptionOptions options;
  options.callback_group = camera_info_group_;
  wait->subscription = node.create_subscription<sensor_msgs::msg::CameraInfo>(
    topic, rclcpp::QoS(1), [](std::shared_ptr<const sensor_msgs::msg::CameraInfo>) {}, options);
  wait->context = node.get_node_options().context();
  return wait;
}

void FrustumObservationRos::addObservationBufferListen(FrustumObservationOptions & source)
{
  auto node = node_.lock();
  if (!node) {
    throw std::invalid_argument("node cannot be nullptr");
  }
  auto buffer = std::make_shared<ObservationBuffer>(
    source.buffer_options, options_.global_frame, tf_buffer_, options_.transform_tolerance,
    node->get_clock(), node->get_logger(), std::shared_ptr<FrustumDetector>());
  observation_buffers_.push_back(buffer);
  if (source.marking) {
    marking_buffers_.push_back(buffer);
  }

  const rclcpp::SubscriptionOptions subscription_options;
  if (source.msg_type != kSemanticPointCloudType) {
    throw std::runtime_error("Unknown message type: " + source.msg_type);
  }

  // The subscriber gets the node's address, not a share of it: the node owns, through its plugins,
  // this object and so the subscriber, and a share would keep the node alive for ever.
  auto subscriber = std::make_shared<SemanticSubscriber>(
    node.get(), source.buffer_options.topic, semanticCloudQos(), subscription_options);
  // Nothing is taken before activate().
  subscriber->unsubscribe();

  auto filter = std::make_shared<SemanticFilter>(
    *subscriber, tf_buffer_, options_.global_frame, kFilterQueueSize,
    node->get_node_logging_interface(), node->get_node_clock_interface(),
    tf2::durationFromSec(kFilterTimeoutSeconds));
  // The callback holds no share of the node: it must never be the one to destroy it, since the
  // node's teardown unhooks the very subscription and filter that are calling.
  filter->registerCallback(
    [this, gate = callback_gate_, buffer, camera_info = prepareCameraInfoWait(*node, source)](
      const std::shared_ptr<const SemanticPointCloud> & message) {
      const CallbackGate::Pass pass(gate);
      if (pass) {
        bufferCloudAndBuildDetector(message, buffer, camera_info);
      }
    });

  observation_subscribers_.push_back(subscriber);
  observation_filters_.push_back(filter);

  if (!source.sensor_frame.empty()) {
    filter->setTargetFrames({options_.global_frame, source.sensor_frame});
  }
}

void FrustumObservationRos::activate()
{
  for (const auto & subscriber : observation_subscribers_) {
    if (subscriber) {
      subscriber->subscribe();
    }
  }
  for (const auto & buffer : observation_buffers_) {
    if (buffer) {
      buffer->resetLastUpdated();
    }
  }
}

void FrustumObservationRos::deactivate()
{
  for (const auto & subscriber : observation_subscribers_) {
    if (subscriber) {
      subscriber->unsubscribe();
    }
  }
}

void FrustumObservationRos::reset()
{
  std::lock_guard<std::mutex> guard(remembered_clouds_mutex_);
  remembered_clouds_.clear();
}

void FrustumObservationRos::setDecayTime(double decay_time)
{
  options_.decay_time = decay_time;
}

bool FrustumObservationRos::setObservationMarkingStatus(std::string name, bool marking)
{
  const auto has_name = [&name](const std::shared_ptr<ObservationBuffer> & buffer) {
      return buffer->options().source_name == name;
    };
  const auto marking_entry =
    std::find_if(marking_buffers_.begin(), marking_buffers_.end(), has_name);
  if (marking_entry != marking_buffers_.end()) {
    if (!marking) {
      marking_buffers_.erase(marking_entry);
    }
    return true;
  }
  if (!marking) {
    return false;
  }
  const auto source =
    std::find_if(observation_buffers_.begin(), observation_buffers_.end(), has_name);
  if (source == observation_buffers_.end()) {
    return false;
  }
  marking_buffers_.push_back(*source);
  return true;
}

void FrustumObservationRos::checkAllMarkingObsHZ(
  std::vector<std::pair<std::string, double>> & result)
{
  for (const auto & buffer : marking_buffers_) {
    if (buffer->options().expected_hz <= 0) {
      continue;
    }
    double hz = 0.0;
    if (!buffer->checkHZ(hz)) {
      result.emplace_back(buffer->options().source_name, hz);
    }
  }
}

void FrustumObservationRos::semanticPointCloudCallback(
  const std::shared_ptr<const SemanticPointCloud> & message,
  const std::shared_ptr<ObservationBuffer> & buffer)
{
  bufferCloudAndBuildDetector(message, buffer, nullptr);
}

void FrustumObservationRos::bufferCloudAndBuildDetector(
  const std::shared_ptr<const SemanticPointCloud> & message,
  const std::shared_ptr<ObservationBuffer> & buffer,
  const std::shared_ptr<CameraInfoWait> & camera_info_wait)
{
  std::lock_guard<std::mutex> guard(buffer->lock_);
  // This runs inside the host's executor: an exception must not end its spinning.
  try {
    if (options_.dilation_size > kDilationThreshold) {
      SemanticPointCloud dilated = *message;
      for (auto & semantic_cloud : dilated.clouds) {
        pointcloud_process_.dilatePointCloud(semantic_cloud, options_.dilation_size);
      }
      buffer->bufferCloud(dilated);
    } else {
      buffer->bufferCloud(*message);
    }

    if (!options_.occlusion_clearing || buffer->frustum_detector_) {
      if (camera_info_wait) {
        // The source's one frustum exists: its camera info is not needed any more.
        camera_info_wait->subscription.reset();
      }
      return;
    }
    const ObservationBufferOptions source = buffer->options();
    QLOG_WARN(
      "Warning: semanticPointCloudCallback find frame {} do not have frustum.", source.topic);
    sensor_msgs::msg::CameraInfo camera_info;
    if (waitForCameraInfo(camera_info_wait, source.camera_info_topic, camera_info)) {
      buildFrustumDetector(*buffer, camera_info);
    }
  } catch (const std::exception & error) {
    QLOG_ERROR(
      "semanticPointCloudCallback of {} failed: {}", buffer->options().topic, error.what());
  }
}

void FrustumObservationRos::buildFrustumDetector(
  ObservationBuffer & buffer, const sensor_msgs::msg::CameraInfo & camera_info)
{
  const ObservationBufferOptions & source = buffer.options();
  const auto view_min = static_cast<float>(source.min_detect_distance);
  const auto view_max = static_cast<float>(source.max_detect_distance);
  const auto theta_resolution = static_cast<float>(source.frustum_theta_resolution);
  const auto r_resolution = static_cast<float>(source.frustum_r_resolution);
  // One absurd CameraInfo must not cost every later update its time or its memory; the next
  // cloud asks again, so a sane CameraInfo still gives the source its clearing.
  const std::string defect = FrustumDetector::cameraInfoDefect(
    camera_info, view_min, view_max, theta_resolution, r_resolution);
  if (!defect.empty()) {
    QLOG_ERROR(
      "FrustumObservationRos refuses the camera info of source {} (topic {}, camera frame {}): {}; "
      "no clearing through this camera until a usable one arrives", source.source_name,
      source.camera_info_topic, camera_info.header.frame_id, defect);
    return;
  }
  buffer.frustum_detector_ = std::make_shared<FrustumDetector>(
    camera_info, view_min, view_max, theta_resolution, r_resolution,
    static_cast<float>(source.frustum_obstruct_theta_tolerance), source.frustum_strategy);
}

bool FrustumObservationRos::waitForCameraInfo(
  const std::shared_ptr<CameraInfoWait> & camera_info_wait, const std::string & topic,
  sensor_msgs::msg::CameraInfo & info)
{
  if (!camera_info_wait) {
    return util::get_cam_para(node_.lock(), topic, info, kCameraInfoWaitSeconds);
  }
  if (!camera_info_wait->subscription) {
    return false;
  }
  const auto wait =
    std::chrono::nanoseconds(static_cast<std::int64_t>(kCameraInfoWaitSeconds * 1e9));
  return rclcpp::wait_for_message(
    info, camera_info_wait->subscription, camera_info_wait->context, wait);
}

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
  std::vector<CurrentCloudCache::SourceVersion> sources;
  bool current = true;
  for (const auto & buffer : marking_buffers_) {
    std::lock_guard<std::mutex> guard(buffer->lock_);
    const auto buffer_started = std::chrono::system_clock::now();
    buffer->collectObservations(observations);
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
    filterCurrentClouds(observations, current_cache_.clouds, current_cache_.cells);
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
  CloudList current;
  CellHeightMap cells;
  filterCurrentClouds(sources, current, cells);
  markRememberedAndCurrent(
    grid, std::move(current), cells, detectors, robot_x, robot_y, min_x, min_y, max_x, max_y);

  if (options_.enable_frustum_trace) {
    logUpdateTime(started, collected, std::chrono::system_clock::now());
    publishDebugMarkers(observations, detectors);
  }
}

template<typename ObservationPointers>
void FrustumObservationRos::filterCurrentClouds(
  const ObservationPointers & observations, CloudList & current, CellHeightMap & cells)
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

  for (const auto & observation : observations) {
    const double time = toSeconds(observation->stamp);
    for (const auto & cloud : observation->clouds) {
      PointCloudWithTime entry;
      entry.category = cloud.category;
      entry.is_polygon = cloud.is_polygon;
      entry.time = time;
      // Only the rising points are copied out of the stored cloud.
      filter.takeRisingPoints(cloud.points, entry, filter_scratch_);
      // Newest first; clouds of equal time keep their arrival order.
      const auto older = std::find_if(
        current.begin(), current.end(),
        [time](const PointCloudWithTime & other) {return other.time < time;});
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
  const double now = systemSeconds();
  const double oldest_current = current.empty() ? now : current.back().time;

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
    if ((reach > 0.0 && (far_in_x || far_in_y)) || entry->time >= oldest_current) {
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

void FrustumObservationRos::publishDebugMarkers(
  const std::vector<Observation> & observations,
  const std::vector<std::shared_ptr<FrustumDetector>> & detectors)
{
  // Without enable_frustum_trace there is nowhere to publish to.
  if (!frustum_markers_pub_) {
    return;
  }
  rclcpp::Time now = rclcpp::Clock(RCL_SYSTEM_TIME).now();
  visualization_msgs::msg::MarkerArray markers;
  std::string text = options_.name + ", ";
  const auto has_transform = [](const FrustumDetector & detector) {
      return detector.stamp().seconds() >= kStampedThreshold;
    };

  std::int32_t shape_id = 0;
  for (const auto & detector : detectors) {
    if (!has_transform(*detector)) {
      continue;
    }
    now = detector->stamp();
    visualization_msgs::msg::Marker marker;
    if (!detector->getMarker(marker)) {
      continue;
    }
    marker.header.frame_id = "map";
    marker.header.stamp = now;
    marker.ns = options_.name + ".shape";
    marker.id = shape_id++;
    marker.type = visualization_msgs::msg::Marker::LINE_LIST;
    marker.action = visualization_msgs::msg::Marker::ADD;
    marker.scale.x = 0.02;
    marker.color = colour(240, 123, 63, 0.6f);
    markers.markers.push_back(marker);
  }

  std::int32_t frustum_count = 0;
  for (const auto & detector : detectors) {
    if (!has_transform(*detector)) {
      continue;
    }
    now = detector->stamp();
    const CameraFrustumParam & camera = detector->camera();
    const auto & p = camera.projection;
    const float width = static_cast<float>(camera.width);
    const float height = static_cast<float>(camera.height);
    std::int32_t id = 2 * frustum_count;
    for (const float distance : {camera.view_min_distance, camera.view_max_distance}) {
      auto slab = cubeMarker(options_.name + ".frustum", id++, camera.frame_id, now);
      slab.pose.position.z = distance;
      slab.scale.x = frustumHalfWidth(width, p[0], p[2], distance);
      slab.scale.y = frustumHalfWidth(height, p[5], p[6], distance);
      slab.scale.z = 0.02;
      slab.color = colour(255, 212, 96, 0.6f);
      markers.markers.push_back(slab);
    }
    ++frustum_count;
  }
  text += "frustum num " + std::to_string(frustum_count) + ", ";

  std::int32_t obs_count = 0;
  std::int32_t obs_points = 0;
  for (const auto & observation : observations) {
    for (const auto & cloud : observation.clouds) {
      if (cloud.points.cols() == 0) {
        continue;
      }
      // Current clouds: half-size boxes stacked upwards.
      markers.markers.push_back(
        cloudBox(
          options_.name + ".cur_pc", obs_count, options_.global_frame, now, cloud,
          obs_count * 0.05, 0.5f, {240, 123, 63}));
      obs_points += static_cast<std::int32_t>(cloud.points.cols());
      ++obs_count;
    }
  }
  text += "obs num " + std::to_string(obs_count) + ", obs-point num " +
    std::to_string(obs_points) + ", ";

  std::int32_t buffer_count = 0;
  std::int32_t buffer_points = 0;
  for (const auto & cloud : remembered_clouds_) {
    // Remembered clouds: full-size boxes stacked downwards.
    markers.markers.push_back(
      cloudBox(
        options_.name + ".buffer", buffer_count, options_.global_frame, now, cloud,
        -buffer_count * 0.05, 1.0f, {234, 84, 85}));
    buffer_points += static_cast<std::int32_t>(cloud.points.cols());
    ++buffer_count;
  }
  text += "buffer num " + std::to_string(buffer_count) + ", buffer-point num " +
    std::to_string(buffer_points) + ".";

  if (isSummaryDue(now.seconds())) {
    QLOG_INFO("{}", text);
  }
  frustum_markers_pub_->publish(markers);

  if (combined_pcl_pub_->get_subscription_count() > 0) {
    pcl::PointCloud<pcl::PointXYZ> points;
    for (const auto & observation : observations) {
      for (const auto & cloud : observation.clouds) {
        appendPoints(cloud, points);
      }
    }
    combined_pcl_pub_->publish(toMessage(points, options_.global_frame));
  }
  if (cluster_pcl_pub_->get_subscription_count() > 0) {
    pcl::PointCloud<pcl::PointXYZ> points;
    for (const auto & cloud : remembered_clouds_) {
      appendPoints(cloud, points);
    }
    cluster_pcl_pub_->publish(toMessage(points, options_.global_frame));
  }
}

bool FrustumObservationRos::isSummaryDue(double reference_seconds) const
{
  // One table for the whole process: instances with the same name share their throttle.
  static std::mutex table_mutex;
  static std::map<std::string, double> last_logged;
  std::lock_guard<std::mutex> guard(table_mutex);
  const auto entry = last_logged.find(options_.name);
  if (entry != last_logged.end() && !(reference_seconds - entry->second > kSummaryPeriodSeconds)) {
    return false;
  }
  last_logged[options_.name] = reference_seconds;
  return true;
}

}  // namespace costmap_depth_camera
