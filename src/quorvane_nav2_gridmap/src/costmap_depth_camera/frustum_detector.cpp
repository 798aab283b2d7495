#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include <fmt/format.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <pcl_ros/transforms.hpp>

#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer_options.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kTwoPiFloat = 6.28318548f;
// The azimuth estimate of BinningBlock (a minimax polynomial for atan on [-1, 1] with the
// quadrant symmetries) lies within 2e-6 rad of atan2 wherever x^2 + y^2 is a finite float and
// neither coordinate is zero (at most 1.9e-6 against atan2 on 10^8 random and 2 x 10^8
// structured pairs). This margin is far more than that plus the rounding of the float steps
// that follow, and small enough that almost every point is binned without atan2.
constexpr float kAzimuthMargin = 1e-4f;

// Number of bins of `resolution` covering `span`; a span that is not a positive finite number
// (a degenerate or unset frustum) gives no bin at all.
Eigen::Index binCount(float span, float resolution)
{
  const float count = std::ceil(span / resolution);
  if (!(std::isfinite(count) && count > 0.0f)) {
    return 0;
  }
  // Beyond the cap the exact count does not matter: such a grid is never built.
  return static_cast<Eigen::Index>(
    std::min(static_cast<double>(count), FrustumDetector::kMaxGridCells + 1.0));
}

// Wider than any depth camera's image, on either side.
constexpr std::uint32_t kMaxImageSide = 16384;
// The half view tangent of a lens of about 174 degrees; smaller focal lengths are a broken
// calibration, not a lens.
constexpr double kMaxHalfViewTangent = 20.0;
// The translation a projection may carry (a stereo pair's baseline), far beyond any rig.
constexpr double kMaxProjectionOffset = 100.0;
constexpr float kDefaultThetaResolution = 0.0881f;
constexpr float kDefaultRResolution = 0.05f;

// The view distances as CameraFrustumParam settles them, without its log lines.
std::pair<double, double> settledViewDistances(float view_min_distance, float view_max_distance)
{
  const double near = std::isfinite(view_min_distance) && view_min_distance >= 0.0f ?
    view_min_distance : 0.0;
  const double far = std::isfinite(view_max_distance) && view_max_distance >= near ?
    view_max_distance : near;
  return {near, far};
}

// The eight corners of the image rectangle at two view distances in the camera's optical frame,
// from the projection P (3 x 4 row-major): near (0,0), (0,H), (W,0), (W,H), then the same far.
template<typename Scalar>
Eigen::Matrix<Scalar, 3, Eigen::Dynamic> imageCorners(
  const std::array<Scalar, 12> & p, Scalar width, Scalar height, Scalar near, Scalar far)
{
  Eigen::Matrix<Scalar, 3, Eigen::Dynamic> corners(3, 8);
  Eigen::Index column = 0;
  for (const Scalar depth : {near, far}) {
    for (const Scalar u : {Scalar(0), width}) {
      for (const Scalar v : {Scalar(0), height}) {
        corners(0, column) = ((u - p[2]) * depth - p[3]) / p[0];
        corners(1, column) = ((v - p[6]) * depth - p[7]) / p[5];
        corners(2, column) = depth;
        ++column;
      }
    }
  }
  return corners;
}

// Azimuth and horizontal range span of a frustum about its sensor.
template<typename Scalar>
struct PolarExtent
{
  Scalar start_angle;
  Scalar end_angle;
  Scalar min_range;
  Scalar max_range;
};

// Widens `extent` by the corners (global frame) seen from the sensor at (origin_x, origin_y).
// Corner azimuths are unwrapped about the centre direction, so a frustum looking along -x spans
// one contiguous interval instead of two pieces at +pi and -pi.
template<typename Scalar>
void widenPolarExtent(
  const Eigen::Matrix<Scalar, 3, Eigen::Dynamic> & corners, Scalar origin_x, Scalar origin_y,
  PolarExtent<Scalar> & extent)
{
  const Scalar centre_x = corners.row(0).mean() - origin_x;
  const Scalar centre_y = corners.row(1).mean() - origin_y;
  const Scalar centre_angle = std::atan2(centre_y, centre_x);
  for (Eigen::Index i = 0; i < corners.cols(); ++i) {
    const Scalar x = corners(0, i) - origin_x;
    const Scalar y = corners(1, i) - origin_y;
    const Scalar angle =
      centre_angle + std::atan2(centre_x * y - centre_y * x, centre_x * x + centre_y * y);
    extent.start_angle = std::min(extent.start_angle, angle);
    extent.end_angle = std::max(extent.end_angle, angle);
    const Scalar range = std::sqrt(x * x + y * y);
    extent.min_range = std::min(extent.min_range, range);
    extent.max_range = std::max(extent.max_range, range);
  }
}

