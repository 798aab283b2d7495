// The camera frustum detector on a 640 x 480 camera with a 90 degree horizontal field of view
// (0.5 m to 4 m), mounted one metre above the floor and placed through its optical frame.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr float kEps = 1e-4f;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Records every log line (without the numbered prefix) with its source location.
class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  struct Line {spdlog::level::level_enum level; std::string text, file, function;};
  std::vector<Line> lines;

  const Line * find(const std::string & text) const
  {
    for (const auto & line : lines) {
      if (line.text == text) {return &line;}
    }
    return nullptr;
  }

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    const std::string payload(message.payload.data(), message.payload.size());
    lines.push_back({message.level, payload.substr(payload.find("] ") + 2),
        message.source.filename, message.source.funcname});
  }
  void flush_() override {}
};

// fx = fy = 320 and the principal point in the middle: +-45 degrees across the image width.
sensor_msgs::msg::CameraInfo cameraInfo(std::uint32_t width = 640, std::uint32_t height = 480)
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = "camera_optical";
  info.width = width;
  info.height = height;
  info.p = {320.0, 0.0, 320.0, 0.0, 0.0, 320.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

// Optical frame (z forward, x right, y down) of a camera at (x, y, z) looking along `yaw`.
geometry_msgs::msg::TransformStamped cameraPose(double x, double y, double z, double yaw)
{
  Eigen::Matrix3d optical;
  optical << 0, 0, 1, -1, 0, 0, 0, -1, 0;
  const Eigen::Quaterniond q(Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()) * optical);
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = "map";
  transform.header.stamp.sec = 5;
  transform.header.stamp.nanosec = 250000000;
  transform.child_frame_id = "camera_optical";
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  transform.transform.translation.z = z;
  transform.transform.rotation.x = q.x();
  transform.transform.rotation.y = q.y();
  transform.transform.rotation.z = q.z();
  transform.transform.rotation.w = q.w();
  return transform;
}

geometry_msgs::msg::Polygon polygonOf(std::initializer_list<std::array<float, 2>> vertices)
{
  geometry_msgs::msg::Polygon polygon;
  for (const auto & [x, y] : vertices) {
    geometry_msgs::msg::Point32 point;
    point.x = x;
    point.y = y;
    polygon.points.push_back(point);
  }
  return polygon;
}

// For the camera at the origin looking along +x the side vertices snap to the azimuth edges,
// the near one falls in the first range bin and the far one clamps to the last.
const geometry_msgs::msg::Polygon kWholeView =
  polygonOf({{1.0f, -3.0f}, {1.0f, 3.0f}, {0.75f, 0.0f}, {20.0f, 0.0f}});

Eigen::Matrix3Xf pointsOf(std::initializer_list<Eigen::Vector3f> points)
{
  Eigen::Matrix3Xf matrix(3, static_cast<Eigen::Index>(points.size()));
  Eigen::Index column = 0;
  for (const auto & point : points) {
    matrix.col(column++) = point;
  }
  return matrix;
}

Eigen::Index observedCells(const FrustumDetector & detector)
{
  return (detector.grid().array() > -kInf).count();
}

class FrustumDetectorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    strategy_ = {10, 11, 12, 13, 14, 15, 16, 17};
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  FrustumDetector makeDetector(float obstruct_tolerance = 0.0f, float near = 0.5f) const
  {
    return FrustumDetector(cameraInfo(), near, 4.0f, 0.0881f, 0.05f, obstruct_tolerance, strategy_);
  }

  // One complete refill with the camera at (0, 0, 1) looking along +x.
  static void refill(
    FrustumDetector & detector, const std::vector<Eigen::Matrix3Xf> & clouds,
    const geometry_msgs::msg::Polygon & shape = kWholeView)
  {
    detector.clear();
    detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
    detector.setShape(shape);
    for (const auto & cloud : clouds) {
      detector.accumulateDepthGrid(cloud);
    }
    detector.fixSetting();
  }

  FrustumDetectorStrategy strategy_;
  std::shared_ptr<CaptureSink> sink_ = std::make_shared<CaptureSink>();
};

