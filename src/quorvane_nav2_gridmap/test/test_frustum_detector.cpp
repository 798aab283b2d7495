// The camera frustum detector on a 640 x 480 camera with a 90 degree horizontal field of view,
// placed in the global frame as a robot's camera one metre above the floor would be.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
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
constexpr char kDetectorSource[] = "./src/costmap_depth_camera/frustum_detector.cpp";
constexpr char kDetectorHeader[] =
  "./include/quorvane_nav2_gridmap/costmap_depth_camera/frustum_detector.hpp";

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;  // without the facade's numbered prefix
  std::string file;
  std::string function;
};

class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    const std::string payload(message.payload.data(), message.payload.size());
    lines.push_back(
      {message.level, payload.substr(payload.find("] ") + 2), message.source.filename,
        message.source.funcname});
  }
  void flush_() override {}
};

// fx = fy = 320 with the principal point in the middle: +-45 degrees across the image width.
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
  Eigen::Matrix3d optical_to_body;
  optical_to_body << 0, 0, 1, -1, 0, 0, 0, -1, 0;
  const Eigen::Quaterniond rotation(
    Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()) * optical_to_body);
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = "map";
  transform.header.stamp.sec = 5;
  transform.header.stamp.nanosec = 250000000;
  transform.child_frame_id = "camera_optical";
  transform.transform.translation.x = x;
  transform.transform.translation.y = y;
  transform.transform.translation.z = z;
  transform.transform.rotation.x = rotation.x();
  transform.transform.rotation.y = rotation.y();
  transform.transform.rotation.z = rotation.z();
  transform.transform.rotation.w = rotation.w();
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

// For the camera at the origin looking along +x: the two side vertices snap to the azimuth
// edges, the near one to the first range bin and the far one to the last.
geometry_msgs::msg::Polygon wholeViewShape()
{
  return polygonOf({{1.0f, -3.0f}, {1.0f, 3.0f}, {0.75f, 0.0f}, {20.0f, 0.0f}});
}

Eigen::Matrix3Xf pointsOf(std::initializer_list<Eigen::Vector3f> points)
{
  Eigen::Matrix3Xf matrix(3, static_cast<Eigen::Index>(points.size()));
  Eigen::Index column = 0;
  for (const auto & point : points) {
    matrix.col(column++) = point;
  }
  return matrix;
}

float wrapped(double angle)
{
  while (angle < 0.0) {angle += 2.0 * kPi;}
  while (angle >= 2.0 * kPi) {angle -= 2.0 * kPi;}
  return static_cast<float>(angle);
}

class FrustumDetectorTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    strategy_.no_reference_point = 10;
    strategy_.out_of_theta = 11;
    strategy_.near_range_without_point = 12;
    strategy_.near_range_with_point = 13;
    strategy_.far_range_without_point = 14;
    strategy_.far_range_with_point = 15;
    strategy_.inside_without_point = 16;
    strategy_.inside_with_point = 17;
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  FrustumDetector makeDetector(float obstruct_tolerance = 0.0f) const
  {
    return FrustumDetector(cameraInfo(), 0.5f, 4.0f, 0.0881f, 0.05f, obstruct_tolerance, strategy_);
  }

  // One complete refill of a camera at (0, 0, 1) looking along +x.
  static void refill(
    FrustumDetector & detector, const std::vector<Eigen::Matrix3Xf> & clouds,
    const geometry_msgs::msg::Polygon & shape = wholeViewShape())
  {
    detector.clear();
    detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
    detector.setShape(shape);
    for (const auto & cloud : clouds) {
      detector.accumulateDepthGrid(cloud);
    }
    detector.fixSetting();
  }

  const LogLine * findLine(const std::string & text) const
  {
    for (const auto & line : sink_->lines) {
      if (line.text == text) {
        return &line;
      }
    }
    return nullptr;
  }

  FrustumDetectorStrategy strategy_;
  std::shared_ptr<CaptureSink> sink_ = std::make_shared<CaptureSink>();
};

// ---- construction -------------------------------------------------------------------------

