// The observation buffer of one depth camera, fed with semantic clouds as the camera driver
// publishes them and with transforms through a real tf2_ros::Buffer.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <rclcpp/logger.hpp>
#include <sensor_msgs/point_cloud2_iterator.hpp>
#include <spdlog/sinks/base_sink.h>

#include "quorvane_nav2_gridmap/costmap_depth_camera/observation_buffer.hpp"

namespace costmap_depth_camera
{
namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr float kEps = 1e-4f;
constexpr char kBufferSource[] = "./src/costmap_depth_camera/observation_buffer.cpp";

struct LogLine
{
  spdlog::level::level_enum level;
  std::string text;  // without the facade's numbered prefix
  std::string file;
};

class CaptureSink : public spdlog::sinks::base_sink<std::mutex>
{
public:
  std::vector<LogLine> lines;

protected:
  void sink_it_(const spdlog::details::log_msg & message) override
  {
    const std::string payload(message.payload.data(), message.payload.size());
    lines.push_back({message.level, payload.substr(payload.find("] ") + 2), message.source.filename});
  }
  void flush_() override {}
};

using Points = std::vector<std::array<float, 3>>;

// A cloud laid out as depth drivers send it: float32 x, y, z padded to a 16-byte point.
sensor_msgs::msg::PointCloud2 xyzCloud(const Points & points, std::uint32_t height = 1)
{
  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header.frame_id = "camera_link";
  cloud.height = height;
  cloud.width = static_cast<std::uint32_t>(points.size()) / height;
  sensor_msgs::PointCloud2Modifier modifier(cloud);
  modifier.setPointCloud2FieldsByString(1, "xyz");
  modifier.resize(points.size());
  cloud.height = height;
  cloud.width = static_cast<std::uint32_t>(points.size()) / height;
  cloud.row_step = cloud.width * cloud.point_step;
  sensor_msgs::PointCloud2Iterator<float> x(cloud, "x");
  sensor_msgs::PointCloud2Iterator<float> y(cloud, "y");
  sensor_msgs::PointCloud2Iterator<float> z(cloud, "z");
  for (const auto & point : points) {
    *x = point[0];
    *y = point[1];
    *z = point[2];
    ++x;
    ++y;
    ++z;
  }
  return cloud;
}

quorvane_protocol::msg::SemanticCloud subCloud(
  std::uint32_t category, const Points & points, std::uint8_t is_polygon = 0)
{
  quorvane_protocol::msg::SemanticCloud sub_cloud;
  sub_cloud.category = category;
  sub_cloud.is_polygon = is_polygon;
  sub_cloud.cloud = xyzCloud(points);
  return sub_cloud;
}

quorvane_protocol::msg::SemanticPointCloud message(
  const builtin_interfaces::msg::Time & stamp,
  std::vector<quorvane_protocol::msg::SemanticCloud> clouds)
{
  quorvane_protocol::msg::SemanticPointCloud semantic;
  semantic.header.frame_id = "camera_link";
  semantic.header.stamp = stamp;
  semantic.clouds = std::move(clouds);
  // The driver's view outline on the floor, in the camera body frame.
  for (const auto & [x, y] : std::vector<std::array<float, 2>>{
      {0.3f, -0.3f}, {5.0f, -5.0f}, {5.0f, 5.0f}, {0.3f, 0.3f}})
  {
    geometry_msgs::msg::Point32 vertex;
    vertex.x = x;
    vertex.y = y;
    semantic.shape.points.push_back(vertex);
  }
  return semantic;
}

geometry_msgs::msg::TransformStamped staticTransform(
  const std::string & parent, const std::string & child, const Eigen::Vector3d & translation,
  const Eigen::Quaterniond & rotation)
{
  geometry_msgs::msg::TransformStamped transform;
  transform.header.frame_id = parent;
  transform.child_frame_id = child;
  transform.transform.translation.x = translation.x();
  transform.transform.translation.y = translation.y();
  transform.transform.translation.z = translation.z();
  transform.transform.rotation.x = rotation.x();
  transform.transform.rotation.y = rotation.y();
  transform.transform.rotation.z = rotation.z();
  transform.transform.rotation.w = rotation.w();
  return transform;
}

sensor_msgs::msg::CameraInfo cameraInfo()
{
  sensor_msgs::msg::CameraInfo info;
  info.header.frame_id = "camera_optical";
  info.width = 640;
  info.height = 480;
  info.p = {320.0, 0.0, 320.0, 0.0, 0.0, 320.0, 240.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  return info;
}

class ObservationBufferTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    tf_buffer_.setUsingDedicatedThread(true);
    // The camera body sits at (1, 2, 0.5) looking along +y; its optical frame is the usual
    // z-forward, x-right, y-down rotation of it.
    tf_buffer_.setTransform(
      staticTransform(
        "map", "camera_link", {1.0, 2.0, 0.5},
        Eigen::Quaterniond(Eigen::AngleAxisd(kPi / 2.0, Eigen::Vector3d::UnitZ()))),
      "test", true);
    Eigen::Matrix3d optical;
    optical << 0, 0, 1, -1, 0, 0, 0, -1, 0;
    tf_buffer_.setTransform(
      staticTransform("camera_link", "camera_optical", {0.0, 0.0, 0.0}, Eigen::Quaterniond(optical)),
      "test", true);
    options_.source_name = "obstacle_type.front_camera";
    quorvane::Logger::Instance("spdlog").logger_->sinks().push_back(sink_);
  }