// Range by azimuth bins of a depth grid.
struct GridSize
{
  double rows;
  double columns;

  bool fits() const {return rows * columns <= FrustumDetector::kMaxGridCells;}
};

double wholeBins(double span, double resolution)
{
  const double count = std::ceil(span / resolution);
  return std::isfinite(count) && count > 0.0 ? count : 0.0;
}

// The grid a detector builds for the camera mounted level (optical axis horizontal, image
// upright), the way depth cameras look ahead of a robot. Computed in double: the projection may
// hold values no float does.
GridSize levelGridSize(
  const sensor_msgs::msg::CameraInfo & info, double near, double far, double theta_resolution,
  double r_resolution)
{
  const bool has_image = info.width > 0 && info.height > 0;
  const Eigen::Matrix<double, 3, Eigen::Dynamic> camera = imageCorners(
    info.p, has_image ? static_cast<double>(info.width) : 0.0,
    has_image ? static_cast<double>(info.height) : 0.0, near, far);
  // The optical z axis looks along the global x axis, the image's u axis along -y.
  Eigen::Matrix<double, 3, Eigen::Dynamic> level(3, camera.cols());
  level.row(0) = camera.row(2);
  level.row(1) = -camera.row(0);
  level.row(2) = -camera.row(1);
  constexpr double kInfinite = std::numeric_limits<double>::infinity();
  PolarExtent<double> extent{kInfinite, -kInfinite, kInfinite, -kInfinite};
  widenPolarExtent(level, 0.0, 0.0, extent);
  return GridSize{
    wholeBins(extent.max_range - extent.min_range, r_resolution),
    wholeBins(extent.end_angle - extent.start_angle, theta_resolution)};
}

// The per-point arithmetic of a refill for up to kSize points at once. atan2 dominates the
// binning of a frame: its estimate picks the column wherever the angle lies clearly inside one
// (more than kAzimuthMargin from an edge and from the wrap); elsewhere, and on the axes, where
// signed zeros matter, the caller takes the exact atan2, so every point lands where the wrapped
// atan2 puts it.
struct BinningBlock
{
  static constexpr Eigen::Index kSize = 256;
  using Lanes = Eigen::Array<float, kSize, 1>;

  // Codes of a point's column besides the column itself.
  static constexpr std::int32_t kOutsideColumns = -1;
  static constexpr std::int32_t kUndecided = -2;
  static constexpr std::int32_t kOutsideRanges = -3;

  // What one refill needs to know to sort the lanes.
  struct Grid
  {
    float min_range;
    float r_resolution;
    float range_span;
    float column_count;
    float column_margin;
  };

  BinningBlock()
  {
    for (Lanes * lanes : {&dx, &dy, &rise, &range_squared, &azimuth, &bins, &whole_bins, &range,
        &tangent})
    {
      lanes->setZero();
    }
    range_bins.setZero();
    column_codes.setZero();
  }