TEST_F(FrustumDetectorTest, InvalidCameraDataIsLoggedAndReplaced)
{
  const FrustumDetector negative_near(cameraInfo(), -1.0f, 4.0f, 0.1f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(negative_near.camera().view_min_distance, 0.0f);
  const auto * line = sink_->find("CameraFrustumParam view_min_distance -1 is invalid, set to default 0");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_EQ(line->file, "./src/costmap_depth_camera/frustum_detector.cpp");
  EXPECT_EQ(line->function, "CameraFrustumParam");

  EXPECT_EQ(FrustumDetector(cameraInfo(), 0.5f, 0.2f, 0.1f, 0.1f, 0.0f, strategy_).camera()
    .view_max_distance, 0.5f);
  EXPECT_NE(sink_->find("CameraFrustumParam view_max_distance 0.2 is invalid, set to the same with "
    "view_min_distance"), nullptr);
  EXPECT_EQ(FrustumDetector(cameraInfo(), 0.5f, kNaN, 0.1f, 0.1f, 0.0f, strategy_).camera()
    .view_max_distance, 0.5f);

  FrustumDetector no_height(cameraInfo(640, 0), 0.5f, 4.0f, 0.0881f, 0.05f, 0.0f, strategy_);
  EXPECT_EQ(no_height.camera().width, 0u);
  EXPECT_NE(sink_->find("CameraFrustumParam height 0 and width 640 is invalid, set both to 0"), nullptr);
  refill(no_height, {});
  EXPECT_FALSE(no_height.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 1.0f)));
}

TEST_F(FrustumDetectorTest, AbsurdCameraInfoIsNamedAndCannotBlowUpTheGrid)
{
  EXPECT_FALSE(FrustumDetector::refusalOf(cameraInfo(), 0.3f, 8.0f, 0.0881f, 0.05f));
  // A zero-sized image is settled by the detector itself (it then sees nothing).
  EXPECT_FALSE(FrustumDetector::refusalOf(cameraInfo(640, 0), 0.3f, 8.0f, 0.0881f, 0.05f));

  auto huge = cameraInfo(0xffffffffu, 0xffffffffu);
  auto myopic = cameraInfo();
  myopic.p[0] = myopic.p[5] = 1e-3;
  auto mirrored = cameraInfo();
  mirrored.p[0] = -320.0;
  auto not_finite = cameraInfo();
  not_finite.p[3] = kNaN;
  auto far_baseline = cameraInfo();
  far_baseline.p[3] = 1e9;
  for (const auto & info : {huge, myopic, mirrored, not_finite, far_baseline}) {
    const auto refusal = FrustumDetector::refusalOf(info, 0.3f, 8.0f, 0.0881f, 0.05f);
    EXPECT_TRUE(refusal && refusal.camera_info_at_fault)
      << info.width << " " << info.p[0] << " " << info.p[3];
  }
  // A sane camera with bins far finer than any real configuration would still need a huge grid:
  // the bins are to blame, not the camera.
  const auto too_fine = FrustumDetector::refusalOf(cameraInfo(), 0.3f, 8.0f, 1e-4f, 1e-4f);
  EXPECT_TRUE(too_fine && too_fine.resolutions_at_fault);
  EXPECT_FALSE(too_fine.camera_info_at_fault || too_fine.distances_at_fault);
  const auto too_deep = FrustumDetector::refusalOf(cameraInfo(), 0.3f, 1e6f, 0.0881f, 0.05f);
  EXPECT_TRUE(too_deep && too_deep.distances_at_fault);
  EXPECT_FALSE(too_deep.camera_info_at_fault || too_deep.resolutions_at_fault);

  // Built anyway, such a detector keeps a bounded grid and clears nothing.
  for (const auto & info : {huge, myopic}) {
    FrustumDetector detector(info, 0.5f, 4.0f, 0.0881f, 0.05f, 0.0f, strategy_);
    refill(detector, {pointsOf({{2.0f, 0.0f, 1.0f}})});
    EXPECT_LE(static_cast<double>(detector.grid().size()), FrustumDetector::kMaxGridCells);
    const std::int32_t status = detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.1f, 1.0f), true);
    EXPECT_NE(status, FrustumDetector::kSeenInSameCell);
  }
}

