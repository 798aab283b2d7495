#ifndef QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_HPP_
#define QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_HPP_

// Decides, for a remembered obstacle point, whether a depth camera now sees through the place
// where it was: the camera frustum placed in the global frame plus a polar grid of the largest
// elevation tangent the camera observed per azimuth and range bin.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <geometry_msgs/msg/polygon.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <rclcpp/time.hpp>
#include <sensor_msgs/msg/camera_info.hpp>
#include <visualization_msgs/msg/marker.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector_strategy.hpp"
#include "quorvane_nav2_gridmap/logger.hpp"

namespace costmap_depth_camera
{

// The camera's image rectangle between two view distances, in the camera's optical frame
// (z along the view, u along the image width, v along its height).
struct CameraFrustumParam
{
  // Invalid distances or image sizes are logged and replaced, so construction never fails.
  CameraFrustumParam(
    const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance);

  std::string frame_id;
  std::uint64_t height{0};
  std::uint64_t width{0};
  // The projection matrix P, 3 x 4 row-major.
  std::array<float, 12> projection{};
  float view_min_distance{0.0f};
  float view_max_distance{0.0f};
  // The eight corners: near (0,0), (0,H), (W,0), (W,H), then the same at the far distance.
  Eigen::Matrix3Xf corners;
};

class FrustumDetector
{
public:
  // x, y, z per column; the column stride is free so that PCL points bind without a copy.
  using PointMatrix = Eigen::Ref<const Eigen::Matrix3Xf, 0, Eigen::OuterStride<>>;

  // Codes of the cases the grid decides itself; the others come from the strategy.
  static constexpr std::int32_t kNotReady = -1;
  static constexpr std::int32_t kOutsideFrustum = 0;
  static constexpr std::int32_t kSeenInSameCell = 1;
  static constexpr std::int32_t kHidden = 2;

  // A depth grid never holds more cells than this: filling, cropping and reading it stays well
  // under a millisecond whatever a CameraInfo claims.
  static constexpr double kMaxGridCells = 1 << 20;

  FrustumDetector(
    const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance,
    float theta_resolution, float r_resolution, float obstruct_tolerance,
    const FrustumDetectorStrategy & strategy);

  // Why no detector should be built from a CameraInfo with these view distances and bin sizes,
  // and what is to blame: a CameraInfo no real camera sends, or bins so fine (or a view so deep)
  // that the depth grid of the camera mounted level would exceed kMaxGridCells.
  struct Refusal
  {
    std::string reason;  // empty when a detector can be built
    bool camera_info_at_fault{false};
    bool resolutions_at_fault{false};
    bool distances_at_fault{false};

    explicit operator bool() const {return !reason.empty();}
  };
  static Refusal refusalOf(
    const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance,
    float theta_resolution, float r_resolution);
  // What makes `info` no real camera's (an image, a projection or a field of view beyond any
  // device); empty when it could be one.
  static std::string cameraDefect(const sensor_msgs::msg::CameraInfo & info);

  // One refill: clear, setTrans, setShape, the binning calls, fixSetting; then the queries.
  void clear();
  // `transform` maps the camera frame into the global frame.
  bool setTrans(const geometry_msgs::msg::TransformStamped & transform);
  // The polygon (global frame) limits the grid to the bins its vertices cover.
  bool setShape(const geometry_msgs::msg::Polygon & polygon);
  void accumulateDepthGrid(const PointMatrix & points);
  bool setInputCloud(std::shared_ptr<pcl::PointCloud<pcl::PointXYZ>> cloud);
  bool setInputCloudList(const std::vector<std::shared_ptr<pcl::PointCloud<pcl::PointXYZ>>> & clouds);
  bool fixSetting();