  template<typename Points>
  void compute(
    const Points & points, Eigen::Index first, Eigen::Index count, const Eigen::Vector3f & origin,
    float start_angle, float per_radian, const Grid & grid)
  {
    for (Eigen::Index j = 0; j < count; ++j) {
      dx[j] = points(0, first + j) - origin.x();
      dy[j] = points(1, first + j) - origin.y();
      rise[j] = points(2, first + j) - origin.z();
    }
    // Arithmetic, absolute values and sign copies only, without a condition, so that the
    // compiler runs this loop in SIMD lanes. The estimate: atan2(|y|, |x|) is pi/4 - atan(r)
    // with r = (|x| - |y|) / (|x| + |y|) in [-1, 1]; the signs of x and y then pick the quadrant.
    for (Eigen::Index j = 0; j < kSize; ++j) {
      const float x = dx[j];
      const float y = dy[j];
      range_squared[j] = x * x + y * y;
      const float across = std::fabs(x);
      const float up = std::fabs(y);
      const float r = (across - up) / (across + up);
      const float q = r * r;
      const float atan_r = (((((-0.01172120f * q + 0.05265332f) * q - 0.11643287f) * q +
        0.19354346f) * q - 0.33262347f) * q + 0.99997726f) * r;
      const float first_quadrant = 0.785398163f - atan_r;
      const float upper_half = 1.57079637f + std::copysign(1.57079637f - first_quadrant, -x);
      const float angle = std::copysign(upper_half, y);
      // Whole turns off: only approximately into [0, 2 pi), which the margins at both ends of
      // the turn absorb.
      const float turned = angle - start_angle;
      const float wrapped = turned - kTwoPiFloat * roughFloor(turned * (1.0f / kTwoPiFloat));
      azimuth[j] = wrapped;
      bins[j] = wrapped * per_radian;
      whole_bins[j] = roughFloor(bins[j]);
    }
    classify(grid);
  }

  // Per lane: the correctly rounded range, the tangent, the range bin, and the column code
  // (the column when the estimate decides it, otherwise one of the codes above). Every value
  // is the one the scalar expressions of the definition give.
  void classify(const Grid & grid)
  {
#if defined(__SSE2__)
    // Written with SSE2 itself: the compiler leaves comparisons that may raise floating-point
    // exceptions out of SIMD lanes, and std::sqrt may set errno.
    const __m128 zero = _mm_setzero_ps();
    const __m128 min_range = _mm_set1_ps(grid.min_range);
    const __m128 r_resolution = _mm_set1_ps(grid.r_resolution);
    const __m128 range_span = _mm_set1_ps(grid.range_span);
    const __m128 column_count = _mm_set1_ps(grid.column_count);
    const __m128 low_margin = _mm_set1_ps(kAzimuthMargin);
    const __m128 high_margin = _mm_set1_ps(kTwoPiFloat - kAzimuthMargin);
    const __m128 low_fraction = _mm_set1_ps(grid.column_margin);
    const __m128 high_fraction = _mm_set1_ps(1.0f - grid.column_margin);
    for (Eigen::Index j = 0; j < kSize; j += 4) {
      const __m128 root = _mm_sqrt_ps(_mm_loadu_ps(&range_squared[j]));
      _mm_storeu_ps(&range[j], root);
      _mm_storeu_ps(&tangent[j], _mm_div_ps(_mm_loadu_ps(&rise[j]), root));
      const __m128 distance = _mm_sub_ps(root, min_range);
      const __m128 in_range =
        _mm_and_ps(_mm_cmpge_ps(distance, zero), _mm_cmplt_ps(distance, range_span));
      const __m128 range_bin = _mm_and_ps(in_range, _mm_div_ps(distance, r_resolution));
      _mm_storeu_si128(
        reinterpret_cast<__m128i *>(&range_bins[j]), _mm_cvttps_epi32(range_bin));

      const __m128 lane_azimuth = _mm_loadu_ps(&azimuth[j]);
      const __m128 whole = _mm_loadu_ps(&whole_bins[j]);
      const __m128 fraction = _mm_sub_ps(_mm_loadu_ps(&bins[j]), whole);
      __m128 clear = _mm_and_ps(
        _mm_cmpneq_ps(_mm_loadu_ps(&dx[j]), zero), _mm_cmpneq_ps(_mm_loadu_ps(&dy[j]), zero));
      clear = _mm_and_ps(clear, _mm_cmpgt_ps(lane_azimuth, low_margin));
      clear = _mm_and_ps(clear, _mm_cmplt_ps(lane_azimuth, high_margin));
      clear = _mm_and_ps(clear, _mm_cmpgt_ps(fraction, low_fraction));
      clear = _mm_and_ps(clear, _mm_cmplt_ps(fraction, high_fraction));
      const __m128 inside = _mm_cmplt_ps(whole, column_count);
      __m128 code = _mm_or_ps(
        _mm_and_ps(inside, whole),
        _mm_andnot_ps(inside, _mm_set1_ps(static_cast<float>(kOutsideColumns))));
      code = _mm_or_ps(
        _mm_and_ps(clear, code),
        _mm_andnot_ps(clear, _mm_set1_ps(static_cast<float>(kUndecided))));
      code = _mm_or_ps(
        _mm_and_ps(in_range, code),
        _mm_andnot_ps(in_range, _mm_set1_ps(static_cast<float>(kOutsideRanges))));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(&column_codes[j]), _mm_cvttps_epi32(code));
    }
#else
    for (Eigen::Index j = 0; j < kSize; ++j) {
      range[j] = std::sqrt(range_squared[j]);
      tangent[j] = rise[j] / range[j];
      const float distance = range[j] - grid.min_range;
      const bool in_range = distance >= 0.0f && distance < grid.range_span;
      range_bins[j] = in_range ? static_cast<std::int32_t>(distance / grid.r_resolution) : 0;
      const float fraction = bins[j] - whole_bins[j];
      const bool clear = dx[j] != 0.0f && dy[j] != 0.0f && azimuth[j] > kAzimuthMargin &&
        azimuth[j] < kTwoPiFloat - kAzimuthMargin && fraction > grid.column_margin &&
        fraction < 1.0f - grid.column_margin;
      column_codes[j] = !in_range ? kOutsideRanges : !clear ? kUndecided :
        whole_bins[j] < grid.column_count ? static_cast<std::int32_t>(whole_bins[j]) :
        kOutsideColumns;
    }
#endif
  }

  // floor(value) for |value| below 2^22 unless value lies within a rounding of an integer (then
  // possibly that integer less one); arithmetic only, as SSE2 has no floor. The column test
  // sends every value that close to an integer to the exact path.
  static float roughFloor(float value)
  {
    constexpr float kShift = 12582912.0f;  // 1.5 * 2^23: adding it rounds to an integer
    return ((value - 0.5f) + kShift) - kShift;
  }

  Lanes dx;
  Lanes dy;
  Lanes rise;
  Lanes range_squared;
  Lanes range;
  Lanes tangent;
  Eigen::Array<std::int32_t, kSize, 1> range_bins;
  Eigen::Array<std::int32_t, kSize, 1> column_codes;
  Lanes azimuth;
  Lanes bins;
  Lanes whole_bins;
};

}  // namespace

