// The subscription side of the depth-camera observations: sources, their transform filters and
// callbacks, camera info and frustum detectors, activation and the marking switches.

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>
#include <rclcpp/qos.hpp>
#include <rclcpp/subscription_options.hpp>
#include <rclcpp/wait_for_message.hpp>
#include <rmw/types.h>
#include <tf2/time.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/camera_info_intake.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/log_throttle.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr char kSemanticPointCloudType[] = "SemanticPointCloud";
constexpr std::uint32_t kFilterQueueSize = 5;
constexpr double kFilterTimeoutSeconds = 0.2;
constexpr double kDilationThreshold = 0.0001;

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

// The source settings that make a refused frustum's depth grid too large, as "name value" pairs.
std::string oversizedSettings(
  const FrustumDetector::Refusal & refusal, const ObservationBufferOptions & source)
{
  std::string settings;
  if (refusal.resolutions_at_fault) {
    settings = fmt::format(
      "frustum_theta_resolution {} and frustum_r_resolution {}", source.frustum_theta_resolution,
      source.frustum_r_resolution);
  }
  if (refusal.distances_at_fault) {
    settings += fmt::format(
      "{}min_detect_distance {} and max_detect_distance {}", settings.empty() ? "" : " with ",
      source.min_detect_distance, source.max_detect_distance);
  }
  return settings;
}

// Says why a CameraInfo gives the source no frustum: the message itself, or the source's settings.
void reportRefusal(
  const FrustumDetector::Refusal & refusal, const ObservationBufferOptions & options,
  const sensor_msgs::msg::CameraInfo & camera_info)
{
  if (refusal.camera_info_at_fault) {
    QLOG_ERROR(
      "FrustumObservationRos refuses the camera info of source {} (topic {}, camera frame {}): "
      "{}; no clearing through this camera until a usable one arrives", options.source_name,
      options.camera_info_topic, camera_info.header.frame_id, refusal.reason);
  } else {
    QLOG_ERROR(
      "FrustumObservationRos builds no frustum for source {}: with its {}, {} for the camera "
      "info on {}; no clearing through this camera until these settings change",
      options.source_name, oversizedSettings(refusal, options), refusal.reason,
      options.camera_info_topic);
  }
}

}  // namespace