TEST_F(FrustumDetectorTest, NegativeNearDistanceIsLoggedAndBecomesZero)
{
  const FrustumDetector detector(cameraInfo(), -1.0f, 4.0f, 0.1f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(detector.camera().view_min_distance, 0.0f);
  EXPECT_EQ(detector.camera().view_max_distance, 4.0f);
  const LogLine * line = findLine("CameraFrustumParam view_min_distance -1 is invalid, set to default 0");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_EQ(line->file, kDetectorSource);
  EXPECT_EQ(line->function, "CameraFrustumParam");
}

TEST_F(FrustumDetectorTest, FarDistanceBelowNearOrNotANumberBecomesTheNearOne)
{
  const FrustumDetector below(cameraInfo(), 0.5f, 0.2f, 0.1f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(below.camera().view_max_distance, 0.5f);
  EXPECT_NE(
    findLine(
      "CameraFrustumParam view_max_distance 0.2 is invalid, set to the same with view_min_distance"),
    nullptr);

  const FrustumDetector not_a_number(
    cameraInfo(), 0.5f, std::numeric_limits<float>::quiet_NaN(), 0.1f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(not_a_number.camera().view_max_distance, 0.5f);
}

TEST_F(FrustumDetectorTest, ImageWithoutHeightHasNoSizeAndSeesNothing)
{
  FrustumDetector detector(cameraInfo(640, 0), 0.5f, 4.0f, 0.0881f, 0.05f, 0.0f, strategy_);
  EXPECT_EQ(detector.camera().width, 0u);
  EXPECT_EQ(detector.camera().height, 0u);
  const LogLine * line = findLine("CameraFrustumParam height 0 and width 640 is invalid, set both to 0");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);

  refill(detector, {});
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 1.0f)));
}

TEST_F(FrustumDetectorTest, NonPositiveResolutionsFallBackOneByOne)
{
  const FrustumDetector range(cameraInfo(), 0.5f, 4.0f, 0.2f, -1.0f, 0.0f, strategy_);
  EXPECT_EQ(range.r_resolution(), 0.05f);
  EXPECT_EQ(range.theta_resolution(), 0.2f);
  const LogLine * range_line =
    findLine("FrustumDetector input param r_resolution is invalid, set to default 0.05");
  ASSERT_NE(range_line, nullptr);
  EXPECT_EQ(range_line->level, spdlog::level::warn);
  EXPECT_EQ(range_line->file, kDetectorSource);
  EXPECT_EQ(range_line->function, "FrustumDetector");
  EXPECT_EQ(findLine("FrustumDetector input param theta_resolution is invalid, set to default 0.0881"),
    nullptr);

  const FrustumDetector azimuth(cameraInfo(), 0.5f, 4.0f, 0.0f, 0.1f, 0.0f, strategy_);
  EXPECT_EQ(azimuth.theta_resolution(), 0.0881f);
  EXPECT_EQ(azimuth.r_resolution(), 0.1f);
  EXPECT_NE(
    findLine("FrustumDetector input param theta_resolution is invalid, set to default 0.0881"),
    nullptr);
}

TEST_F(FrustumDetectorTest, CornersBackProjectTheImageRectangle)
{
  const FrustumDetector detector = makeDetector();
  const Eigen::Matrix3Xf & corners = detector.camera().corners;
  ASSERT_EQ(corners.cols(), 8);
  // (u, v) = (0, 0) at the near distance: left and up of the optical axis.
  EXPECT_NEAR(corners(0, 0), -0.5f, kEps);
  EXPECT_NEAR(corners(1, 0), -0.375f, kEps);
  EXPECT_NEAR(corners(2, 0), 0.5f, kEps);
  // (W, H) at the far distance.
  EXPECT_NEAR(corners(0, 7), 4.0f, kEps);
  EXPECT_NEAR(corners(1, 7), 3.0f, kEps);
  EXPECT_NEAR(corners(2, 7), 4.0f, kEps);
}

// ---- placing the frustum ------------------------------------------------------------------

TEST_F(FrustumDetectorTest, CameraAlongPlusXSpansTheWrappedAzimuthsAroundZero)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  ASSERT_TRUE(detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0)));
  EXPECT_TRUE(detector.ok());
  EXPECT_NEAR(detector.origin().z(), 1.0f, kEps);
  EXPECT_NEAR(detector.bounds()[0], 0.5f, kEps);
  EXPECT_NEAR(detector.bounds()[1], 4.0f, kEps);
  EXPECT_NEAR(detector.bounds()[2], -4.0f, kEps);
  EXPECT_NEAR(detector.bounds()[3], 4.0f, kEps);
  EXPECT_NEAR(detector.start_angle(), 7.0 * kPi / 4.0, kEps);
  EXPECT_NEAR(detector.end_angle(), 9.0 * kPi / 4.0, kEps);
  EXPECT_NEAR(detector.min_range(), std::sqrt(0.5f), kEps);
  EXPECT_NEAR(detector.max_range(), 4.0f * std::sqrt(2.0f), kEps);
  // 90 degrees in 0.0881 rad bins, 4.95 m in 0.05 m bins.
  EXPECT_EQ(detector.grid().cols(), 18);
  EXPECT_EQ(detector.grid().rows(), 99);
  EXPECT_TRUE((detector.grid().array() == -std::numeric_limits<float>::infinity()).all());
  EXPECT_EQ(detector.stamp(), rclcpp::Time(5, 250000000, RCL_ROS_TIME));
}