FrustumDetector::Refusal FrustumDetector::refusalOf(
  const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance,
  float theta_resolution, float r_resolution)
{
  Refusal refusal;
  refusal.reason = cameraDefect(info);
  if (!refusal.reason.empty()) {
    refusal.camera_info_at_fault = true;
    return refusal;
  }
  const auto [near, far] = settledViewDistances(view_min_distance, view_max_distance);
  const double theta = theta_resolution > 0.0f ? theta_resolution : kDefaultThetaResolution;
  const double r = r_resolution > 0.0f ? r_resolution : kDefaultRResolution;
  const GridSize configured = levelGridSize(info, near, far, theta, r);
  if (configured.fits()) {
    return refusal;
  }
  // Whose fault the size is: the CameraInfo when even a source left at its defaults would
  // overflow, otherwise whichever settings bring the grid back within bounds at their defaults.
  const ObservationBufferOptions defaults;
  const double default_theta = defaults.frustum_theta_resolution;
  const double default_r = defaults.frustum_r_resolution;
  const double default_near = defaults.min_detect_distance;
  const double default_far = defaults.max_detect_distance;
  const GridSize built_in = levelGridSize(info, default_near, default_far, default_theta, default_r);
  if (!built_in.fits()) {
    refusal.camera_info_at_fault = true;
    refusal.reason = fmt::format(
      "even with the default bin sizes and view distances its frustum needs {:.0f} range by {:.0f} "
      "azimuth bins, more than {:.0f} cells", built_in.rows, built_in.columns, kMaxGridCells);
    return refusal;
  }
  const bool fits_default_bins = levelGridSize(info, near, far, default_theta, default_r).fits();
  const bool fits_default_distances =
    levelGridSize(info, default_near, default_far, theta, r).fits();
  refusal.resolutions_at_fault = fits_default_bins || !fits_default_distances;
  refusal.distances_at_fault = fits_default_distances || !fits_default_bins;
  refusal.reason = fmt::format(
    "its depth grid would need {:.0f} range by {:.0f} azimuth bins, more than {:.0f} cells",
    configured.rows, configured.columns, kMaxGridCells);
  return refusal;
}