  // Any point type with x, y, z members (global frame).
  template<typename PointT>
  bool isInsideFrustum(const PointT & point) const;
  // -1 not ready, 0 outside the frustum (unless `force`), 1 seen in its own cell, 2 hidden
  // behind observed points, otherwise the strategy's code for the case.
  template<typename PointT>
  std::int32_t checkPointFrustumStatus(const PointT & point, bool force) const;
  bool isCrossFrustum(float x_min, float x_max, float y_min, float y_max) const;
  // Writes the polar grid's outline and the bounding rectangle as 16 line-list points.
  bool getMarker(visualization_msgs::msg::Marker & marker) const;

  const CameraFrustumParam & camera() const {return camera_;}
  bool ok() const {return ok_;}
  const rclcpp::Time & stamp() const {return stamp_;}
  const Eigen::Vector3f & origin() const {return origin_;}
  // A (3 x 3 row-major) then b: a global point p projects to (u w, v w, w) = A p + b.
  const std::array<float, 12> & global_projection() const {return global_projection_;}
  // x_min, x_max, y_min, y_max of the frustum corners in the global frame.
  const std::array<float, 4> & bounds() const {return bounds_;}
  bool initialised() const {return initialised_;}
  std::int32_t points_used() const {return points_used_;}
  float start_angle() const {return start_angle_;}
  float end_angle() const {return end_angle_;}
  float theta_resolution() const {return theta_resolution_;}
  float min_range() const {return min_range_;}
  float max_range() const {return max_range_;}
  float r_resolution() const {return r_resolution_;}
  float obstruct_tolerance() const {return obstruct_tolerance_;}
  // Rows are range bins, columns azimuth bins; -inf marks a bin without a point.
  const Eigen::MatrixXf & grid() const {return grid_;}
  std::int32_t r_begin() const {return r_begin_;}
  std::int32_t r_end() const {return r_end_;}
  std::int32_t theta_begin() const {return theta_begin_;}
  std::int32_t theta_end() const {return theta_end_;}
  std::int32_t cloud_count() const {return cloud_count_;}
  const FrustumDetectorStrategy & strategy() const {return strategy_;}

  // The range and azimuth bins the current pose needs when setTrans found them more than
  // kMaxGridCells: the grid then stays empty and the detector judges no point until a pose
  // fits (a tilted camera's frustum spans far more azimuths than a level one's).
  struct OversizedGrid
  {
    Eigen::Index rows{0};
    Eigen::Index columns{0};
    explicit operator bool() const {return rows > 0;}
  };
  const OversizedGrid & oversized_grid() const {return oversized_grid_;}

private:
  static constexpr double kTwoPi = 6.283185307179586;

  // Brings an angle into [0, 2pi); each step is taken in double and stored back in single
  // precision, so the grid is indexed the same way wherever an azimuth is computed.
  static float wrapAngle(float angle)
  {
    if (!std::isfinite(angle)) {
      return angle;
    }
    while (angle >= kTwoPi) {
      angle = static_cast<float>(static_cast<double>(angle) - kTwoPi);
    }
    while (angle < 0.0f) {
      angle = static_cast<float>(static_cast<double>(angle) + kTwoPi);
    }
    return angle;
  }

  // Azimuth of (x, y) about the sensor origin, relative to the grid's first column.
  float gridAzimuth(float x, float y) const
  {
    return wrapAngle(std::atan2(y - origin_.y(), x - origin_.x()) - start_angle_);
  }

  // Largest tangent among the first `row_count` bins of a column; -inf when there are none.
  float columnMaximum(Eigen::Index column, Eigen::Index row_count) const
  {
    float maximum = -std::numeric_limits<float>::infinity();
    for (Eigen::Index row = 0; row < row_count; ++row) {
      maximum = std::max(maximum, grid_(row, column));
    }
    return maximum;
  }

  void resetFillState();