  void TearDown() override
  {
    auto & sinks = quorvane::Logger::Instance("spdlog").logger_->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }

  std::unique_ptr<ObservationBuffer> makeBuffer(std::shared_ptr<FrustumDetector> detector = nullptr)
  {
    return std::make_unique<ObservationBuffer>(
      options_, "map", tf_buffer_, 0.05, clock_, rclcpp::get_logger("observation_buffer_test"),
      std::move(detector));
  }

  static std::shared_ptr<FrustumDetector> makeDetector()
  {
    return std::make_shared<FrustumDetector>(
      cameraInfo(), 0.3f, 5.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy());
  }

  builtin_interfaces::msg::Time secondsAgo(double seconds) const
  {
    return clock_->now() - rclcpp::Duration::from_seconds(seconds);
  }

  static std::vector<Observation> observationsOf(ObservationBuffer & buffer)
  {
    std::vector<Observation> observations;
    buffer.getObservations(observations);
    return observations;
  }

  const LogLine * findLineStartingWith(const std::string & prefix) const
  {
    for (const auto & line : sink_->lines) {
      if (line.text.rfind(prefix, 0) == 0) {
        return &line;
      }
    }
    return nullptr;
  }

  std::shared_ptr<rclcpp::Clock> clock_ = std::make_shared<rclcpp::Clock>(RCL_ROS_TIME);
  tf2_ros::Buffer tf_buffer_{clock_};
  ObservationBufferOptions options_;
  std::shared_ptr<CaptureSink> sink_ = std::make_shared<CaptureSink>();
};

// ---- storing a message --------------------------------------------------------------------

TEST_F(ObservationBufferTest, StoresEachSubCloudInTheGlobalFrame)
{
  auto buffer = makeBuffer();
  const auto stamp = secondsAgo(0.0);
  ASSERT_TRUE(buffer->bufferCloud(message(stamp, {
      subCloud(7, {{1.0f, 0.0f, 0.3f}, {2.0f, -1.0f, 0.0f}}), subCloud(500, {{0.5f, 0.5f, 1.0f}}, 1)})));

  const auto observations = observationsOf(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  const Observation & observation = observations.front();
  EXPECT_EQ(observation.frame, "map");
  EXPECT_EQ(observation.stamp, stamp);
  ASSERT_EQ(observation.clouds.size(), 2u);

  const PointCloud & first = observation.clouds[0];
  EXPECT_EQ(first.category, 7u);
  EXPECT_EQ(first.is_polygon, 0u);
  ASSERT_EQ(first.points.cols(), 2);
  // Yawed by 90 degrees: camera x becomes map y, camera y becomes map -x.
  EXPECT_TRUE(first.points.col(0).isApprox(Eigen::Vector3f(1.0f, 3.0f, 0.8f), kEps));
  EXPECT_TRUE(first.points.col(1).isApprox(Eigen::Vector3f(2.0f, 4.0f, 0.5f), kEps));
  EXPECT_NEAR(first.min_x, 1.0f, kEps);
  EXPECT_NEAR(first.max_x, 2.0f, kEps);
  EXPECT_NEAR(first.min_y, 3.0f, kEps);
  EXPECT_NEAR(first.max_y, 4.0f, kEps);

  EXPECT_EQ(observation.clouds[1].category, 500u);
  EXPECT_EQ(observation.clouds[1].is_polygon, 1u);
  EXPECT_TRUE(observation.clouds[1].points.col(0).isApprox(Eigen::Vector3f(0.5f, 2.5f, 1.5f), kEps));
}

TEST_F(ObservationBufferTest, HeightBandIsInclusiveAndTakenInTheCloudFrame)
{
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {subCloud(1, {
      {1.0f, 0.0f, -0.5f}, {1.0f, 0.0f, 2.0f}, {1.0f, 0.0f, -0.5001f}, {1.0f, 0.0f, 2.0001f}})})));
  const PointCloud & cloud = observationsOf(*buffer).front().clouds.front();
  ASSERT_EQ(cloud.points.cols(), 2);
  EXPECT_NEAR(cloud.points(2, 0), 0.0f, kEps);
  EXPECT_NEAR(cloud.points(2, 1), 2.5f, kEps);
}