std::string FrustumDetector::cameraDefect(const sensor_msgs::msg::CameraInfo & info)
{
  if (info.width > kMaxImageSide || info.height > kMaxImageSide) {
    return fmt::format(
      "its image of {} x {} pixels is larger than {} pixels on a side", info.width, info.height,
      kMaxImageSide);
  }
  for (const double entry : info.p) {
    if (!std::isfinite(entry)) {
      return "its projection matrix holds a non-finite entry";
    }
  }
  const auto & p = info.p;
  if (!(p[0] > 0.0 && p[5] > 0.0)) {
    return fmt::format("its focal lengths fx {} and fy {} are not positive", p[0], p[5]);
  }
  const double width = info.width;
  const double height = info.height;
  const double half_tangent_x = std::max(std::fabs(p[2]), std::fabs(width - p[2])) / p[0];
  const double half_tangent_y = std::max(std::fabs(p[6]), std::fabs(height - p[6])) / p[5];
  if (half_tangent_x > kMaxHalfViewTangent || half_tangent_y > kMaxHalfViewTangent) {
    return fmt::format(
      "its focal lengths fx {} and fy {} give a view wider than {:.0f} degrees", p[0], p[5],
      2.0 * std::atan(kMaxHalfViewTangent) * 180.0 / M_PI);
  }
  const double offset_x = std::fabs(p[3] / p[0]);
  const double offset_y = std::fabs(p[7] / p[5]);
  if (offset_x > kMaxProjectionOffset || offset_y > kMaxProjectionOffset) {
    return fmt::format(
      "its projection places the camera {} m by {} m from its frame, more than {} m", offset_x,
      offset_y, kMaxProjectionOffset);
  }
  return {};
}

CameraFrustumParam::CameraFrustumParam(
  const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance)
: frame_id(info.header.frame_id),
  height(info.height),
  width(info.width),
  view_min_distance(view_min_distance),
  view_max_distance(view_max_distance),
  corners(3, 8)
{
  for (std::size_t i = 0; i < projection.size(); ++i) {
    projection[i] = static_cast<float>(info.p[i]);
  }
  if (!std::isfinite(this->view_min_distance) || this->view_min_distance < 0.0f) {
    QLOG_ERROR(
      "CameraFrustumParam view_min_distance {} is invalid, set to default 0", view_min_distance);
    this->view_min_distance = 0.0f;
  }
  if (!std::isfinite(this->view_max_distance) ||
    this->view_max_distance < this->view_min_distance)
  {
    QLOG_ERROR(
      "CameraFrustumParam view_max_distance {} is invalid, set to the same with view_min_distance",
      view_max_distance);
    this->view_max_distance = this->view_min_distance;
  }
  if (height == 0 || width == 0) {
    QLOG_ERROR(
      "CameraFrustumParam height {} and width {} is invalid, set both to 0", height, width);
    height = 0;
    width = 0;
  }

  corners = imageCorners(
    projection, static_cast<float>(width), static_cast<float>(height), this->view_min_distance,
    this->view_max_distance);
}

FrustumDetector::FrustumDetector(
  const sensor_msgs::msg::CameraInfo & info, float view_min_distance, float view_max_distance,
  float theta_resolution, float r_resolution, float obstruct_tolerance,
  const FrustumDetectorStrategy & strategy)
: camera_(info, view_min_distance, view_max_distance),
  theta_resolution_(theta_resolution),
  r_resolution_(r_resolution),
  obstruct_tolerance_(obstruct_tolerance),
  strategy_(strategy)
{
  resetFillState();
  if (!(theta_resolution_ > 0.0f)) {
    theta_resolution_ = kDefaultThetaResolution;
    QLOG_WARN("FrustumDetector input param theta_resolution is invalid, set to default 0.0881");
  }
  if (!(r_resolution_ > 0.0f)) {
    r_resolution_ = kDefaultRResolution;
    QLOG_WARN("FrustumDetector input param r_resolution is invalid, set to default 0.05");
  }
}