TEST_F(FrustumDetectorTest, NonPositiveResolutionsFallBackOneByOne)
{
  const FrustumDetector range(cameraInfo(), 0.5f, 4.0f, 0.2f, -1.0f, 0.0f, strategy_);
  EXPECT_EQ(range.r_resolution(), 0.05f);
  EXPECT_EQ(range.theta_resolution(), 0.2f);
  const auto * line = sink_->find("FrustumDetector input param r_resolution is invalid, set to default 0.05");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
  EXPECT_EQ(line->function, "FrustumDetector");

  const FrustumDetector azimuth(cameraInfo(), 0.5f, 4.0f, 0.0f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(azimuth.theta_resolution(), 0.0881f);
  EXPECT_EQ(azimuth.r_resolution(), 0.1f);
  EXPECT_NE(sink_->find("FrustumDetector input param theta_resolution is invalid, set to default 0.0881"),
    nullptr);
}

TEST_F(FrustumDetectorTest, TransformPlacesOneContiguousAzimuthSpanWhereverTheCameraLooks)
{
  struct Heading {double yaw, start, end; std::array<float, 4> bounds;};
  for (const Heading & heading : {
      Heading{0.0, 7 * kPi / 4, 9 * kPi / 4, {0.5f, 4.0f, -4.0f, 4.0f}},     // +x: across 0
      Heading{kPi, 3 * kPi / 4, 5 * kPi / 4, {-4.0f, -0.5f, -4.0f, 4.0f}},   // -x: across pi
      Heading{kPi / 2, kPi / 4, 3 * kPi / 4, {-4.0f, 4.0f, 0.5f, 4.0f}}})    // +y
  {
    SCOPED_TRACE(heading.yaw);
    FrustumDetector detector = makeDetector();
    detector.clear();
    ASSERT_TRUE(detector.setTrans(cameraPose(0.0, 0.0, 1.0, heading.yaw)));
    EXPECT_TRUE(detector.ok());
    EXPECT_NEAR(detector.start_angle(), heading.start, kEps);
    EXPECT_NEAR(detector.end_angle(), heading.end, kEps);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_NEAR(detector.bounds()[i], heading.bounds[i], kEps);
    }
    EXPECT_NEAR(detector.min_range(), std::sqrt(0.5f), kEps);
    EXPECT_NEAR(detector.max_range(), 4.0f * std::sqrt(2.0f), kEps);
    // 90 degrees in 0.0881 rad bins, 4.95 m in 0.05 m bins, nothing observed yet.
    EXPECT_EQ(detector.grid().cols(), 18);
    EXPECT_EQ(detector.grid().rows(), 99);
    EXPECT_EQ(observedCells(detector), 0);
    EXPECT_EQ(detector.stamp(), rclcpp::Time(5, 250000000, RCL_ROS_TIME));
  }
}

TEST_F(FrustumDetectorTest, GlobalProjectionMapsWorldPointsToPixels)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(3.0, -1.0, 1.0, kPi / 2));
  const auto & p = detector.global_projection();
  const auto project = [&p](float x, float y, float z) {
      const float w = p[6] * x + p[7] * y + p[8] * z + p[11];
      return Eigen::Vector3f(
        (p[0] * x + p[1] * y + p[2] * z + p[9]) / w, (p[3] * x + p[4] * y + p[5] * z + p[10]) / w, w);
    };
  EXPECT_TRUE(project(3.0f, 1.0f, 1.0f).isApprox(Eigen::Vector3f(320.0f, 240.0f, 2.0f), 1e-5f));
  // One metre to the left and up at depth 2.
  EXPECT_TRUE(project(2.0f, 1.0f, 2.0f).isApprox(Eigen::Vector3f(160.0f, 80.0f, 2.0f), 1e-5f));
}