TEST_F(ObservationBufferTest, NonFinitePointsAreDropped)
{
  auto buffer = makeBuffer();
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {subCloud(1, {
      {inf, 0.0f, 0.0f}, {0.0f, -inf, 0.0f}, {nan, 0.0f, 0.0f}, {0.0f, nan, 0.0f},
      {0.0f, 0.0f, nan}, {1.0f, 1.0f, 1.0f}})})));
  const PointCloud & cloud = observationsOf(*buffer).front().clouds.front();
  ASSERT_EQ(cloud.points.cols(), 1);
  EXPECT_TRUE(cloud.points.allFinite());
}

TEST_F(ObservationBufferTest, OrganisedCloudReadsHeightTimesWidthPointsAndIgnoresSurplusData)
{
  auto buffer = makeBuffer();
  auto sub_cloud = subCloud(1, {});
  sub_cloud.cloud = xyzCloud(
    {{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 0.0f},
      {2.0f, 1.0f, 0.0f}, {3.0f, 1.0f, 0.0f}, {9.0f, 9.0f, 0.0f}, {9.0f, 9.0f, 0.0f}}, 2);
  sub_cloud.cloud.width = 3;  // the last two points lie beyond height x width
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {sub_cloud})));
  const PointCloud & cloud = observationsOf(*buffer).front().clouds.front();
  ASSERT_EQ(cloud.points.cols(), 6);
  EXPECT_LT(cloud.max_y, 5.0f);
}

TEST_F(ObservationBufferTest, CloudsWithoutKeptPointsAreStillStored)
{
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {})));
  EXPECT_TRUE(observationsOf(*buffer).front().clouds.empty());

  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {
      subCloud(4, {{1.0f, 0.0f, 5.0f}}), subCloud(5, {})})));
  const auto observations = observationsOf(*buffer);
  ASSERT_EQ(observations.front().clouds.size(), 2u);
  for (const auto & cloud : observations.front().clouds) {
    EXPECT_EQ(cloud.points.cols(), 0);
    EXPECT_EQ(cloud.min_x, 0.0f);
    EXPECT_EQ(cloud.max_y, 0.0f);
  }
}

// ---- refused messages ---------------------------------------------------------------------

TEST_F(ObservationBufferTest, EmptyFrameIdIsRefusedWithAWarning)
{
  auto buffer = makeBuffer();
  auto semantic = message(secondsAgo(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})});
  semantic.header.frame_id.clear();
  EXPECT_FALSE(buffer->bufferCloud(semantic));
  EXPECT_TRUE(observationsOf(*buffer).empty());
  const LogLine * line = findLineStartingWith("Warning: Pointcloud's frame_id is empty!");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::warn);
  EXPECT_EQ(line->file, kBufferSource);
}