void FrustumDetector::resetFillState()
{
  ok_ = false;
  stamp_ = rclcpp::Time(std::int64_t{0}, stamp_.get_clock_type());
  initialised_ = false;
  points_used_ = 0;
  start_angle_ = kInfinity;
  end_angle_ = -kInfinity;
  min_range_ = kInfinity;
  max_range_ = -kInfinity;
  cloud_count_ = 0;
  bounds_ = {-kInfinity, kInfinity, -kInfinity, kInfinity};
  oversized_grid_ = {};
}

void FrustumDetector::clear()
{
  // The grid keeps its storage: setTrans reuses it when the bin count does not change.
  resetFillState();
}

bool FrustumDetector::setTrans(const geometry_msgs::msg::TransformStamped & transform)
{
  Eigen::Matrix4f matrix;
  pcl_ros::transformAsMatrix(transform, matrix);
  const Eigen::Matrix3f rotation = matrix.topLeftCorner<3, 3>();
  const Eigen::Vector3f translation = matrix.topRightCorner<3, 1>();
  origin_ = translation;

  // Project global points directly: P (R^T (p - t)) = A p + b.
  const auto & p = camera_.projection;
  Eigen::Matrix3f camera_projection;
  camera_projection << p[0], p[1], p[2], p[4], p[5], p[6], p[8], p[9], p[10];
  const Eigen::Vector3f camera_offset(p[3], p[7], p[11]);
  const Eigen::Matrix3f a = camera_projection * rotation.transpose();
  const Eigen::Vector3f b = camera_offset - a * translation;
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      global_projection_[static_cast<std::size_t>(row * 3 + column)] = a(row, column);
    }
    global_projection_[static_cast<std::size_t>(9 + row)] = b(row);
  }

  const Eigen::Matrix3Xf corners = (rotation * camera_.corners).colwise() + translation;
  bounds_ = {corners.row(0).minCoeff(), corners.row(0).maxCoeff(),
    corners.row(1).minCoeff(), corners.row(1).maxCoeff()};

  PolarExtent<float> extent{start_angle_, end_angle_, min_range_, max_range_};
  widenPolarExtent(corners, translation.x(), translation.y(), extent);
  start_angle_ = extent.start_angle;
  end_angle_ = extent.end_angle;
  min_range_ = extent.min_range;
  max_range_ = extent.max_range;
  while (start_angle_ < 0.0f) {
    start_angle_ = static_cast<float>(static_cast<double>(start_angle_) + kTwoPi);
    end_angle_ = static_cast<float>(static_cast<double>(end_angle_) + kTwoPi);
  }

  Eigen::Index columns = binCount(end_angle_ - start_angle_, theta_resolution_);
  Eigen::Index rows = binCount(max_range_ - min_range_, r_resolution_);
  if (static_cast<double>(columns) * static_cast<double>(rows) > kMaxGridCells) {
    // The camera tilts so far that its frustum spans most azimuths: it judges nothing rather
    // than stalling updates; its owner knows which source to name.
    oversized_grid_ = {rows, columns};
    columns = 0;
    rows = 0;
  }
  grid_.resize(rows, columns);
  grid_.setConstant(-kInfinity);

  // An empty window until setShape widens it.
  r_begin_ = static_cast<std::int32_t>(rows - 1);
  r_end_ = 0;
  theta_begin_ = static_cast<std::int32_t>(columns - 1);
  theta_end_ = 0;

  stamp_ = rclcpp::Time(transform.header.stamp, RCL_ROS_TIME);
  ok_ = true;
  return true;
}

