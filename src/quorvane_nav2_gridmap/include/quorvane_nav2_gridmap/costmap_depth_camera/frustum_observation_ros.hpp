#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_HPP_

// The depth-camera pipeline as the obstacle-type plugin sees it: subscribes each source's
// semantic clouds through a transform filter into its observation buffer, and on every map update
// marks the observed categories into the grid and clears remembered clouds the cameras see through.

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <quorvane_protocol/msg/semantic_point_cloud.hpp>
#include <rclcpp_lifecycle/lifecycle_node.hpp>
#include <rclcpp_lifecycle/lifecycle_publisher.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <sensor_msgs/msg/point_cloud2.hpp>
#include <tf2_ros/buffer.h>
#include <tf2_ros/message_filter.h>
#include <visualization_msgs/msg/marker_array.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/callback_gate.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/cell_height_map.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_observation_ros_options.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/gated_transform_buffer.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/map_location.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/map_process_base.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/point_cloud_with_time.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/pointcloud_process.hpp"
#include "quorvane_nav2_gridmap/costmap_depth_camera/semantic_cloud_subscriber.hpp"
#include "quorvane_nav2_gridmap/obs_type_grid_map.hpp"

namespace costmap_depth_camera
{

class CameraInfoIntake;

namespace util
{

// Takes one CameraInfo from `topic`, waiting at most `wait_time` seconds; false on time-out or
// when `topic` is empty. Throws std::invalid_argument when the node is gone. Each call subscribes
// afresh (and Humble's wait leaves an on-shutdown callback behind): not for a frame's path.
template<typename NodePtrT>
bool get_cam_para(
  NodePtrT node, const std::string & topic, sensor_msgs::msg::CameraInfo & info, double wait_time);

}  // namespace util

class FrustumObservationRos : public MapProcessBase
{
public:
  using SemanticPointCloud = quorvane_protocol::msg::SemanticPointCloud;
  using SemanticSubscriber = SemanticCloudSubscriber;
  using SemanticFilter = tf2_ros::MessageFilter<SemanticPointCloud, GatedTransformBuffer>;

  // The debug publishers exist only with `enable_frustum_trace`; only then is the node needed
  // here. `tf_buffer` must outlive this object.
  FrustumObservationRos(
    std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node, FrustumObservationRosOptions & options,
    tf2_ros::Buffer & tf_buffer, unsigned int size_x, unsigned int size_y, double resolution,
    double origin_x, double origin_y);
  // Unhooks every source first: no callback of a subscription or filter of this object runs on
  // it once it is gone, whichever thread the host's executor or the transforms call from.
  ~FrustumObservationRos() override;
  FrustumObservationRos(const FrustumObservationRos &) = delete;
  FrustumObservationRos & operator=(const FrustumObservationRos &) = delete;

  // Adds one source: its buffer, and a subscription that stays unsubscribed until activate().
  void addObservationBufferListen(FrustumObservationOptions & source);
  void activate();
  void deactivate();
  // Forgets every remembered cloud.
  void reset();
  void setDecayTime(double decay_time);
  // Starts or stops marking the source named `name`; false when there is nothing to change it on.
  bool setObservationMarkingStatus(std::string name, bool marking);
  // Appends (source name, measured rate) for every marking source slower than it should be.
  void checkAllMarkingObsHZ(std::vector<std::pair<std::string, double>> & result);
  // Buffers the cloud; a source of this object then takes its newest CameraInfo, if a changed one
  // arrived, to build or rebuild its frustum, and never waits for one.
  void semanticPointCloudCallback(
    const std::shared_ptr<const SemanticPointCloud> & message,
    const std::shared_ptr<ObservationBuffer> & buffer);

  // Marks the current and remembered clouds into `grid` and widens the bounds to every cloud
  // marked; false when a marking source is not current.
  bool updatePointCloud3DMap(
    quorvane_nav2_gridmap::ObsTypeGridMap & grid, double * min_x, double * min_y, double * max_x,
    double * max_y, double robot_x, double robot_y);
  bool getMarkingObservations(
    std::vector<Observation> & observations,
    std::vector<std::shared_ptr<FrustumDetector>> & detectors) const;
  void touch(double x, double y, double * min_x, double * min_y, double * max_x, double * max_y);
  // Recomputes the convex hull of a polygon cloud; other clouds get an empty hull.
  void updatePolygon(PointCloudWithTime & cloud);
  void polygonOutlineCells(
    const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells);
  void convexFillCells(const std::vector<MapLocation> & polygon, std::vector<MapLocation> & cells);
  void markCloudInGrid(
    quorvane_nav2_gridmap::ObsTypeGridMap & grid, const PointCloudWithTime & cloud);
  void publishDebugMarkers(
    const std::vector<Observation> & observations,
    const std::vector<std::shared_ptr<FrustumDetector>> & detectors);

protected:
  // The marking work of one update on observations and detectors already collected; takes the
  // remembered clouds' lock, never a buffer's.
  void markObservations(
    quorvane_nav2_gridmap::ObsTypeGridMap & grid, const std::vector<Observation> & observations,
    const std::vector<std::shared_ptr<FrustumDetector>> & detectors, double robot_x,
    double robot_y, double * min_x, double * min_y, double * max_x, double * max_y,
    std::chrono::system_clock::time_point started);

private:
  // A cloud as the update keeps it: with the source that observed it, since only that source's
  // current clouds supersede it.
  struct SourcedCloud : PointCloudWithTime
  {
    const ObservationBuffer * source{nullptr};
  };
  using CloudList = std::list<SourcedCloud>;