TEST_F(FrustumDetectorTest, CameraAlongMinusXGetsOneContiguousSpanAcrossPi)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, kPi));
  EXPECT_NEAR(detector.start_angle(), 3.0 * kPi / 4.0, kEps);
  EXPECT_NEAR(detector.end_angle(), 5.0 * kPi / 4.0, kEps);
  EXPECT_EQ(detector.grid().cols(), 18);
  EXPECT_NEAR(detector.bounds()[0], -4.0f, kEps);
  EXPECT_NEAR(detector.bounds()[1], -0.5f, kEps);
}

TEST_F(FrustumDetectorTest, CameraAlongPlusYFromAnOffsetOrigin)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(2.0, -1.0, 0.5, kPi / 2.0));
  EXPECT_GE(detector.start_angle(), 0.0f);
  EXPECT_NEAR(detector.start_angle(), kPi / 4.0, kEps);
  EXPECT_NEAR(detector.end_angle(), 3.0 * kPi / 4.0, kEps);
  EXPECT_NEAR(detector.bounds()[0], 2.0f - 4.0f, kEps);
  EXPECT_NEAR(detector.bounds()[1], 2.0f + 4.0f, kEps);
  EXPECT_NEAR(detector.bounds()[2], -1.0f + 0.5f, kEps);
  EXPECT_NEAR(detector.bounds()[3], -1.0f + 4.0f, kEps);
  EXPECT_NEAR(detector.origin().x(), 2.0f, kEps);
  EXPECT_NEAR(detector.origin().y(), -1.0f, kEps);
}

TEST_F(FrustumDetectorTest, GlobalProjectionMapsWorldPointsToPixels)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  const auto & p = detector.global_projection();
  const auto project = [&p](float x, float y, float z) {
      const float w = p[6] * x + p[7] * y + p[8] * z + p[11];
      return Eigen::Vector3f(
        (p[0] * x + p[1] * y + p[2] * z + p[9]) / w, (p[3] * x + p[4] * y + p[5] * z + p[10]) / w, w);
    };
  // On the optical axis: the principal point, at depth 2.
  EXPECT_TRUE(project(2.0f, 0.0f, 1.0f).isApprox(Eigen::Vector3f(320.0f, 240.0f, 2.0f), 1e-5f));
  // One metre to the left and up at depth 2: left of and above the principal point.
  EXPECT_TRUE(project(2.0f, 1.0f, 2.0f).isApprox(Eigen::Vector3f(160.0f, 80.0f, 2.0f), 1e-5f));
}

// ---- the bin window -----------------------------------------------------------------------

TEST_F(FrustumDetectorTest, WindowIsEmptyUntilAShapeIsSet)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, geometry_msgs::msg::Polygon());
  EXPECT_EQ(detector.grid().size(), 0);
  EXPECT_TRUE(detector.initialised());
}

TEST_F(FrustumDetectorTest, WindowCoversExactlyTheBinsOfTheShapeVertices)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {}, polygonOf({{1.0f, 0.0f}, {2.0f, 0.5f}, {2.0f, -0.5f}}));
  const float nearest = 1.0f;
  const float farthest = std::sqrt(4.25f);
  const auto rows = static_cast<float>(detector.grid().rows());
  EXPECT_LE(detector.min_range(), nearest);
  EXPECT_LT(nearest, detector.min_range() + detector.r_resolution());
  EXPECT_LE(detector.min_range() + (rows - 1.0f) * detector.r_resolution(), farthest);
  EXPECT_LT(farthest, detector.min_range() + rows * detector.r_resolution());

  const float rightmost = wrapped(std::atan2(-0.5, 2.0));
  const float leftmost = rightmost + 2.0f * std::atan2(0.5f, 2.0f);
  const auto columns = static_cast<float>(detector.grid().cols());
  EXPECT_LE(detector.start_angle(), rightmost);
  EXPECT_LT(rightmost, detector.start_angle() + detector.theta_resolution());
  EXPECT_LE(detector.start_angle() + (columns - 1.0f) * detector.theta_resolution(), leftmost);
  EXPECT_LT(leftmost, detector.start_angle() + columns * detector.theta_resolution());
  // The far ends of the span are not moved by the crop.
  EXPECT_NEAR(detector.max_range(), 4.0f * std::sqrt(2.0f), kEps);
  EXPECT_NEAR(detector.end_angle(), 9.0 * kPi / 4.0, kEps);
}