bool FrustumDetector::setShape(const geometry_msgs::msg::Polygon & polygon)
{
  const Eigen::Index columns = grid_.cols();
  const Eigen::Index rows = grid_.rows();
  if (columns == 0 || rows == 0) {
    // Nothing to window: fixSetting leaves the grid empty either way.
    return true;
  }
  const float azimuth_span = static_cast<float>(columns) * theta_resolution_;
  const float range_span = static_cast<float>(rows) * r_resolution_;
  for (const auto & vertex : polygon.points) {
    if (!std::isfinite(vertex.x) || !std::isfinite(vertex.y)) {
      continue;
    }
    const float dx = vertex.x - origin_.x();
    const float dy = vertex.y - origin_.y();
    const float azimuth = gridAzimuth(vertex.x, vertex.y);
    const float distance = std::sqrt(dx * dx + dy * dy) - min_range_;
    // Bounded before conversion: an azimuth stays within one turn, a distance may be huge.
    auto column = static_cast<std::int64_t>(std::floor(azimuth / theta_resolution_));
    auto row = static_cast<std::int64_t>(
      std::clamp(std::floor(distance / r_resolution_), -1.0f, static_cast<float>(rows)));
    const bool outside_grid =
      azimuth >= azimuth_span || distance < 0.0f || distance >= range_span;
    if (outside_grid && column >= columns) {
      // The nearer edge column going around the circle.
      const double columns_per_turn = kTwoPi / static_cast<double>(theta_resolution_);
      column = static_cast<double>(column - columns) >
        columns_per_turn - static_cast<double>(column) ? 0 : columns - 1;
    }
    // Inside the grid a value just below the bound can still round up to it.
    column = std::min<std::int64_t>(column, columns - 1);
    row = std::clamp<std::int64_t>(row, 0, rows - 1);
    r_begin_ = std::min(r_begin_, static_cast<std::int32_t>(row));
    r_end_ = std::max(r_end_, static_cast<std::int32_t>(row));
    theta_begin_ = std::min(theta_begin_, static_cast<std::int32_t>(column));
    theta_end_ = std::max(theta_end_, static_cast<std::int32_t>(column));
  }
  return true;
}

void FrustumDetector::accumulateDepthGrid(const PointMatrix & points)
{
  ++cloud_count_;
  const Eigen::Index columns = grid_.cols();
  const Eigen::Index rows = grid_.rows();
  if (columns == 0 || rows == 0) {
    return;
  }
  const float azimuth_span = static_cast<float>(columns) * theta_resolution_;
  const float range_span = static_cast<float>(rows) * r_resolution_;
  const BinningBlock::Grid bounds{min_range_, r_resolution_, range_span,
    static_cast<float>(columns), kAzimuthMargin / theta_resolution_};
  // The arithmetic runs over blocks of points in SIMD lanes; every value that decides a cell is
  // computed with the same IEEE operations as one point at a time would.
  BinningBlock block;
  std::int32_t binned = 0;
  // Neighbouring points of a depth frame mostly share a cell: its running maximum stays in a
  // register until another cell comes, instead of going through memory for every point.
  float * open_cell = nullptr;
  float open_maximum = 0.0f;
  for (Eigen::Index first = 0; first < points.cols(); first += BinningBlock::kSize) {
    const Eigen::Index count = std::min(BinningBlock::kSize, points.cols() - first);
    block.compute(points, first, count, origin_, start_angle_, 1.0f / theta_resolution_, bounds);
    for (Eigen::Index j = 0; j < count; ++j) {
      // Non-finite points are outside the ranges: they never reach the grid.
      const std::int32_t code = block.column_codes[j];
      if (code == BinningBlock::kOutsideRanges || code == BinningBlock::kOutsideColumns) {
        continue;
      }
      Eigen::Index column = code;
      if (code == BinningBlock::kUndecided) {
        const float exact = wrapAngle(std::atan2(block.dy[j], block.dx[j]) - start_angle_);
        if (!(exact >= 0.0f && exact < azimuth_span)) {
          continue;
        }
        column = std::min(static_cast<Eigen::Index>(exact / theta_resolution_), columns - 1);
      }
      // A quotient just below the bound can round up to it; keep the index inside the grid.
      const Eigen::Index row = std::min<Eigen::Index>(block.range_bins[j], rows - 1);
      const float tangent = block.tangent[j];
      float * const cell = &grid_(row, column);
      if (cell != open_cell) {
        if (open_cell != nullptr) {
          *open_cell = open_maximum;
        }
        open_cell = cell;
        open_maximum = *cell;
      }
      // A NaN tangent keeps the cell.
      open_maximum = tangent > open_maximum ? tangent : open_maximum;
      ++binned;
    }
  }
  if (open_cell != nullptr) {
    *open_cell = open_maximum;
  }
  points_used_ += binned;
}