TEST_F(FrustumDetectorTest, ShapeWindowCoversExactlyTheBinsOfItsVertices)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {}, polygonOf({{1.0f, 0.0f}, {2.0f, 0.5f}, {2.0f, -0.5f}}));
  const float near = 1.0f;
  const float far = std::sqrt(4.25f);
  const auto rows = static_cast<float>(detector.grid().rows());
  EXPECT_LE(detector.min_range(), near);
  EXPECT_LT(near, detector.min_range() + detector.r_resolution());
  EXPECT_LE(detector.min_range() + (rows - 1.0f) * detector.r_resolution(), far);
  EXPECT_LT(far, detector.min_range() + rows * detector.r_resolution());
  const float right = static_cast<float>(2 * kPi - std::atan2(0.5, 2.0));
  const float left = static_cast<float>(2 * kPi + std::atan2(0.5, 2.0));
  const auto columns = static_cast<float>(detector.grid().cols());
  EXPECT_LE(detector.start_angle(), right);
  EXPECT_LT(right, detector.start_angle() + detector.theta_resolution());
  EXPECT_LE(detector.start_angle() + (columns - 1.0f) * detector.theta_resolution(), left);
  EXPECT_LT(left, detector.start_angle() + columns * detector.theta_resolution());
  // The crop leaves the far ends of the span alone.
  EXPECT_NEAR(detector.end_angle(), 9 * kPi / 4, kEps);

  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, geometry_msgs::msg::Polygon());
  EXPECT_EQ(detector.grid().size(), 0);
}

TEST_F(FrustumDetectorTest, VerticesOutsideTheGridClampToItsNearestEdge)
{
  FrustumDetector detector = makeDetector();
  const auto window = [&detector](const geometry_msgs::msg::Polygon & shape) {
      detector.clear();
      detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
      detector.setShape(shape);
      return std::array<std::int32_t, 4>{
        detector.r_begin(), detector.r_end(), detector.theta_begin(), detector.theta_end()};
    };
  // Right of the view: the first column, going around the circle would be farther.
  EXPECT_EQ(window(polygonOf({{1.0f, -3.0f}})), (std::array<std::int32_t, 4>{49, 49, 0, 0}));
  EXPECT_EQ(window(polygonOf({{1.0f, 3.0f}})), (std::array<std::int32_t, 4>{49, 49, 17, 17}));
  // Beyond the far range: the last row.
  EXPECT_EQ(window(polygonOf({{2.0f, 0.0f}, {20.0f, 0.0f}})), (std::array<std::int32_t, 4>{25, 98, 8, 8}));
}

TEST_F(FrustumDetectorTest, BinningKeepsTheHighestTangentPerCellAndCropMovesIt)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}, {1.99f, 0.0f, 1.2f}}),
      pointsOf({{2.005f, 0.0f, 1.1f}, {2.0f, 0.0f, kNaN}})});
  // Range 2 m lies in row 25 of the grid starting at sqrt(0.5) m, azimuth 0 in column 8.
  EXPECT_NEAR(detector.grid()(25, 8), 0.25f, kEps);
  EXPECT_EQ(observedCells(detector), 1);
  EXPECT_EQ(detector.points_used(), 4);
  EXPECT_EQ(detector.cloud_count(), 2);

  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, polygonOf({{2.0f, 0.0f}, {20.0f, 0.0f}}));
  ASSERT_EQ(detector.grid().rows(), 74);
  ASSERT_EQ(detector.grid().cols(), 1);
  EXPECT_NEAR(detector.grid()(0, 0), 0.25f, kEps);
  EXPECT_NEAR(detector.min_range(), std::sqrt(0.5f) + 25 * 0.05f, kEps);
  EXPECT_NEAR(detector.start_angle(), 7 * kPi / 4 + 8 * 0.0881, kEps);
}