TEST_F(FrustumDetectorTest, VerticesBeyondTheAzimuthEdgesSnapToTheNearerEdgeColumn)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  detector.setShape(polygonOf({{1.0f, -3.0f}}));
  EXPECT_EQ(detector.theta_begin(), 0);
  EXPECT_EQ(detector.theta_end(), 0);

  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  detector.setShape(polygonOf({{1.0f, 3.0f}}));
  EXPECT_EQ(detector.theta_begin(), 17);
  EXPECT_EQ(detector.theta_end(), 17);
}

TEST_F(FrustumDetectorTest, VertexBeyondTheFarRangeClampsToTheLastRow)
{
  FrustumDetector detector = makeDetector();
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  detector.setShape(polygonOf({{2.0f, 0.0f}, {20.0f, 0.0f}}));
  EXPECT_EQ(detector.r_begin(), 25);
  EXPECT_EQ(detector.r_end(), 98);
  EXPECT_EQ(detector.theta_begin(), 8);
  EXPECT_EQ(detector.theta_end(), 8);
}

// ---- binning ------------------------------------------------------------------------------

TEST_F(FrustumDetectorTest, CellKeepsTheLargestElevationTangent)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}, {1.99f, 0.0f, 1.2f}}), pointsOf({{2.005f, 0.0f, 1.1f}})});
  // Range 2 m lies in row 25 of the grid that starts at sqrt(0.5) m; azimuth 0 in column 8.
  EXPECT_NEAR(detector.grid()(25, 8), 0.25f, kEps);
  EXPECT_EQ(detector.points_used(), 3);
  EXPECT_EQ(detector.cloud_count(), 2);
  EXPECT_EQ((detector.grid().array() > -std::numeric_limits<float>::infinity()).count(), 1);
}

TEST_F(FrustumDetectorTest, PointsOutsideTheGridOrNotFiniteAreNotBinned)
{
  FrustumDetector detector = makeDetector();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  refill(detector, {pointsOf({
      {-2.0f, 0.0f, 1.0f},   // behind the camera
      {10.0f, 0.0f, 1.0f},   // beyond the last range bin
      {0.5f, 0.0f, 1.0f},    // nearer than the first range bin
      {0.0f, 0.0f, 3.0f},    // straight above the sensor
      {nan, 0.0f, 1.0f}, {2.0f, nan, 1.0f}, {inf, 0.0f, 1.0f}, {2.0f, -inf, 1.0f}})});
  EXPECT_EQ(detector.points_used(), 0);
  EXPECT_EQ((detector.grid().array() > -std::numeric_limits<float>::infinity()).count(), 0);
}

TEST_F(FrustumDetectorTest, NotANumberHeightLeavesTheCellAsItWas)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}, {2.0f, 0.0f, std::numeric_limits<float>::quiet_NaN()}})});
  EXPECT_NEAR(detector.grid()(25, 8), 0.25f, kEps);
  EXPECT_EQ(detector.points_used(), 2);
}

TEST_F(FrustumDetectorTest, RangeBoundsAreHalfOpen)
{
  // With no near distance the grid starts at the sensor, so ranges can be placed exactly.
  FrustumDetector detector(cameraInfo(), 0.0f, 4.0f, 0.0881f, 0.05f, 0.0f, strategy_);
  detector.clear();
  detector.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  ASSERT_EQ(detector.min_range(), 0.0f);
  detector.setShape(polygonOf({{1.0f, -3.0f}, {1.0f, 3.0f}, {0.01f, 0.0f}, {20.0f, 0.0f}}));
  const Eigen::Index rows = detector.grid().rows();
  const float range_end = static_cast<float>(rows) * detector.r_resolution();
  detector.accumulateDepthGrid(pointsOf({
      {range_end, 0.0f, 2.0f},                          // exactly at the end: not binned
      {std::nextafter(range_end, 0.0f), 0.0f, 1.5f}}));  // just below: the last row
  detector.fixSetting();
  EXPECT_EQ(detector.points_used(), 1);
  EXPECT_TRUE(std::isfinite(detector.grid()(rows - 1, 8)));
}