bool FrustumDetector::setInputCloud(std::shared_ptr<pcl::PointCloud<pcl::PointXYZ>> cloud)
{
  if (!cloud || cloud->empty()) {
    accumulateDepthGrid(Eigen::Matrix3Xf());
    return true;
  }
  constexpr Eigen::Index stride = sizeof(pcl::PointXYZ) / sizeof(float);
  const Eigen::Map<const Eigen::Matrix3Xf, 0, Eigen::OuterStride<>> points(
    cloud->points.front().data, 3, static_cast<Eigen::Index>(cloud->size()),
    Eigen::OuterStride<>(stride));
  accumulateDepthGrid(points);
  return true;
}

bool FrustumDetector::setInputCloudList(
  const std::vector<std::shared_ptr<pcl::PointCloud<pcl::PointXYZ>>> & clouds)
{
  for (const auto & cloud : clouds) {
    setInputCloud(cloud);
  }
  return true;
}

bool FrustumDetector::fixSetting()
{
  const bool window_valid =
    0 <= r_begin_ && r_begin_ <= r_end_ && r_end_ < grid_.rows() &&
    0 <= theta_begin_ && theta_begin_ <= theta_end_ && theta_end_ < grid_.cols();
  if (window_valid) {
    const Eigen::Index rows = r_end_ - r_begin_ + 1;
    const Eigen::Index columns = theta_end_ - theta_begin_ + 1;
    if (rows != grid_.rows() || columns != grid_.cols()) {
      Eigen::MatrixXf window = grid_.block(r_begin_, theta_begin_, rows, columns);
      grid_.swap(window);
    }
    min_range_ += static_cast<float>(r_begin_) * r_resolution_;
    start_angle_ += static_cast<float>(theta_begin_) * theta_resolution_;
  } else {
    grid_.resize(0, 0);
  }
  if (cloud_count_ <= 0) {
    // Tells "no cloud at all" apart from "clouds without points".
    points_used_ = -1;
  }
  initialised_ = true;
  return true;
}

bool FrustumDetector::isCrossFrustum(float x_min, float x_max, float y_min, float y_max) const
{
  if (!ok_) {
    QLOG_WARN("FrustumDetector::isCrossFrustum is not ok");
    return false;
  }
  if (x_max - x_min < -1e-6f || y_max - y_min < -1e-6f) {
    QLOG_WARN(
      "FrustumDetector::isCrossFrustum input may be wrong, x_min {}, x_max {}, y_min {}, y_max {}",
      x_min, x_max, y_min, y_max);
    return false;
  }
  return bounds_[0] <= x_max && x_min <= bounds_[1] && bounds_[2] <= y_max && y_min <= bounds_[3];
}

bool FrustumDetector::getMarker(visualization_msgs::msg::Marker & marker) const
{
  if (!initialised_) {
    return false;
  }
  marker.header.stamp = stamp_;
  marker.points.resize(16);

  const float near_range = min_range_;
  const float far_range = min_range_ + static_cast<float>(grid_.rows()) * r_resolution_;
  const float first_angle = start_angle_;
  const float last_angle = start_angle_ + static_cast<float>(grid_.cols()) * theta_resolution_;
  const auto polar = [this](float angle, float range) {
      return std::array<double, 2>{origin_.x() + range * std::cos(angle),
        origin_.y() + range * std::sin(angle)};
    };
  const std::array<std::array<double, 2>, 16> outline{
    polar(first_angle, near_range), polar(last_angle, near_range),
    polar(last_angle, near_range), polar(last_angle, far_range),
    polar(last_angle, far_range), polar(first_angle, far_range),
    polar(first_angle, far_range), polar(first_angle, near_range),
    std::array<double, 2>{bounds_[0], bounds_[2]}, std::array<double, 2>{bounds_[0], bounds_[3]},
    std::array<double, 2>{bounds_[0], bounds_[3]}, std::array<double, 2>{bounds_[1], bounds_[3]},
    std::array<double, 2>{bounds_[1], bounds_[3]}, std::array<double, 2>{bounds_[1], bounds_[2]},
    std::array<double, 2>{bounds_[1], bounds_[2]}, std::array<double, 2>{bounds_[0], bounds_[2]}};
  for (std::size_t i = 0; i < outline.size(); ++i) {
    marker.points[i].x = outline[i][0];
    marker.points[i].y = outline[i][1];
  }
  return true;
}

}  // namespace costmap_depth_camera