TEST_F(FrustumDetectorTest, EveryPointLandsInTheBinOfItsExactAzimuthAndRange)
{
  // Points everywhere around cameras looking several ways, many of them exactly on or a hair
  // beside an azimuth edge, on the axes through the sensor or at its very position.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (const double yaw : {0.0, 1.0, 2.5, -2.0, 3.14159}) {
    FrustumDetector detector = makeDetector();
    detector.clear();
    detector.setTrans(cameraPose(0.3, -0.2, 1.0, yaw));
    const Eigen::Vector3f origin = detector.origin();
    const float start = detector.start_angle();
    const float theta = detector.theta_resolution();
    const float near = detector.min_range();
    const float rho = detector.r_resolution();
    const Eigen::MatrixXf empty = detector.grid();
    Eigen::Matrix3Xf points(3, 60000);
    for (Eigen::Index i = 0; i < points.cols(); ++i) {
      float angle = 2.0f * kPi * unit(random);
      if (i % 3 == 0) {
        const int edge = static_cast<int>(unit(random) * empty.cols());
        angle = start + static_cast<float>(edge) * theta;
        angle = std::nextafter(angle, i % 2 ? 10.0f : -10.0f);
        if (i % 9 == 0) {
          angle = start + static_cast<float>(edge) * theta;
        }
      }
      const float range = (i % 7 == 0) ? 0.0f : 5.0f * unit(random);
      Eigen::Vector3f offset(range * std::cos(angle), range * std::sin(angle), 2.0f * unit(random) - 1.0f);
      if (i % 11 == 0) {
        offset.x() = 0.0f;
      } else if (i % 13 == 0) {
        offset.y() = i % 2 ? -0.0f : 0.0f;
      }
      points.col(i) = origin + offset;
    }

    // The binning as defined: the wrapped atan2, then floors of the two quotients.
    Eigen::MatrixXf expected = empty;
    std::int32_t expected_used = 0;
    for (Eigen::Index i = 0; i < points.cols(); ++i) {
      const float dx = points(0, i) - origin.x();
      const float dy = points(1, i) - origin.y();
      float a = std::atan2(dy, dx) - start;
      while (a >= 6.283185307179586) {a = static_cast<float>(a - 6.283185307179586);}
      while (a < 0.0f) {a = static_cast<float>(a + 6.283185307179586);}
      const float r = std::sqrt(dx * dx + dy * dy);
      const float d = r - near;
      if (!(a < static_cast<float>(empty.cols()) * theta && d >= 0.0f &&
        d < static_cast<float>(empty.rows()) * rho))
      {
        continue;
      }
      const auto c = std::min<Eigen::Index>(static_cast<Eigen::Index>(a / theta), empty.cols() - 1);
      const auto k = std::min<Eigen::Index>(static_cast<Eigen::Index>(d / rho), empty.rows() - 1);
      expected(k, c) = std::max(expected(k, c), (points(2, i) - origin.z()) / r);
      ++expected_used;
    }

    detector.accumulateDepthGrid(points);
    EXPECT_EQ(detector.points_used(), expected_used) << yaw;
    EXPECT_TRUE(detector.grid() == expected) << yaw;
  }
}

TEST_F(FrustumDetectorTest, PointsOutsideTheGridOrNotFiniteAreNotBinned)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{-2.0f, 0.0f, 1.0f}, {10.0f, 0.0f, 1.0f}, {0.5f, 0.0f, 1.0f},
      {0.0f, 0.0f, 3.0f}, {kNaN, 0.0f, 1.0f}, {2.0f, kNaN, 1.0f}, {kInf, 0.0f, 1.0f},
      {2.0f, -kInf, 1.0f}})});
  EXPECT_EQ(detector.points_used(), 0);
  EXPECT_EQ(observedCells(detector), 0);
}

TEST_F(FrustumDetectorTest, RangeBinsAreHalfOpenAndStayInsideTheGrid)
{
  // Without a near distance the grid starts at the sensor, so ranges can be placed exactly; with
  // 72 bins of 0.05 m the range just below the end divides to 72.0 in single precision.
  FrustumDetector detector(cameraInfo(), 0.0f, 2.53f, 0.0881f, 0.05f, 0.0f, strategy_);
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  detector.setShape(polygonOf({{1.0f, -3.0f}, {1.0f, 3.0f}, {0.01f, 0.0f}, {20.0f, 0.0f}}));
  ASSERT_EQ(detector.min_range(), 0.0f);
  ASSERT_EQ(detector.grid().rows(), 72);
  const float end = 72 * detector.r_resolution();
  detector.accumulateDepthGrid(pointsOf({{0.0f, 0.0f, 2.0f}, {end, 0.0f, 2.0f},
      {std::nextafter(end, 0.0f), 0.0f, 1.5f}}));
  detector.fixSetting();
  EXPECT_EQ(detector.points_used(), 2);
  EXPECT_EQ(detector.grid()(0, 8), kInf);  // straight above the sensor
  EXPECT_TRUE(std::isfinite(detector.grid()(71, 8)));
}