TEST_F(FrustumDetectorTest, PclCloudsBinLikePointMatrices)
{
  FrustumDetector from_matrix = makeDetector();
  refill(from_matrix, {pointsOf({{2.0f, 0.0f, 1.5f}, {3.0f, 1.0f, 0.2f}}), pointsOf({})});

  FrustumDetector from_pcl = makeDetector();
  from_pcl.clear();
  from_pcl.setTrans(cameraPose(0.0, 0.0, 1.0, 0.0));
  from_pcl.setShape(wholeViewShape());
  auto cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZ>>();
  cloud->push_back(pcl::PointXYZ(2.0f, 0.0f, 1.5f));
  cloud->push_back(pcl::PointXYZ(3.0f, 1.0f, 0.2f));
  from_pcl.setInputCloudList({cloud, std::make_shared<pcl::PointCloud<pcl::PointXYZ>>()});
  from_pcl.fixSetting();

  EXPECT_EQ(from_pcl.grid(), from_matrix.grid());
  EXPECT_EQ(from_pcl.points_used(), 2);
  EXPECT_EQ(from_pcl.cloud_count(), 2);
}

TEST_F(FrustumDetectorTest, CropKeepsTheBinnedValuesAndMovesTheGridOrigin)
{
  FrustumDetector detector = makeDetector();
  const float full_min_range = std::sqrt(0.5f);
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, polygonOf({{2.0f, 0.0f}, {20.0f, 0.0f}}));
  EXPECT_EQ(detector.grid().rows(), 74);
  EXPECT_EQ(detector.grid().cols(), 1);
  EXPECT_NEAR(detector.grid()(0, 0), 0.25f, kEps);
  EXPECT_NEAR(detector.min_range(), full_min_range + 25 * 0.05f, kEps);
  EXPECT_NEAR(detector.start_angle(), 7.0 * kPi / 4.0 + 8 * 0.0881, kEps);
}

TEST_F(FrustumDetectorTest, RefillWithoutCloudsIsToldApartFromEmptyClouds)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {});
  EXPECT_EQ(detector.points_used(), -1);
  EXPECT_NE(detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.0f, 1.0f), false),
    strategy_.no_reference_point);

  refill(detector, {pointsOf({}), pointsOf({{-5.0f, 0.0f, 0.0f}})});
  EXPECT_EQ(detector.points_used(), 0);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.0f, 1.0f), false),
    strategy_.no_reference_point);
}

// ---- point status -------------------------------------------------------------------------

TEST_F(FrustumDetectorTest, StatusBeforeTheFirstRefillIsNotReady)
{
  const FrustumDetector detector = makeDetector();
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.0f, 1.0f), true), -1);
}

TEST_F(FrustumDetectorTest, PointOutsideTheFrustumIsZeroUnlessForced)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  const pcl::PointXYZ behind(-2.0f, 0.0f, 1.0f);
  EXPECT_EQ(detector.checkPointFrustumStatus(behind, false), 0);
  EXPECT_EQ(detector.checkPointFrustumStatus(behind, true), strategy_.out_of_theta);
}

TEST_F(FrustumDetectorTest, EmptyGridAnswersOutOfTheta)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})}, geometry_msgs::msg::Polygon());
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(2.0f, 0.0f, 1.0f), false),
    strategy_.out_of_theta);
}

TEST_F(FrustumDetectorTest, NearerThanTheGridDependsOnTheColumn)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(0.6f, 0.0f, 1.0f), true),
    strategy_.near_range_with_point);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(0.6f, 0.3f, 1.0f), true),
    strategy_.near_range_without_point);
}

TEST_F(FrustumDetectorTest, BeyondTheGridAnyHigherPointOfTheColumnHides)
{
  FrustumDetector detector(cameraInfo(), 0.5f, 4.0f, 0.0881f, 0.05f, 10.0f, strategy_);
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  // Tangent 0 below the observed 0.25: hidden, the large tolerance notwithstanding.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(6.0f, 0.0f, 1.0f), true), 2);
  // Tangent 0.5 above it.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(6.0f, 0.0f, 4.0f), true),
    strategy_.far_range_with_point);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(6.0f, 2.5f, 1.0f), true),
    strategy_.far_range_without_point);
}