  CameraFrustumParam camera_;
  bool ok_{false};
  rclcpp::Time stamp_;
  Eigen::Vector3f origin_{Eigen::Vector3f::Zero()};
  std::array<float, 12> global_projection_{};
  std::array<float, 4> bounds_{};
  bool initialised_{false};
  std::int32_t points_used_{0};
  float start_angle_{0.0f};
  float end_angle_{0.0f};
  float theta_resolution_;
  float min_range_{0.0f};
  float max_range_{0.0f};
  float r_resolution_;
  float obstruct_tolerance_;
  Eigen::MatrixXf grid_;
  std::int32_t r_begin_{0};
  std::int32_t r_end_{0};
  std::int32_t theta_begin_{0};
  std::int32_t theta_end_{0};
  std::int32_t cloud_count_{0};
  FrustumDetectorStrategy strategy_;
  OversizedGrid oversized_grid_;
};

template<typename PointT>
bool FrustumDetector::isInsideFrustum(const PointT & point) const
{
  if (!ok_) {
    QLOG_ERROR("FrustumDetector::isInsideFrustum is not ok, init was failed");
    return false;
  }
  const float x = static_cast<float>(point.x);
  const float y = static_cast<float>(point.y);
  const float z = static_cast<float>(point.z);
  if (!(bounds_[0] <= x && x <= bounds_[1] && bounds_[2] <= y && y <= bounds_[3])) {
    return false;
  }
  const auto & p = global_projection_;
  const float w = p[6] * x + p[7] * y + p[8] * z + p[11];
  if (!(camera_.view_min_distance <= w && w <= camera_.view_max_distance)) {
    return false;
  }
  const float u = (p[0] * x + p[1] * y + p[2] * z + p[9]) / w;
  if (!(0.0f <= u && u < static_cast<float>(camera_.width))) {
    return false;
  }
  const float v = (p[3] * x + p[4] * y + p[5] * z + p[10]) / w;
  return 0.0f <= v && v < static_cast<float>(camera_.height);
}

template<typename PointT>
std::int32_t FrustumDetector::checkPointFrustumStatus(const PointT & point, bool force) const
{
  // Without its grid the detector knows nothing of what the camera sees in this pose.
  if (!initialised_ || oversized_grid_) {
    return kNotReady;
  }
  if (!force && !isInsideFrustum(point)) {
    return kOutsideFrustum;
  }
  if (points_used_ == 0) {
    return strategy_.no_reference_point;
  }
  const float x = static_cast<float>(point.x);
  const float y = static_cast<float>(point.y);
  // Compared as floats before any conversion, so that a non-finite point never indexes the grid.
  const float column = std::floor(gridAzimuth(x, y) / theta_resolution_);
  if (!(column >= 0.0f && column < static_cast<float>(grid_.cols()))) {
    return strategy_.out_of_theta;
  }
  const auto c = static_cast<Eigen::Index>(column);
  const float dx = x - origin_.x();
  const float dy = y - origin_.y();
  const float r = std::sqrt(dx * dx + dy * dy);
  const float row = std::floor((r - min_range_) / r_resolution_);
  const bool column_has_point = std::isfinite(columnMaximum(c, grid_.rows()));

  if (row < 0.0f) {
    return column_has_point ? strategy_.near_range_with_point : strategy_.near_range_without_point;
  }
  const float tangent = (static_cast<float>(point.z) - origin_.z()) / r;
  if (!(row < static_cast<float>(grid_.rows()))) {
    if (!column_has_point) {
      return strategy_.far_range_without_point;
    }
    // Beyond the grid any observed point of the column that rises above it hides it.
    return columnMaximum(c, grid_.rows()) >= tangent ? kHidden : strategy_.far_range_with_point;
  }
  const auto k = static_cast<Eigen::Index>(row);
  if (std::isfinite(grid_(k, c))) {
    return kSeenInSameCell;
  }
  if (k > 0 && columnMaximum(c, k) >= tangent + obstruct_tolerance_) {
    return kHidden;
  }
  return column_has_point ? strategy_.inside_with_point : strategy_.inside_without_point;
}

}  // namespace costmap_depth_camera

#endif  // QUORVANE_NAV2_GRIDMAP__COSTMAP_DEPTH_CAMERA__FRUSTUM_DETECTOR_HPP_