TEST_F(FrustumDetectorTest, PclCloudsBinLikePointMatrices)
{
  FrustumDetector from_matrix = makeDetector();
  refill(from_matrix, {pointsOf({{2.0f, 0.0f, 1.5f}, {3.0f, 1.0f, 0.2f}}), pointsOf({})});
  FrustumDetector from_pcl = makeDetector();
  from_pcl.clear();
  from_pcl.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  from_pcl.setShape(kWholeView);
  auto cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  cloud->push_back(pcl::PointXYZ(2.0f, 0.0f, 1.5f));
  cloud->push_back(pcl::PointXYZ(3.0f, 1.0f, 0.2f));
  from_pcl.setInputCloudList({cloud, std::make_shared<pcl::PointCloud<pcl::PointXYZ>>()});
  from_pcl.fixSetting();
  EXPECT_EQ(from_pcl.grid(), from_matrix.grid());
  EXPECT_EQ(from_pcl.points_used(), 2);
  EXPECT_EQ(from_pcl.cloud_count(), 2);
}

TEST_F(FrustumDetectorTest, StatusAnswersEveryCase)
{
  FrustumDetector detector = makeDetector();
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.0f, 1.0f), true), -1);
  // An observation 2 m ahead, 0.5 m above the sensor, and a higher one 1.5 m ahead.
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}, {1.5f, 0.0f, 3.0f}})});
  struct Case {const char * what; pcl::PointXYZ point; bool force; std::int32_t status;};
  for (const Case & c : {
      Case{"outside the frustum", {-2.0f, 0.0f, 1.0f}, false, 0},
      Case{"outside, forced", {-2.0f, 0.0f, 1.0f}, true, strategy_.out_of_theta},
      Case{"nearer than the grid, observed column", {0.6f, 0.0f, 1.0f}, true,
        strategy_.near_range_with_point},
      Case{"nearer than the grid, empty column", {0.6f, 0.3f, 1.0f}, true,
        strategy_.near_range_without_point},
      Case{"beyond the grid, below the column", {6.0f, 0.0f, 1.0f}, true, 2},
      Case{"beyond the grid, above the column", {6.0f, 0.0f, 12.0f}, true,
        strategy_.far_range_with_point},
      Case{"beyond the grid, empty column", {6.0f, 2.5f, 1.0f}, true,
        strategy_.far_range_without_point},
      Case{"in an observed cell, under a higher nearer one", {1.98f, 0.0f, 0.5f}, false, 1},
      Case{"behind the observations", {3.0f, 0.0f, 1.2f}, false, 2},
      Case{"above every line of sight", {3.0f, 0.0f, 5.2f}, true, strategy_.inside_with_point},
      Case{"inside, empty column", {3.0f, 1.0f, 1.0f}, false, strategy_.inside_without_point}})
  {
    EXPECT_EQ(detector.checkPointFrustumStatus(c.point, c.force), c.status) << c.what;
  }
}

TEST_F(FrustumDetectorTest, ObstructionToleranceAppliesInsideTheGridOnly)
{
  FrustumDetector detector = makeDetector(0.3f);
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  // Tangent 0.067 plus 0.3 rises above the observed 0.25; -0.1 plus 0.3 does not.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 1.2f), false),
    strategy_.inside_with_point);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 0.7f), false), 2);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(6.0f, 0.0f, 1.2f), true), 2);
}

TEST_F(FrustumDetectorTest, ReferenceCasesDependOnWhetherAnyCloudCame)
{
  FrustumDetector detector = makeDetector();
  const pcl::PointXYZ ahead(2.0f, 0.0f, 1.0f);
  refill(detector, {pointsOf({}), pointsOf({{-5.0f, 0.0f, 0.0f}})});
  EXPECT_EQ(detector.points_used(), 0);
  EXPECT_EQ(detector.checkPointFrustumStatus(ahead, false), strategy_.no_reference_point);
  refill(detector, {});
  EXPECT_EQ(detector.points_used(), -1);
  EXPECT_EQ(detector.checkPointFrustumStatus(ahead, false), strategy_.inside_without_point);
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, geometry_msgs::msg::Polygon());
  EXPECT_EQ(detector.checkPointFrustumStatus(ahead, false), strategy_.out_of_theta);
}