TEST_F(ObservationBufferTest, FailedLookupChangesNothing)
{
  auto buffer = makeBuffer(makeDetector());
  const auto stamp = secondsAgo(0.0);
  ASSERT_TRUE(buffer->bufferCloud(message(stamp, {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  const auto transform_before = buffer->camera_transform();
  const auto shape_before = buffer->shape();
  const rclcpp::Time updated_before = buffer->last_updated();

  auto unknown = message(secondsAgo(0.0), {subCloud(2, {{3.0f, 0.0f, 0.0f}})});
  unknown.header.frame_id = "nowhere";
  unknown.shape.points.resize(1);
  EXPECT_FALSE(buffer->bufferCloud(unknown));

  const auto observations = observationsOf(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  EXPECT_EQ(observations.front().stamp, stamp);
  EXPECT_EQ(buffer->camera_transform(), transform_before);
  EXPECT_EQ(buffer->shape(), shape_before);
  EXPECT_EQ(buffer->last_updated(), updated_before);
  const LogLine * line = findLineStartingWith(
    "TF Exception that should never happen for global frame: map, cloud frame: nowhere, ");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_NE(line->text.find(", error code is 101100016"), std::string::npos);
}

TEST_F(ObservationBufferTest, MissingCameraFrameRefusesTheMessageToo)
{
  auto info = cameraInfo();
  info.header.frame_id = "unmounted_optical";
  auto buffer = makeBuffer(
    std::make_shared<FrustumDetector>(info, 0.3f, 5.0f, 0.0881f, 0.05f, 0.0f,
    FrustumDetectorStrategy()));
  EXPECT_FALSE(buffer->bufferCloud(message(secondsAgo(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  EXPECT_TRUE(observationsOf(*buffer).empty());
  EXPECT_TRUE(buffer->shape().points.empty());
}

TEST_F(ObservationBufferTest, SubCloudWithoutAFloatXyzIsRefusedWhole)
{
  auto buffer = makeBuffer();
  auto no_z = subCloud(2, {{1.0f, 0.0f, 0.0f}});
  sensor_msgs::PointCloud2Modifier(no_z.cloud).setPointCloud2Fields(
    2, "x", 1, sensor_msgs::msg::PointField::FLOAT32, "y", 1, sensor_msgs::msg::PointField::FLOAT32);
  EXPECT_FALSE(buffer->bufferCloud(message(secondsAgo(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}}), no_z})));

  auto double_z = subCloud(2, {{1.0f, 0.0f, 0.0f}});
  sensor_msgs::PointCloud2Modifier(double_z.cloud).setPointCloud2Fields(
    3, "x", 1, sensor_msgs::msg::PointField::FLOAT32, "y", 1, sensor_msgs::msg::PointField::FLOAT32,
    "z", 1, sensor_msgs::msg::PointField::FLOAT64);
  EXPECT_FALSE(buffer->bufferCloud(message(secondsAgo(0.0), {double_z})));

  EXPECT_TRUE(observationsOf(*buffer).empty());
  std::size_t refusals = 0;
  for (const auto & line : sink_->lines) {
    if (line.level == spdlog::level::err &&
      line.text.find("obstacle_type.front_camera") != std::string::npos &&
      line.text.find("z") != std::string::npos)
    {
      ++refusals;
    }
  }
  EXPECT_EQ(refusals, 2u);
}

TEST_F(ObservationBufferTest, SubCloudShorterThanItsSizePromisesIsRefusedWhole)
{
  auto buffer = makeBuffer();
  auto truncated = subCloud(2, {{1.0f, 0.0f, 0.0f}, {2.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}});
  truncated.cloud.data.resize(truncated.cloud.data.size() - 1);
  EXPECT_FALSE(buffer->bufferCloud(message(secondsAgo(0.0), {truncated})));
  EXPECT_TRUE(observationsOf(*buffer).empty());
  const LogLine * line = findLineStartingWith("ObservationBuffer obstacle_type.front_camera refuses");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::err);
  EXPECT_EQ(line->file, kBufferSource);
}

// ---- keeping observations -----------------------------------------------------------------

TEST_F(ObservationBufferTest, WithoutPersistenceOnlyTheNewestIsKept)
{
  auto buffer = makeBuffer();
  builtin_interfaces::msg::Time newest;
  for (int i = 0; i < 4; ++i) {
    newest = secondsAgo(0.1 * (3 - i));
    ASSERT_TRUE(buffer->bufferCloud(message(newest, {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  }
  const auto observations = observationsOf(*buffer);
  ASSERT_EQ(observations.size(), 1u);
  EXPECT_EQ(observations.front().stamp, newest);
}

TEST_F(ObservationBufferTest, WithPersistenceFreshObservationsStayNewestFirst)
{
  options_.observation_persistence = 1.0;
  auto buffer = makeBuffer();
  const auto older = secondsAgo(0.5);
  const auto newer = secondsAgo(0.0);
  ASSERT_TRUE(buffer->bufferCloud(message(older, {})));
  ASSERT_TRUE(buffer->bufferCloud(message(newer, {})));

  std::vector<Observation> observations(1);  // appended to, never cleared
  buffer->getObservations(observations);
  ASSERT_EQ(observations.size(), 3u);
  EXPECT_EQ(observations[1].stamp, newer);
  EXPECT_EQ(observations[2].stamp, older);
}

TEST_F(ObservationBufferTest, StaleMessageIsPurgedAtOnceWithEverythingBehindIt)
{
  options_.observation_persistence = 1.0;
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {})));
  EXPECT_TRUE(buffer->bufferCloud(message(secondsAgo(1.2), {})));
  EXPECT_TRUE(observationsOf(*buffer).empty());
}

// ---- arrival rate -------------------------------------------------------------------------

TEST_F(ObservationBufferTest, RateCheckIsOffWithoutAnExpectedRate)
{
  auto buffer = makeBuffer();
  double hz = 0.0;
  EXPECT_TRUE(buffer->checkHZ(hz));
  EXPECT_EQ(hz, -1.0);
}

TEST_F(ObservationBufferTest, RateIsStampsOverTheSpanSinceTheOldest)
{
  options_.expected_hz = 10;
  auto buffer = makeBuffer();
  double hz = -5.0;
  EXPECT_FALSE(buffer->checkHZ(hz));
  EXPECT_EQ(hz, 0.0);

  const rclcpp::Time now = clock_->now();
  for (int i = 0; i < 50; ++i) {
    buffer->cacheForHZ(now - rclcpp::Duration::from_seconds(4.9 - 0.1 * i));
  }
  EXPECT_TRUE(buffer->checkHZ(hz));
  EXPECT_NEAR(hz, 50.0 / 4.9, 0.05);
}

TEST_F(ObservationBufferTest, RateBelowExpectationFails)
{
  options_.expected_hz = 10;
  auto buffer = makeBuffer();
  const rclcpp::Time now = clock_->now();
  for (int i = 0; i < 20; ++i) {
    buffer->cacheForHZ(now - rclcpp::Duration::from_seconds(4.9 - 0.25 * i));
  }
  double hz = 0.0;
  EXPECT_FALSE(buffer->checkHZ(hz));
  EXPECT_NEAR(hz, 20.0 / 4.9, 0.05);
}

TEST_F(ObservationBufferTest, StampsOlderThanTenSecondsLeaveTheRate)
{
  options_.expected_hz = 10;
  auto buffer = makeBuffer();
  const rclcpp::Time now = clock_->now();
  buffer->cacheForHZ(now - rclcpp::Duration::from_seconds(30.0));
  buffer->cacheForHZ(now - rclcpp::Duration::from_seconds(12.0));
  for (int i = 0; i < 50; ++i) {
    buffer->cacheForHZ(now - rclcpp::Duration::from_seconds(4.9 - 0.1 * i));
  }
  double hz = 0.0;
  EXPECT_TRUE(buffer->checkHZ(hz));
  EXPECT_NEAR(hz, 50.0 / 4.9, 0.05);
}

TEST_F(ObservationBufferTest, SpanUnderAMillisecondCannotBeMeasured)
{
  options_.expected_hz = 10;
  auto buffer = makeBuffer();
  buffer->cacheForHZ(clock_->now() + rclcpp::Duration::from_seconds(1.0));
  double hz = -5.0;
  EXPECT_FALSE(buffer->checkHZ(hz));
  EXPECT_EQ(hz, 0.0);
}

TEST_F(ObservationBufferTest, StoredMessagesFeedTheRate)
{
  options_.expected_hz = 1;
  options_.observation_persistence = 5.0;
  auto buffer = makeBuffer();
  buffer->cacheForHZ(clock_->now() - rclcpp::Duration::from_seconds(1.0));
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {})));
  }
  double hz = 0.0;
  EXPECT_TRUE(buffer->checkHZ(hz));
  // Five stamps over a little more than one second.
  EXPECT_GT(hz, 4.0);
  EXPECT_LE(hz, 5.0);
}

// ---- detector refill ----------------------------------------------------------------------

TEST_F(ObservationBufferTest, WithoutDetectorTheRefillOnlyCollectsObservations)
{
  auto buffer = makeBuffer();
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.0), {subCloud(1, {{1.0f, 0.0f, 0.0f}})})));
  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  buffer->getObservationsAndFrustumDetector(observations, detectors, true);
  EXPECT_EQ(observations.size(), 1u);
  EXPECT_TRUE(detectors.empty());
  EXPECT_EQ(findLineStartingWith("ObservationBuffer::getObservationsAndFrustumDetector"), nullptr);
}