TEST_F(FrustumDetectorTest, PointInAnObservedCellIsSeenWhateverLiesBefore)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}, {1.5f, 0.0f, 3.0f}})});
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(1.98f, 0.0f, 0.5f), false), 1);
}

TEST_F(FrustumDetectorTest, PointBehindANearerObservationIsHidden)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 1.2f), false), 2);
  // Above the line of sight over the observation: the camera sees through it.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 2.5f), false),
    strategy_.inside_with_point);
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 1.0f, 1.0f), false),
    strategy_.inside_without_point);
}

TEST_F(FrustumDetectorTest, ObstructionToleranceRaisesWhatCountsAsHiding)
{
  FrustumDetector detector = makeDetector(0.3f);
  refill(detector, {pointsOf({{2.0f, 0.0f, 1.5f}})});
  // Tangent 0.067 + 0.3 exceeds the observed 0.25.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 1.2f), false),
    strategy_.inside_with_point);
  // Tangent -0.1 + 0.3 does not.
  EXPECT_EQ(detector.checkPointFrustumStatus(pcl::PointXYZ(3.0f, 0.0f, 0.7f), false), 2);
}

// ---- frustum tests ------------------------------------------------------------------------

TEST_F(FrustumDetectorTest, InsideTestFollowsTheImageRectangleAndViewDistances)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {});
  EXPECT_TRUE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 1.0f)));
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(4.5f, 0.0f, 1.0f)));
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(0.4f, 0.0f, 1.0f)));
  EXPECT_TRUE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 1.9f, 1.0f)));
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 2.1f, 1.0f)));
  EXPECT_TRUE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 2.4f)));
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 2.6f)));

  // Any point type with x, y and z members is accepted.
  struct DoublePoint {double x, y, z;};
  EXPECT_TRUE(detector.isInsideFrustum(DoublePoint{2.0, 0.0, 1.0}));
  EXPECT_EQ(detector.checkPointFrustumStatus(DoublePoint{-2.0, 0.0, 1.0}, false), 0);
}

TEST_F(FrustumDetectorTest, InsideTestWithoutTransformLogsFromTheHeader)
{
  const FrustumDetector detector = makeDetector();
  EXPECT_FALSE(detector.isInsideFrustum(pcl::PointXYZ(2.0f, 0.0f, 1.0f)));
  const LogLine * line = findLine("FrustumDetector::isInsideFrustum is not ok, init was failed");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_EQ(line->file, kDetectorHeader);
  EXPECT_EQ(line->function, "isInsideFrustum");
}

TEST_F(FrustumDetectorTest, CrossTestUsesClosedBoundsAndRejectsInvertedBoxes)
{
  FrustumDetector detector = makeDetector();
  EXPECT_FALSE(detector.isCrossFrustum(1.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_NE(findLine("FrustumDetector::isCrossFrustum is not ok"), nullptr);

  refill(detector, {});
  const float x_max = detector.bounds()[1];
  EXPECT_TRUE(detector.isCrossFrustum(1.0f, 2.0f, 0.0f, 1.0f));
  EXPECT_TRUE(detector.isCrossFrustum(x_max, x_max + 1.0f, 0.0f, 1.0f));
  EXPECT_FALSE(detector.isCrossFrustum(
    std::nextafter(x_max, 10.0f), x_max + 1.0f, 0.0f, 1.0f));
  EXPECT_FALSE(detector.isCrossFrustum(-3.0f, -1.0f, 0.0f, 1.0f));

  EXPECT_FALSE(detector.isCrossFrustum(1.0f, 0.0f, 0.0f, 1.0f));
  const LogLine * line = findLine(
    "FrustumDetector::isCrossFrustum input may be wrong, x_min 1, x_max 0, y_min 0, y_max 1");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
  EXPECT_EQ(line->file, kDetectorSource);
}

// ---- marker -------------------------------------------------------------------------------

TEST_F(FrustumDetectorTest, MarkerIsUntouchedBeforeTheFirstRefill)
{
  const FrustumDetector detector = makeDetector();
  visualization_msgs::msg::Marker marker;
  marker.points.resize(3);
  EXPECT_FALSE(detector.getMarker(marker));
  EXPECT_EQ(marker.points.size(), 3u);
}

TEST_F(FrustumDetectorTest, MarkerOutlinesTheGridAndTheBoundingRectangle)
{
  FrustumDetector detector = makeDetector();
  refill(detector, {});
  visualization_msgs::msg::Marker marker;
  marker.points.resize(20);
  for (auto & point : marker.points) {
    point.z = 7.0;
  }
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