// What the frame callback of one source works with.
struct FrustumObservationRos::CameraSource
{
  std::shared_ptr<ObservationBuffer> buffer;
  // Empty when the source wants no CameraInfo.
  std::shared_ptr<CameraInfoIntake> camera_info;
  // Held by the frame that takes the CameraInfo, before the buffer's lock_; frames that come
  // meanwhile leave it to that one.
  std::mutex camera_info_turn;
  LogThrottle missing_frustum_warning;
  LogThrottle refusal_error;
  std::atomic<bool> never_clears_told{false};
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
  filter_buffer_(std::make_unique<GatedTransformBuffer>(tf_buffer)),
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
  // No cloud enters a filter any more, and no transform answer reaches one: the filters may go
  // while the Buffer still holds their requests, which end at the closed gate.
  for (const auto & subscriber : observation_subscribers_) {
    subscriber->close();
  }
  filter_buffer_->close();
  observation_filters_.clear();
  // A subscriber an executor thread is still calling lives on in that thread until it returns.
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

std::shared_ptr<CameraInfoIntake> FrustumObservationRos::makeCameraInfoIntake(
  rclcpp_lifecycle::LifecycleNode & node, const FrustumObservationOptions & source)
{
  const std::string & topic = source.buffer_options.camera_info_topic;
  if (!options_.occlusion_clearing || topic.empty()) {
    return nullptr;
  }
  if (!camera_info_group_) {
    camera_info_group_ =
      node.create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  }
  return std::make_shared<CameraInfoIntake>(node, topic, camera_info_group_);
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

  // Nothing is taken before activate().
  auto subscriber = std::make_shared<SemanticSubscriber>(
    node_, source.buffer_options.topic, semanticCloudQos(), subscription_options,
    source.buffer_options.source_name);
  auto filter = std::make_shared<SemanticFilter>(
    *subscriber, *filter_buffer_, options_.global_frame, kFilterQueueSize,
    node->get_node_logging_interface(), node->get_node_clock_interface(),
    tf2::durationFromSec(kFilterTimeoutSeconds));
  auto camera_source = std::make_shared<CameraSource>();
  camera_source->buffer = buffer;
  camera_source->camera_info = makeCameraInfoIntake(*node, source);
  // The callback holds no share of the node (nor of the filter that calls it): it must never be
  // the one to destroy them.
  filter->registerCallback(
    [this, gate = callback_gate_, camera_source](
      const std::shared_ptr<const SemanticPointCloud> & message) {
      const CallbackGate::Pass pass(gate);
      if (pass) {
        receiveCloud(message, *camera_source);
      }
    });

  observation_subscribers_.push_back(subscriber);
  observation_filters_.push_back(filter);
  camera_sources_.push_back(camera_source);

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
      // A source subscribed again may already be buffering a cloud.
      std::lock_guard<std::mutex> guard(buffer->lock_);
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
  const auto own = std::find_if(
    camera_sources_.begin(), camera_sources_.end(),
    [&buffer](const std::shared_ptr<CameraSource> & source) {return source->buffer == buffer;});
  if (own != camera_sources_.end()) {
    receiveCloud(message, **own);
    return;
  }
  // A buffer of no source of this object has no CameraInfo to build its frustum from.
  CameraSource foreign;
  foreign.buffer = buffer;
  receiveCloud(message, foreign);
}

void FrustumObservationRos::receiveCloud(
  const std::shared_ptr<const SemanticPointCloud> & message, CameraSource & source)
{
  // This runs inside the host's executor: an exception must not end its spinning.
  try {
    ObservationBuffer & buffer = *source.buffer;
    bool has_frustum = false;
    {
      std::lock_guard<std::mutex> guard(buffer.lock_);
      bufferMessage(*message, buffer);
      has_frustum = static_cast<bool>(buffer.frustum_detector_);
    }
    if (!options_.occlusion_clearing) {
      return;
    }
    if (!has_frustum) {
      warnMissingFrustum(source);
    }
    followCameraInfo(source);
  } catch (const std::exception & error) {
    QLOG_ERROR(
      "semanticPointCloudCallback of {} failed: {}", source.buffer->options().topic, error.what());
  }
}

void FrustumObservationRos::warnMissingFrustum(CameraSource & source)
{
  const ObservationBufferOptions & options = source.buffer->options();
  if (options.camera_info_topic.empty()) {
    // Marking only is a configuration, not a fault: said once.
    if (!source.never_clears_told.exchange(true)) {
      QLOG_WARN(
        "Warning: semanticPointCloudCallback find frame {} do not have frustum. "
        "camera_info_topic: \"\"; without one this source marks and never clears", options.topic);
    }
  } else if (source.missing_frustum_warning.admit()) {
    QLOG_WARN(
      "Warning: semanticPointCloudCallback find frame {} do not have frustum. "
      "camera_info_topic: \"{}\"", options.topic, options.camera_info_topic);
  }
}

void FrustumObservationRos::followCameraInfo(CameraSource & source)
{
  if (!source.camera_info) {
    return;
  }
  std::unique_lock<std::mutex> turn(source.camera_info_turn, std::try_to_lock);
  if (!turn) {
    return;
  }
  // Never waits: a frame costs one take, a CameraInfo is judged only when it changes, and the
  // update never waits for a frame.
  sensor_msgs::msg::CameraInfo camera_info;
  if (source.camera_info->takeChange(camera_info)) {
    adoptCameraInfo(source, camera_info);
  }
}

void FrustumObservationRos::bufferMessage(
  const SemanticPointCloud & message, ObservationBuffer & buffer)
{
  if (options_.dilation_size > kDilationThreshold) {
    SemanticPointCloud dilated = message;
    for (auto & semantic_cloud : dilated.clouds) {
      pointcloud_process_.dilatePointCloud(semantic_cloud, options_.dilation_size);
    }
    buffer.bufferCloud(dilated);
  } else {
    buffer.bufferCloud(message);
  }
}

void FrustumObservationRos::adoptCameraInfo(
  CameraSource & source, const sensor_msgs::msg::CameraInfo & camera_info)
{
  ObservationBuffer & buffer = *source.buffer;
  const ObservationBufferOptions & options = buffer.options();
  const auto view_min = static_cast<float>(options.min_detect_distance);
  const auto view_max = static_cast<float>(options.max_detect_distance);
  const auto theta_resolution = static_cast<float>(options.frustum_theta_resolution);
  const auto r_resolution = static_cast<float>(options.frustum_r_resolution);
  const FrustumDetector::Refusal refusal = FrustumDetector::refusalOf(
    camera_info, view_min, view_max, theta_resolution, r_resolution);
  std::shared_ptr<FrustumDetector> detector;
  if (!refusal) {
    detector = std::make_shared<FrustumDetector>(
      camera_info, view_min, view_max, theta_resolution, r_resolution,
      static_cast<float>(options.frustum_obstruct_theta_tolerance), options.frustum_strategy);
  }
  // A frustum the camera no longer has would clear what it cannot see: a refused CameraInfo
  // leaves the camera without one.
  bool replaced = false;
  {
    std::lock_guard<std::mutex> guard(buffer.lock_);
    replaced = static_cast<bool>(buffer.frustum_detector_);
    buffer.frustum_detector_ = detector;
  }
  if (detector) {
    QLOG_INFO(
      "FrustumObservationRos {} the frustum of source {} from the camera info on {} (camera frame "
      "{}, {} x {} pixels, fx {}, fy {})", replaced ? "rebuilds" : "builds", options.source_name,
      options.camera_info_topic, camera_info.header.frame_id, camera_info.width,
      camera_info.height, camera_info.p[0], camera_info.p[5]);
  } else if (source.refusal_error.admit()) {
    reportRefusal(refusal, options, camera_info);
  }
}

}  // namespace costmap_depth_camera
