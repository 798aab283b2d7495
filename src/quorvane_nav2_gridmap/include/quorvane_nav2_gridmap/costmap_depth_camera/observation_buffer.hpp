#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_HPP_

// Keeps the recent messages of one depth-camera source as observations in the global frame,
// measures their arrival rate, and refills the source's frustum detector from every kept point.

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <geometry_msgs/msg/polygon.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <quorvane_protocol/msg/semantic_point_cloud.hpp>
#include <rclcpp/clock.hpp>
#include <rclcpp/duration.hpp>
#include <rclcpp/logger.hpp>
#include <rclcpp/time.hpp>
#include <tf2_ros/buffer.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer_options.hpp"

namespace costmap_depth_camera
{

class ObservationBuffer
{
public:
  // `clock` is the owning node's ROS clock: observation ages and the rate check are measured on it.
  ObservationBuffer(
    const ObservationBufferOptions & options, const std::string & global_frame,
    tf2_ros::Buffer & tf_buffer, double tf_tolerance, std::shared_ptr<rclcpp::Clock> clock,
    rclcpp::Logger logger, std::shared_ptr<FrustumDetector> detector);
  ObservationBuffer(const ObservationBuffer &) = delete;
  ObservationBuffer & operator=(const ObservationBuffer &) = delete;
  ~ObservationBuffer() = default;

  // Stores the message as the newest observation; false, with the buffer unchanged, when it is
  // refused or its transform is missing. The caller holds lock_.
  bool bufferCloud(const quorvane_protocol::msg::SemanticPointCloud & message);
  // Drops what outlived the keep time and, once the clock went back, what it observed after the
  // time it went back to.
  void purgeStaleObservations();
  bool isCurrent() const;
  void resetLastUpdated();
  // Drops the rate stamps older than ten seconds once the oldest is.
  void cleanHZCache();
  void cacheForHZ(rclcpp::Time stamp);
  // hz is the measured rate (-1 when no rate is expected); false when it is below expected_hz or
  // cannot be measured.
  bool checkHZ(double & hz);
  // Appends every kept observation, newest first; the caller holds lock_.
  void getObservations(std::vector<Observation> & observations);
  // getObservations, then refills the detector (when there is one) from every kept point and
  // hands it out; the caller holds lock_.
  void getObservationsAndFrustumDetector(
    std::vector<Observation> & observations,
    std::vector<std::shared_ptr<FrustumDetector>> & detectors, bool trace);

  // The map update's way in, without copying points; the caller holds lock_. Appends the kept
  // observations, newest first, shared: the buffer never changes an observation it stored.
  void collectObservations(std::vector<std::shared_ptr<const Observation>> & observations);
  // The detector half of getObservationsAndFrustumDetector; `started` begins its timing line.
  // A detector whose buffer did not change since its last refill is handed out as it is.
  void refreshFrustumDetector(
    std::vector<std::shared_ptr<FrustumDetector>> & detectors, bool trace,
    std::chrono::system_clock::time_point started);
  // Changes whenever an observation is stored or purged; the caller holds lock_.
  std::uint64_t contentVersion() const {return content_version_;}

  const ObservationBufferOptions & options() const {return options_;}
  const rclcpp::Time & last_updated() const {return last_updated_;}
  const geometry_msgs::msg::TransformStamped & camera_transform() const {return camera_transform_;}
  const geometry_msgs::msg::Polygon & shape() const {return shape_;}

private:
  geometry_msgs::msg::TransformStamped lookupToGlobal(
    const std::string & frame, const builtin_interfaces::msg::Time & stamp) const;
  PointCloud transformSubCloud(
    const quorvane_protocol::msg::SemanticCloud & sub_cloud, const Eigen::Matrix3f & rotation,
    const Eigen::Vector3f & translation) const;
  // Keeps the finite points inside the height band, moved into the global frame, at the front of
  // `cloud` (sized for every point) with their bounds; returns how many.
  Eigen::Index filterAndTransform(
    const sensor_msgs::msg::PointCloud2 & message_cloud, Eigen::Index point_count,
    const Eigen::Matrix3f & rotation, const Eigen::Vector3f & translation,
    PointCloud & cloud) const;
  // Drops the observations stamped after now when the clock went back since the last purge.
  void forgetWhatFollowsABackwardJump();
  // Names the source and its bin sizes the first time its detector's pose needs too many bins.
  void reportOversizedGrid(const FrustumDetector & detector);

  std::list<rclcpp::Time> hz_cache_;  // oldest first
  std::recursive_mutex hz_mutex_;
  ObservationBufferOptions options_;
  std::string global_frame_;
  tf2_ros::Buffer & tf_buffer_;
  double tf_tolerance_;
  rclcpp::Duration keep_time_;
  rclcpp::Time last_updated_;
  std::shared_ptr<rclcpp::Clock> clock_;
  // Nanoseconds of the clock at the last purge: a later reading below it is a backward jump.
  std::int64_t latest_clock_reading_;
  rclcpp::Logger logger_;
  // Camera frame to global frame at the stamp of the last stored message.
  geometry_msgs::msg::TransformStamped camera_transform_;
  // The last stored message's shape, in the global frame.
  geometry_msgs::msg::Polygon shape_;
  std::list<std::shared_ptr<const Observation>> observation_list_;  // newest first
  std::uint64_t content_version_{0};
  // The detector and the content it was last refilled from.
  std::shared_ptr<FrustumDetector> refilled_detector_;
  std::uint64_t refilled_version_{0};
  bool oversized_grid_reported_{false};

public:
  // Set by the front end, under lock_, once the camera's CameraInfo is known.
  std::shared_ptr<FrustumDetector> frustum_detector_;
  // Taken by the callers around bufferCloud and the reads, never inside this class.
  std::mutex lock_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__OBSERVATION_BUFFER_HPP_