TEST_F(ObservationBufferTest, RefillBinsEveryStoredPointLikeTheDetectorItself)
{
  options_.observation_persistence = 5.0;
  auto detector = makeDetector();
  auto buffer = makeBuffer(detector);
  const auto stamp = secondsAgo(0.0);
  ASSERT_TRUE(buffer->bufferCloud(message(secondsAgo(0.2), {
      subCloud(1, {{2.0f, 0.0f, 0.3f}, {2.0f, 0.2f, 0.5f}}), subCloud(2, {{-1.0f, 0.0f, 0.0f}})})));
  ASSERT_TRUE(buffer->bufferCloud(message(stamp, {subCloud(3, {{3.0f, -0.5f, 0.1f}}), subCloud(4, {})})));

  std::vector<Observation> observations;
  std::vector<std::shared_ptr<FrustumDetector>> detectors;
  buffer->getObservationsAndFrustumDetector(observations, detectors, true);
  ASSERT_EQ(detectors.size(), 1u);
  EXPECT_EQ(detectors.front(), detector);
  EXPECT_TRUE(detector->initialised());
  EXPECT_EQ(detector->cloud_count(), 4);
  // The point behind the camera lies outside the grid.
  EXPECT_EQ(detector->points_used(), 3);
  // The camera sits at the body's position in the map, looking along +y.
  EXPECT_TRUE(detector->origin().isApprox(Eigen::Vector3f(1.0f, 2.0f, 0.5f), kEps));
  EXPECT_EQ(detector->stamp(), rclcpp::Time(stamp, RCL_ROS_TIME));

  // Three points reach the grid, each in a cell of its own; the highest elevation tangent is
  // that of camera point (2, 0.2, 0.5): 0.5 m above the sensor at 2.01 m.
  EXPECT_EQ((detector->grid().array() > -std::numeric_limits<float>::infinity()).count(), 3);
  EXPECT_NEAR(detector->grid().maxCoeff(), 0.5f / std::sqrt(4.04f), kEps);

  // The shape is kept in the map frame.
  const std::vector<std::array<float, 2>> outline{
    {0.3f, -0.3f}, {5.0f, -5.0f}, {5.0f, 5.0f}, {0.3f, 0.3f}};
  ASSERT_EQ(buffer->shape().points.size(), outline.size());
  for (std::size_t i = 0; i < outline.size(); ++i) {
    EXPECT_NEAR(buffer->shape().points[i].x, 1.0f - outline[i][1], kEps);
    EXPECT_NEAR(buffer->shape().points[i].y, 2.0f + outline[i][0], kEps);
    EXPECT_NEAR(buffer->shape().points[i].z, 0.5f, kEps);
  }

  // The same refill done by hand from the kept transform, shape and points: every stored point
  // lands where the detector's own binning puts it.
  FrustumDetector expected(cameraInfo(), 0.3f, 5.0f, 0.0881f, 0.05f, 0.0f, FrustumDetectorStrategy());
  expected.clear();
  expected.setTrans(buffer->camera_transform());
  expected.setShape(buffer->shape());
  for (const auto & observation : observations) {
    for (const auto & cloud : observation.clouds) {
      expected.accumulateDepthGrid(cloud.points);
    }
  }
  expected.fixSetting();
  EXPECT_EQ(detector->grid(), expected.grid());
  EXPECT_EQ(detector->points_used(), expected.points_used());
  EXPECT_EQ(detector->start_angle(), expected.start_angle());
  EXPECT_EQ(detector->min_range(), expected.min_range());

  const LogLine * line =
    findLineStartingWith("ObservationBuffer::getObservationsAndFrustumDetector use time ");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->level, spdlog::level::info);
}

}  // namespace
}  // namespace costmap_depth_camera