  // The current clouds of the last update, filtered, with their bounds and hulls and the highest
  // point of every cell they cover: valid while no marking source stored or dropped an
  // observation and the cell size stayed.
  struct CurrentCloudCache
  {
    using SourceVersion = std::pair<const ObservationBuffer *, std::uint64_t>;
    bool valid{false};
    std::vector<SourceVersion> sources;
    double resolution{0.0};
    CloudList clouds;
    CellHeightMap cells;
  };

  // The highest-point filter over `observations` (pointers, in collection order; each made by
  // the source of the same index of `observed_by`), giving the current clouds newest first with
  // their bounds and hulls, and the cells they cover.
  template<typename ObservationPointers>
  void filterCurrentClouds(
    const ObservationPointers & observations,
    const std::vector<const ObservationBuffer *> & observed_by, CloudList & current,
    CellHeightMap & cells);
  // The remembered pass and the marking of the current clouds, which then join the remembered
  // ones; the caller holds remembered_clouds_mutex_.
  void markRememberedAndCurrent(
    quorvane_nav2_gridmap::ObsTypeGridMap & grid, CloudList current, CellHeightMap & cells,
    const std::vector<std::shared_ptr<FrustumDetector>> & detectors, double robot_x,
    double robot_y, double * min_x, double * min_y, double * max_x, double * max_y);
  void logUpdateTime(
    std::chrono::system_clock::time_point started,
    std::chrono::system_clock::time_point collected,
    std::chrono::system_clock::time_point finished) const;

  // The polygon raster indexes cells by the width of the grid it writes; refresh it, with the
  // rest of the geometry, from the grid of each update.
  void adoptGridGeometry(const quorvane_nav2_gridmap::ObsTypeGridMap & grid);
  void markAndTouch(
    quorvane_nav2_gridmap::ObsTypeGridMap & grid, const PointCloudWithTime & cloud,
    double * min_x, double * min_y, double * max_x, double * max_y);
  // Drops, among the first `count` points of `cloud`, those a usable detector sees through;
  // returns how many are left, moved to the front.
  Eigen::Index clearThroughFrusta(
    PointCloudWithTime & cloud, Eigen::Index count,
    const std::vector<std::shared_ptr<FrustumDetector>> & detectors) const;
  bool isDetectorUsable(const FrustumDetector & detector, const PointCloudWithTime & cloud) const;
  struct CameraSource;

  void createDebugPublishers();
  // A source's CameraInfo subscription, kept for the source's life in a callback group that no
  // executor takes; empty when the source needs none.
  std::shared_ptr<CameraInfoIntake> makeCameraInfoIntake(
    rclcpp_lifecycle::LifecycleNode & node, const FrustumObservationOptions & source);
  void receiveCloud(
    const std::shared_ptr<const SemanticPointCloud> & message, CameraSource & source);
  // The caller holds the buffer's lock_.
  void bufferMessage(const SemanticPointCloud & message, ObservationBuffer & buffer);
  void warnMissingFrustum(CameraSource & source);
  void followCameraInfo(CameraSource & source);
  // Gives the source's buffer the detector of a changed CameraInfo, or none when the CameraInfo
  // or the source's settings would make it useless (then says why, at most once a second).
  void adoptCameraInfo(CameraSource & source, const sensor_msgs::msg::CameraInfo & camera_info);
  void unhookSources();
  // At most one summary per source label every 5 s of the reference times; records the time
  // when it answers true.
  bool isSummaryDue(double reference_seconds) const;
  // The node's ROS time, which is the clouds' time base also under simulated time; ROS time
  // without simulation once the node is gone.
  rclcpp::Time nodeNow() const;

  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> node_;
  FrustumObservationRosOptions options_;
  tf2_ros::Buffer & tf_buffer_;
  // What the filters request transforms through; outlives them.
  std::unique_ptr<GatedTransformBuffer> filter_buffer_;
  std::vector<std::shared_ptr<SemanticSubscriber>> observation_subscribers_;
  std::vector<std::shared_ptr<SemanticFilter>> observation_filters_;
  std::vector<std::shared_ptr<ObservationBuffer>> observation_buffers_;
  std::vector<std::shared_ptr<ObservationBuffer>> marking_buffers_;
  // What each source's frame callback works with, in order of addition.
  std::vector<std::shared_ptr<CameraSource>> camera_sources_;
  std::mutex remembered_clouds_mutex_;
  CloudList remembered_clouds_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<visualization_msgs::msg::MarkerArray>>
  frustum_markers_pub_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<sensor_msgs::msg::PointCloud2>>
  combined_pcl_pub_;
  std::shared_ptr<rclcpp_lifecycle::LifecyclePublisher<sensor_msgs::msg::PointCloud2>>
  cluster_pcl_pub_;
  // Dilation images shared by every source; guarded inside, since callbacks may run at once.
  PointCloudProcess pointcloud_process_;
  // Taken first by every update, before any buffer's lock; callbacks never take it.
  std::mutex update_mutex_;
  CurrentCloudCache current_cache_;
  // Room for the points of the largest cloud while the filter picks the ones to keep.
  Eigen::Matrix3Xf filter_scratch_;
  // Shared with the sources' callbacks, which may be called after this object is gone.
  std::shared_ptr<CallbackGate> callback_gate_;
  std::shared_ptr<rclcpp::CallbackGroup> camera_info_group_;
};

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_OBSERVATION_ROS_HPP_