TEST_F(FrustumDetectorTest, InsideTestFollowsTheImageAndTheViewDistances)
{
  FrustumDetector detector = makeDetector();
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 1.0f)));
  const auto * line = sink_->find("FrustumDetector::isInsideFrustum is not ok, init was failed");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_EQ(line->file, "./include/quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp");
  EXPECT_EQ(line->function, "isInsideFrustum");

  refill(detector, {});
  for (const auto & [x, y, z, inside] : std::vector<std::tuple<float, float, float, bool>>{
      {2.0f, 0.0f, 1.0f, true}, {4.5f, 0.0f, 1.0f, false}, {0.4f, 0.0f, 1.0f, false},
      {2.0f, 1.9f, 1.0f, true}, {2.0f, 2.1f, 1.0f, false}, {2.0f, 0.0f, 2.4f, true},
      {2.0f, 0.0f, 2.6f, false}})
  {
    EXPECT_EQ(detector.isInsideFrustum(pcl::PointXYZ(x, y, z)), inside) << x << " " << y << " " << z;
  }
  struct DoublePoint {double x, y, z;};
  EXPECT_TRUE(detector.isInsideFrustum(DoublePoint{2.0, 0.0, 1.0}));
  EXPECT_EQ(detector.checkPointFrustumStatus(DoublePoint{-2.0, 0.0, 1.0}, false), 0);
}

TEST_F(FrustumDetectorTest, CrossTestUsesClosedBoundsAndRejectsInvertedBoxes)
{
  FrustumDetector detector = makeDetector();
  EXPECT_FALSE(detector.isCrossFrustum(1.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_NE(sink_->find("FrustumDetector::isCrossFrustum is not ok"), nullptr);

  refill(detector, {});
  const float x_max = detector.bounds()[1];
  EXPECT_TRUE(detector.isCrossFrustum(1.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_TRUE(detector.isCrossFrustum(x_max, x_max + 1.0f, 0.0f, 1.0f));
  EXPECT_FALSE(detector.isCrossFrustum(std::nextafter(x_max, 10.0f), x_max + 1.0f, 0.0f, 1.0f));
  EXPECT_FALSE(detector.isCrossFrustum(1.0f, 0.0f, 0.0f, 1.0f));
  const auto * line = sink_->find(
    "FrustumDetector::isCrossFrustum input may be wrong, x_min 1, x_max 0, y_min 0, y_max 1");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
}

TEST_F(FrustumDetectorTest, MarkerOutlinesTheGridAndTheBoundingRectangle)
{
  FrustumDetector detector = makeDetector();
  visualization_msgs::msg::Marker marker;
  marker.points.resize(20);
  EXPECT_FALSE(detector.getMarker(marker));
  EXPECT_EQ(marker.points.size(), 20u);
  for (auto & point : marker.points) {
    point.z = 7.0;
  }
  refill(detector, {});
  ASSERT_TRUE(detector.getMarker(marker));
  ASSERT_EQ(marker.points.size(), 16u);
  EXPECT_EQ(rclcpp::Time(marker.header.stamp, RCL_ROS_TIME), detector.stamp());
  const double near = detector.min_range();
  const double far = near + detector.grid().rows() * 0.05;
  const double first = detector.start_angle();
  const double last = first + detector.grid().cols() * 0.0881;
  EXPECT_NEAR(marker.points[0].x, near * std::cos(first), 1e-4);
  EXPECT_NEAR(marker.points[0].y, near * std::sin(first), 1e-4);
  EXPECT_NEAR(marker.points[3].x, far * std::cos(last), 1e-4);
  EXPECT_NEAR(marker.points[3].y, far * std::sin(last), 1e-4);
  EXPECT_EQ(marker.points[7], marker.points[0]);
  EXPECT_EQ(marker.points[0].z, 7.0);
  const auto & bounds = detector.bounds();
  EXPECT_EQ(marker.points[8].x, bounds[0]);
  EXPECT_EQ(marker.points[8].y, bounds[2]);
  EXPECT_EQ(marker.points[11].x, bounds[1]);
  EXPECT_EQ(marker.points[11].y, bounds[3]);
  EXPECT_EQ(marker.points[15], marker.points[8]);
}

}  // namespace
}  // namespace costmap_depth_camera
